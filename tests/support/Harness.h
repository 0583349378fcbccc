// A main window controller on fake services and a plain view, with helpers to wait for its
// asynchronous results.
#pragma once

#include "check/MenuBarModel.h"
#include "check/PlainMainView.h"
#include "check/SecurityStatusCheck.h"
#include "check/ViewController.h"
#include "firmware/FirmwareTools.h"
#include "securitydata/SecurityDataCheck.h"
#include "support/FakeServices.h"
#include "updates/InstallHistory.h"
#include "updates/UpdateTools.h"

#include <QTemporaryDir>

#include <memory>

namespace lq::test {

struct Harness {
    explicit Harness(
        const QString& referenceBaseUrl = QStringLiteral("https://example.test/updates/master/"));

    FakeTools tools;
    FakeFileSystem files;
    MemorySettings settings;
    FakeSystemInfo system;
    FakeIORegistry ioRegistry;
    FakeHttp http;
    HoldingQueue queue; // the controllers' background work; holds it when told to
    PlainMainView view;
    MenuBarModel menus;
    std::unique_ptr<ViewController> vc;

    Services services() { return Services{tools, files, settings, system, ioRegistry, http}; }
    // Makes a fresh controller (after the fakes have been set up as a test needs).
    ViewController& make();
    // The File menu of the real main menu, so retitling can be seen.
    void addMainMenu();
    // Holds the controller's background work and answers from now on, until released.
    void hold();
    // Lets every held piece of work and answer go, except the work named in `keep` and the answers
    // to the URLs in it, until nothing else is pending; gives back whether it got there.
    bool settleExcept(const QStringList& keep, int timeoutMs = 10000);
    // Stops holding, lets everything go and waits until the controller is idle.
    bool finish(int timeoutMs = 10000);
};

// Runs the event loop until the controller has no asynchronous work left, or `timeoutMs` passed.
// Gives back whether it got there.
bool waitUntilIdle(ViewController& vc, int timeoutMs = 10000);
// Runs the event loop until `done` holds, or `timeoutMs` passed.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000);

// A copy of a bundled simulated Mac in a temporary folder (symlinks resolved), so a test may add
// overrides and record calls without touching the tree.
class TempRoot {
public:
    explicit TempRoot(const QString& bundledName);
    const QString& path() const { return path_; }
    // Makes the invocation `key` print `out` (and `err`) and exit with `status`.
    void overrideTool(const QString& key, const QByteArray& out, int status = 0, const QByteArray& err = {});
    void recordCalls();
    QStringList calls() const; // lines of .sim/calls.log
    void writeFile(const QString& macPath, const QByteArray& bytes);

private:
    QTemporaryDir dir_;
    QString path_;
};

// Writes an executable POSIX sh script into `dir` and gives back its path.
QString writeScript(const QString& dir, const QString& name, const QByteArray& body);

} // namespace lq::test
