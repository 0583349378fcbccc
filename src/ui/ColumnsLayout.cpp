// The columns layout.
#include "ui/ColumnsLayout.h"

#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lq {

ColumnsLayout::ColumnsLayout(int minColumns) : minColumns_(std::max(1, minColumns)) {}

ColumnsLayout::~ColumnsLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void ColumnsLayout::addItem(QLayoutItem* item) {
    items_.append(item);
    invalidate();
}

QLayoutItem* ColumnsLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* ColumnsLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size())
        return nullptr;
    QLayoutItem* item = items_.takeAt(index);
    invalidate();
    return item;
}

int ColumnsLayout::spacingOrDefault() const {
    return spacing() >= 0 ? spacing() : 12;
}

int ColumnsLayout::widestItem() const {
    int widest = 0;
    for (const QLayoutItem* item : items_)
        if (!item->isEmpty())
            widest = std::max(widest, item->minimumSize().width());
    return widest;
}

int ColumnsLayout::columnsFor(int width) const {
    const int shown = static_cast<int>(std::count_if(
        items_.begin(), items_.end(), [](const QLayoutItem* item) { return !item->isEmpty(); }));
    const int fewest = std::max(1, std::min(minColumns_, shown));
    const QMargins margins = contentsMargins();
    const int inner = width - margins.left() - margins.right();
    const int widest = widestItem();
    const int spacing = spacingOrDefault();
    for (int columns = shown; columns > fewest; --columns)
        if (columns * widest + (columns - 1) * spacing <= inner)
            return columns;
    return fewest;
}

int ColumnsLayout::arrange(const QRect& rect, bool apply) const {
    const QRect inner = rect.marginsRemoved(contentsMargins());
    const int spacing = spacingOrDefault();
    const int columns = columnsFor(rect.width());
    const int columnWidth = std::max(0, (inner.width() - (columns - 1) * spacing) / columns);

    // Each item goes to the column that ends highest so far, leftmost first: with two columns the short
    // first group and the third share one, and the whole is as low as it can be.
    struct Placed {
        QLayoutItem* item;
        int column;
        int top;
        int height;
    };
    std::vector<Placed> placed;
    std::vector<int> bottoms(static_cast<std::size_t>(columns), 0);
    std::vector<std::size_t> lastInColumn(static_cast<std::size_t>(columns), SIZE_MAX);
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        const auto column =
            static_cast<std::size_t>(std::min_element(bottoms.begin(), bottoms.end()) - bottoms.begin());
        int height =
            item->hasHeightForWidth() ? item->heightForWidth(columnWidth) : item->sizeHint().height();
        height = std::max(height, item->minimumSize().height());
        const int top = bottoms[column] == 0 ? 0 : bottoms[column] + spacing;
        lastInColumn[column] = placed.size();
        placed.push_back({item, static_cast<int>(column), top, height});
        bottoms[column] = top + height;
    }
    const int tallest = bottoms.empty() ? 0 : *std::max_element(bottoms.begin(), bottoms.end());
    if (apply) {
        // The last item of each column reaches down to the lowest one, so the groups end on one line.
        for (std::size_t column = 0; column < lastInColumn.size(); ++column)
            if (lastInColumn[column] != SIZE_MAX)
                placed[lastInColumn[column]].height += tallest - bottoms[column];
        for (const Placed& p : placed)
            p.item->setGeometry(QRect(inner.left() + p.column * (columnWidth + spacing), inner.top() + p.top,
                                      columnWidth, p.height));
    }
    const QMargins margins = contentsMargins();
    return tallest + margins.top() + margins.bottom();
}

int ColumnsLayout::heightForWidth(int width) const {
    return arrange(QRect(0, 0, width, 0), false);
}

QSize ColumnsLayout::minimumSize() const {
    const int shown = static_cast<int>(std::count_if(
        items_.begin(), items_.end(), [](const QLayoutItem* item) { return !item->isEmpty(); }));
    const int columns = std::max(1, std::min(minColumns_, shown));
    const QMargins margins = contentsMargins();
    const int width =
        columns * widestItem() + (columns - 1) * spacingOrDefault() + margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

QSize ColumnsLayout::sizeHint() const {
    int preferred = 0;
    int shown = 0;
    for (const QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        preferred = std::max(preferred, item->sizeHint().width());
        ++shown;
    }
    const QMargins margins = contentsMargins();
    const int width = std::max(1, shown) * preferred + std::max(0, shown - 1) * spacingOrDefault() +
                      margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

void ColumnsLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

} // namespace lq
