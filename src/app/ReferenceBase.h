// Where the reference lists come from: the command line's --reference-url, else the ReferenceBaseURL
// setting (which a configuration profile may manage on a Mac), else the address built in.
#pragma once

#include <QString>

#include <optional>

namespace lq {

// An address as given, made into the base every list's file name is added to. A folder path (absolute,
// or relative to `workingDirectory`) becomes a file:// address ending in "/".
struct ReferenceAddress {
    QString url;     // set when it can be used
    QString problem; // otherwise why not, as a sentence's end: "must end in /"
};
ReferenceAddress referenceAddress(const QString& text, const QString& workingDirectory);

enum class ReferenceSource { CommandLine, Setting, BuiltIn };
QString referenceSourceName(ReferenceSource source); // "commandLine", "setting", "builtIn"

struct ReferenceBase {
    QString url;
    ReferenceSource source = ReferenceSource::BuiltIn;
    // A setting that could not be used, as one line for the user; the built-in address is used instead.
    QString settingProblem;
};
// `option` has been checked and made a base address already (parseOptions: a bad one is a usage
// error); a bad setting falls back to `builtIn` with `settingProblem` saying so.
ReferenceBase chooseReferenceBase(const std::optional<QString>& option, const QString& setting,
                                  const QString& builtIn, const QString& workingDirectory);

} // namespace lq
