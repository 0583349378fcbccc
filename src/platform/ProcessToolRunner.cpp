// Child processes with drained pipes. QProcess reads both pipes while it waits, so a tool that writes
// more than a pipe holds on either stream never blocks.
#include "platform/ProcessToolRunner.h"

#include <QProcess>

namespace lq {

ToolRun ProcessToolRunner::run(const QString& path, const QStringList& args, ErrorStream errorStream,
                               const QByteArray* input) {
    QProcess process;
    process.setProgram(root_.map(path));
    process.setArguments(args);
    // A tool that asks a question (csrutil on a Mac with two systems does) must see end-of-file and
    // give up, not wait forever for an answer from our own terminal.
    if (!input)
        process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(errorStream == ErrorStream::Inherit ? QProcess::ForwardedErrorChannel
                                                                      : QProcess::SeparateChannels);
    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(-1))
        return ToolRun{kToolNotStartedStatus, {}, {}};
    if (input) {
        process.write(*input);
        process.closeWriteChannel();
    }
    process.waitForFinished(-1);

    ToolRun result;
    result.out = process.readAllStandardOutput();
    if (errorStream == ErrorStream::Capture)
        result.err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::CrashExit) {
        // QProcess reports the signal number as the exit code of a killed child.
        const int signal = process.exitCode();
        result.status = kToolSignalStatusBase + (signal > 0 ? signal : 0);
        if (result.status == 0)
            result.status = kToolSignalStatusBase;
    } else {
        result.status = process.exitCode();
    }
    return result;
}

} // namespace lq
