// The typed side of a check run's verdicts.
#include "check/CheckRecords.h"

namespace lq {

QString checkStateName(CheckState state) {
    switch (state) {
    case CheckState::Pass:
        return QStringLiteral("pass");
    case CheckState::Fail:
        return QStringLiteral("fail");
    case CheckState::Warning:
        return QStringLiteral("warning");
    case CheckState::Unknown:
        return QStringLiteral("unknown");
    case CheckState::NotApplicable:
        return QStringLiteral("notApplicable");
    }
    return QString();
}

CheckRecord CheckRecord::judged(CheckState state, const QString& text, const QString& installed,
                                const QString& expected) {
    CheckRecord record;
    record.state = state;
    record.text = text;
    record.installed = installed;
    record.expected = expected;
    return record;
}

CheckRecord CheckRecord::unknown(const QString& reason, const QString& text, bool incomplete) {
    CheckRecord record;
    record.state = CheckState::Unknown;
    record.reason = reason;
    record.text = text;
    record.incomplete = incomplete;
    return record;
}

CheckRecord CheckRecord::notApplicable(const QString& reason, const QString& text) {
    CheckRecord record;
    record.state = CheckState::NotApplicable;
    record.reason = reason;
    record.text = text;
    return record;
}

const QStringList& checkIds() {
    static const QStringList ids = {
        QStringLiteral("sip"),
        QStringLiteral("ssv"),
        QStringLiteral("bootPolicy"),
        QStringLiteral("gatekeeper"),
        QStringLiteral("fileVault"),
        QStringLiteral("xprotect"),
        QStringLiteral("xprotectRemediator"),
        QStringLiteral("mrt"),
        QStringLiteral("tcc"),
        QStringLiteral("kextExcludeList"),
        QStringLiteral("firmware"),
        QStringLiteral("display"),
        QStringLiteral("displayFirmware"),
        QStringLiteral("updates"),
        QStringLiteral("xprScans"),
    };
    return ids;
}

std::optional<Field> fieldOfCheck(const QString& id) {
    static const std::map<QString, Field> fields = {
        {QStringLiteral("sip"), Field::sipStatusText},
        {QStringLiteral("ssv"), Field::sipStatusText},
        {QStringLiteral("bootPolicy"), Field::sipStatusText},
        {QStringLiteral("gatekeeper"), Field::xprotStatusText},
        {QStringLiteral("fileVault"), Field::filevStatusText},
        {QStringLiteral("xprotect"), Field::xprotVersionText},
        {QStringLiteral("xprotectRemediator"), Field::mrtVersionText},
        {QStringLiteral("tcc"), Field::kextVersionText},
        {QStringLiteral("kextExcludeList"), Field::gatekeepVersionText},
        {QStringLiteral("firmware"), Field::efiVersionText},
        {QStringLiteral("display"), Field::displayStatusText},
        {QStringLiteral("displayFirmware"), Field::dfirmwareStatusText},
        {QStringLiteral("updates"), Field::updateStatusText},
        {QStringLiteral("xprScans"), Field::tccVersionText},
    };
    const auto found = fields.find(id);
    return found == fields.end() ? std::nullopt : std::optional<Field>(found->second);
}

std::optional<CheckState> stateOfMarkedText(const QString& text) {
    if (text.startsWith(QStringLiteral("✅")) || text.startsWith(QStringLiteral("🍏")))
        return CheckState::Pass;
    if (text.startsWith(QStringLiteral("❌")) || text.startsWith(QStringLiteral("⛔")))
        return CheckState::Fail;
    if (text.startsWith(QStringLiteral("⚠")))
        return CheckState::Warning;
    return std::nullopt;
}

void RunRecords::recordList(const ListRecord& list) {
    for (ListRecord& known : lists) {
        if (known.url == list.url) {
            known = list;
            return;
        }
    }
    lists.push_back(list);
}

ReferenceAge referenceAgeOf(const std::vector<ListRecord>& lists, const QDateTime& runDate) {
    ReferenceAge age;
    for (const ListRecord& list : lists) {
        if (list.fetchedAt.isValid() && (!age.fetched || list.fetchedAt > *age.fetched))
            age.fetched = list.fetchedAt;
        const QDateTime published = QDateTime::fromString(list.published, Qt::ISODate);
        if (!published.isValid())
            continue;
        if (!age.published || published < *age.published)
            age.published = published;
        if (const qint64 seconds = published.secsTo(runDate);
            list.name == QLatin1String("sysupdates.plist") && seconds >= 0) {
            age.securityDataDays = seconds / 86400;
            age.stale = seconds > qint64(kStaleListDays) * 86400;
        }
    }
    return age;
}

int exitStatusOf(const RunRecords& records) {
    bool incomplete = false;
    for (const QString& id : checkIds()) {
        const auto found = records.checks.find(id);
        if (found == records.checks.end()) {
            incomplete = true;
            continue;
        }
        if (found->second.state == CheckState::Fail)
            return 1;
        incomplete = incomplete || (found->second.state == CheckState::Unknown && found->second.incomplete);
    }
    return incomplete ? 3 : 0;
}

} // namespace lq
