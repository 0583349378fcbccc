// The named update window: download, or download and install, one update by its label.
#pragma once

#include "platform/Services.h"
#include "updates/NamedView.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <optional>

namespace lq {

class NamedViewController : public QObject {
    Q_OBJECT

public:
    NamedViewController(Services services, NamedView& view);
    ~NamedViewController() override;

    const QString theCSUPath = QStringLiteral("/usr/sbin/softwareupdate");
    bool noInstallSWU = false;
    double theFontSize = 12.0;
    QThreadPool processingQueue; // this window's own, at most 4 runs at once

    void viewDidLoad();
    void viewDidAppear();
    void installNamedButton() { installNamedUpdate(); }
    void installNamedUpdate();
    void appendNamedOutput(const QString& text) { view_.appendOutput(text); }
    void restyleNamedOutput() { view_.restyleOutput(theFontSize); }
    void incFontSize();
    void decFontSize();

    // Runs still under way; the tests wait for zero.
    int runsUnderWay() const { return runsUnderWay_; }

private:
    Services services_;
    NamedView& view_;
    int runsUnderWay_ = 0;
};

// The tool's arguments for a typed name: nothing for a blank name; a refusal text for a name the tool
// would read as an option.
struct NamedUpdateArguments {
    std::optional<QStringList> args;
    QString refusal;
};
NamedUpdateArguments namedUpdateArguments(const QString& typedName, bool downloadOnly);

} // namespace lq
