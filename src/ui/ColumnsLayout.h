// A layout that puts its items in as many equal columns as its width allows, so that the main window's
// groups of status fields sit side by side when there is room and stack when there is not.
#pragma once

#include <QLayout>
#include <QList>

namespace lq {

class ColumnsLayout : public QLayout {
public:
    // Never fewer than `minColumns` columns (nor more than there are items): the layout's minimum
    // width is that of `minColumns` columns.
    explicit ColumnsLayout(int minColumns = 1);
    ~ColumnsLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

    // How many columns the items take at `width` (margins included).
    int columnsFor(int width) const;

private:
    // Places the items in `rect` (only measures unless `apply`); gives back the height they take.
    int arrange(const QRect& rect, bool apply) const;
    int widestItem() const;
    int spacingOrDefault() const;

    QList<QLayoutItem*> items_;
    int minColumns_;
};

} // namespace lq
