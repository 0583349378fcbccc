// What each check of a run came to, in a form that scripts and fleet tools can read: a state per
// check with the versions behind it, and what became of each reference list. The window shows the
// same verdicts as text; these records are the typed side of them.
#pragma once

#include "check/MainView.h"
#include "securitydata/ReferenceList.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace lq {

enum class CheckState { Pass, Fail, Warning, Unknown, NotApplicable };
QString checkStateName(CheckState state);

struct CheckRecord {
    CheckState state = CheckState::Unknown;
    QString text;      // what the window shows for it
    QString installed; // empty when there is none
    QString expected;  // empty when there is none
    QString reason;    // why it could not be judged or does not apply
    // Unknown because something went wrong (a list not fetched or unreadable, a tool that failed, the
    // time limit), not because there is nothing to judge by: such a run did not give a whole answer.
    bool incomplete = false;

    static CheckRecord judged(CheckState state, const QString& text, const QString& installed = {},
                              const QString& expected = {});
    static CheckRecord unknown(const QString& reason, const QString& text = {}, bool incomplete = true);
    static CheckRecord notApplicable(const QString& reason, const QString& text = {});
};

// The stable identifiers of the checks, in the order they are written.
const QStringList& checkIds();

// The window field that shows a check's verdict; the MRT has none of its own.
std::optional<Field> fieldOfCheck(const QString& id);

// A verdict text's state from its leading mark: ✅ and 🍏 pass, ❌ and ⛔️ fail, ⚠️ warns; any
// other text carries no verdict.
std::optional<CheckState> stateOfMarkedText(const QString& text);

struct RunRecords {
    std::map<QString, CheckRecord> checks;
    std::vector<ListRecord> lists;

    void record(const QString& id, const CheckRecord& check) { checks[id] = check; }
    // Adds the list, or updates the record of the same address.
    void recordList(const ListRecord& list);
};

// From the lists recorded so far; `runDate` is when the run started. A list without a date, or one
// dated in the future, gives no age.
ReferenceAge referenceAgeOf(const std::vector<ListRecord>& lists, const QDateTime& runDate);

// The headless report's exit status: 1 when a check failed; otherwise 3 when a check could not be
// judged because something went wrong (see CheckRecord::incomplete); otherwise 0. Checks with no
// record count as incomplete.
int exitStatusOf(const RunRecords& records);

} // namespace lq
