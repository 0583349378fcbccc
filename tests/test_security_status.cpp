// The security status step: how csrutil, spctl, fdesetup and the Apple-silicon chip report are judged,
// the status fields and the report block they give, and what the step hands on to.
#include "check/SecurityStatusRules.h"
#include "support/Harness.h"

#include <QFile>

#include <gtest/gtest.h>

namespace lq {
namespace {

using test::Harness;

const QString kCsrutil = QStringLiteral("/usr/bin/csrutil");
const QString kSpctl = QStringLiteral("/usr/sbin/spctl");
const QString kFdesetup = QStringLiteral("/usr/bin/fdesetup");
const QStringList kSipArgs = {QStringLiteral("status")};
const QStringList kSsvArgs = {QStringLiteral("authenticated-root"), QStringLiteral("status")};
const QStringList kSpctlArgs = {QStringLiteral("--status")};
const QStringList kFdesetupArgs = {QStringLiteral("status")};

const QString kSipOn = QStringLiteral("System Integrity Protection status: enabled.\n");
const QString kSipOff = QStringLiteral("System Integrity Protection status: disabled.\n");
const QString kSsvOn = QStringLiteral("Authenticated Root status: enabled\n");
const QString kSsvOff = QStringLiteral("Authenticated Root status: disabled\n");
const QString kSpctlOn = QStringLiteral("assessments enabled\n");
const QString kFileVaultOn = QStringLiteral("FileVault is On.\n");
const QString kNotChecked = QStringLiteral("XProtect Remediator scans not checked.\n");

QString fixture(const char* name) {
    QFile file(QStringLiteral(LQ_SOURCE_DIR "/tests/fixtures/hardware/") + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing fixture " << name;
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

// A tool's answer: its output, or a failure with this status.
struct Answer {
    QString out;
    int status = 0;
};

// The security tools the step ran, in order (the update check runs others in the background).
QStringList securityToolCalls(const test::FakeTools& tools) {
    QStringList calls;
    for (const test::FakeTools::Call& call : tools.calls()) {
        if (call.path == kCsrutil || call.path == kSpctl || call.path == kFdesetup)
            calls.append((QStringList{call.path} + call.args).join(QLatin1Char(' ')));
    }
    return calls;
}

// A controller that has run its first check already, so the step ends with the scans line.
// Runs the step with its tools released and the update check held, so the report holds the step's
// own block and what it hands on to, and nothing that arrives later.
void runStep(Harness& h) {
    h.vc->state.firstRun = false;
    h.hold();
    h.vc->checkSecurityStatus();
    ASSERT_TRUE(h.settleExcept({QStringLiteral("update check"), QStringLiteral("scan summary")}));
}

// ---- The Intel Mac: SIP and SSV with csrutil.

// A system whose version cannot be read is judged by the newest system's rules: SIP and SSV both, so
// an SSV that is off is never left unmentioned; the report's version line says the version is unknown.
TEST(SecurityStatusIntel, AnUnknownVersionChecksSipAndSsv) {
    Harness h;
    h.system.version = OsVersion{0, 0, QStringLiteral("Version unknown")};
    h.tools.answer(kCsrutil, kSipArgs, kSipOn);
    h.tools.answer(kCsrutil, kSsvArgs, kSsvOff);
    h.tools.answer(kSpctl, kSpctlArgs, kSpctlOn);
    h.tools.answer(kFdesetup, kFdesetupArgs, kFileVaultOn);
    h.vc->viewDidLoad();
    EXPECT_FALSE(h.vc->state.osVersionKnown);
    h.hold(); // the tools are released in the order they were started
    h.vc->runChecks();
    ASSERT_TRUE(h.settleExcept({}));
    EXPECT_EQ(h.view.fieldText(Field::sipStatusText), QStringLiteral("✅ SIP, ❌ SSV."));
    EXPECT_TRUE(h.view.report.contains(QStringLiteral("✅ ") + kSipOn + QStringLiteral("❌ ") + kSsvOff))
        << h.view.report.toStdString();
    EXPECT_TRUE(h.view.report.contains(QStringLiteral("\nmacOS Version unknown\n")));
    EXPECT_EQ(securityToolCalls(h.tools).mid(0, 2),
              (QStringList{kCsrutil + QStringLiteral(" status"),
                           kCsrutil + QStringLiteral(" authenticated-root status")}));
}

TEST(SecurityStatusIntel, JudgesSipAndSsvByOsVersion) {
    struct Case {
        const char* name;
        int osVersion;
        Answer sip;
        Answer ssv;
        QString field;
        QString sipBlock; // the part of the block before the XProtect line
    };
    const QString custom = fixture("csrutil-status-custom-configuration.txt");
    const Case cases[] = {
        // Up to macOS 10.15 there is no signed system volume to ask about.
        {"10.14, SIP on",
         14,
         {kSipOn},
         {kSsvOff},
         QStringLiteral("✅ SIP enabled."),
         QStringLiteral("✅ ") + kSipOn},
        {"10.15, SIP off",
         15,
         {kSipOff},
         {kSsvOn},
         QStringLiteral("❌ SIP disabled."),
         QStringLiteral("❌ ") + kSipOff},
        {"10.15, csrutil fails",
         15,
         {QString(), 1},
         {kSsvOn},
         QStringLiteral("❌ SIP disabled."),
         QStringLiteral("❌  error 1")},
        {"11, both on",
         16,
         {kSipOn},
         {kSsvOn},
         QStringLiteral("✅ SIP & SSV enabled."),
         QStringLiteral("✅ SIP & SSV enabled.\n")},
        {"14, SIP on, SSV off",
         19,
         {kSipOn},
         {kSsvOff},
         QStringLiteral("✅ SIP, ❌ SSV."),
         QStringLiteral("✅ ") + kSipOn + QStringLiteral("❌ ") + kSsvOff},
        {"14, SIP off, SSV on",
         19,
         {kSipOff},
         {kSsvOn},
         QStringLiteral("❌ SIP, ✅ SSV."),
         QStringLiteral("❌ ") + kSipOff + QStringLiteral("✅ ") + kSsvOn},
        // A custom configuration reports "status: unknown (…)", which is not on.
        {"11, custom configuration",
         16,
         {custom},
         {kSsvOn},
         QStringLiteral("❌ SIP, ✅ SSV."),
         QStringLiteral("❌ ") + custom + QStringLiteral("✅ ") + kSsvOn},
        // A failing tool leaves its failure text behind its mark, with no line break after it.
        {"26, csrutil fails",
         31,
         {QString(), 1},
         {kSsvOn},
         QStringLiteral("❌ SIP, ✅ SSV."),
         QStringLiteral("❌  error 1✅ ") + kSsvOn},
        {"26, authenticated-root fails",
         31,
         {kSipOn},
         {QString(), 134},
         QStringLiteral("✅ SIP, ❌ SSV."),
         QStringLiteral("✅ ") + kSipOn + QStringLiteral("❌  error 134")},
    };
    for (const Case& c : cases) {
        Harness h;
        h.tools.answer(kCsrutil, kSipArgs, c.sip.out, c.sip.status);
        h.tools.answer(kCsrutil, kSsvArgs, c.ssv.out, c.ssv.status);
        h.tools.answer(kSpctl, kSpctlArgs, kSpctlOn);
        h.tools.answer(kFdesetup, kFdesetupArgs, kFileVaultOn);
        h.vc->state.osVersion = c.osVersion;
        runStep(h);

        EXPECT_EQ(h.view.fieldText(Field::sipStatusText), c.field) << c.name;
        EXPECT_EQ(h.view.report, c.sipBlock + QStringLiteral("✅ XProtect ") + kSpctlOn +
                                     QStringLiteral("✅ ") + kFileVaultOn + kNotChecked)
            << c.name;
        QStringList expectedCalls = {QStringLiteral("/usr/bin/csrutil status")};
        if (c.osVersion > 15)
            expectedCalls.append(QStringLiteral("/usr/bin/csrutil authenticated-root status"));
        expectedCalls.append(QStringLiteral("/usr/sbin/spctl --status"));
        expectedCalls.append(QStringLiteral("/usr/bin/fdesetup status"));
        EXPECT_EQ(securityToolCalls(h.tools), expectedCalls) << c.name;
        h.finish();
    }
}

TEST(SecurityStatusIntel, JudgesAssessmentsAndFileVault) {
    struct Case {
        const char* name;
        Answer spctl;
        Answer fdesetup;
        QString xprotField;
        QString filevField;
        QString tail; // the block after the SIP line
    };
    const Case cases[] = {
        {"both on",
         {kSpctlOn},
         {QStringLiteral("FileVault is On.\nEncryption in progress: Pending\n")},
         QStringLiteral("✅ XProtect enabled."),
         QStringLiteral("✅ FileVault on."),
         QStringLiteral(
             "✅ XProtect assessments enabled\n✅ FileVault is On.\nEncryption in progress: Pending\n")},
        {"both off",
         {QStringLiteral("assessments disabled\n")},
         {QStringLiteral("FileVault is Off.\n")},
         QStringLiteral("❌ XProtect disabled."),
         QStringLiteral("⚠️ FileVault off."),
         QStringLiteral("❌ XProtect assessments disabled\n⚠️ FileVault is Off.\n")},
        {"both fail",
         {QString(), 1},
         {QString(), 127},
         QStringLiteral("❌ XProtect disabled."),
         QStringLiteral("⚠️ FileVault off."),
         QStringLiteral("❌ XProtect  error 1⚠️  error 127")},
    };
    for (const Case& c : cases) {
        Harness h;
        h.tools.answer(kCsrutil, kSipArgs, kSipOn);
        h.tools.answer(kSpctl, kSpctlArgs, c.spctl.out, c.spctl.status);
        h.tools.answer(kFdesetup, kFdesetupArgs, c.fdesetup.out, c.fdesetup.status);
        h.vc->state.osVersion = 15;
        runStep(h);

        EXPECT_EQ(h.view.fieldText(Field::xprotStatusText), c.xprotField) << c.name;
        EXPECT_EQ(h.view.fieldText(Field::filevStatusText), c.filevField) << c.name;
        EXPECT_EQ(h.view.report, QStringLiteral("✅ ") + kSipOn + c.tail + kNotChecked) << c.name;
        h.finish();
    }
}

// ---- The Apple-silicon boot policy, from the chip report.

const QString kPolicyLines = QStringLiteral("        Secure Boot: Full Security\n"
                                            "        System Integrity Protection: Enabled\n"
                                            "        Signed System Volume: Enabled\n"
                                            "        Kernel CTRR: Enabled\n"
                                            "        Boot Arguments Filtering: Enabled\n"
                                            "        Allow All Kernel Extensions: No\n"
                                            "        User Approved Privileged MDM Operations: No\n"
                                            "        DEP Approved Privileged MDM Operations: No\n");
const QString kChipHeader = QStringLiteral("Controller:\n"
                                           "      Model Identifier: Mac15,6\n"
                                           "      Firmware Version: iBoot-13822.81.10\n"
                                           "      Boot UUID: 07B65083-176B-5AEB-90FC-F0391CF4B93D\n"
                                           "      Boot Policy:\n");
const QString kFullBlock = QStringLiteral("Apple Silicon Security:\n"
                                          "\t🍏 Secure Boot: Full Security\n"
                                          "\t🍏 System Integrity Protection: Enabled\n"
                                          "\t🍏 Signed System Volume: Enabled\n"
                                          "\t🍏 Kernel CTRR: Enabled\n"
                                          "\t🍏 Boot Arguments Filtering: Enabled\n"
                                          "\t🍏 Allow All Kernel Extensions: No\n"
                                          "\tUser Approved Privileged MDM Operations: No\n"
                                          "\tDEP Approved Privileged MDM Operations: No\n");

QString withLine(QString text, const QString& from, const QString& to) {
    return text.replace(from, to);
}

TEST(PlatformSecurityLines, EvaluatedFormJudgesEachSetting) {
    struct Case {
        const char* line;
        PolicyLine kind;
    };
    const Case cases[] = {
        {"        Secure Boot: Full Security", PolicyLine::Good},
        {"        Secure Boot: Reduced Security", PolicyLine::Warning},
        {"        Secure Boot: Permissive Security", PolicyLine::Warning},
        // The first setting named decides: Secure Boot wants "Full Sec", not "Enable".
        {"        Secure Boot: Enabled", PolicyLine::Warning},
        {"        System Integrity Protection: Enabled", PolicyLine::Good},
        {"        System Integrity Protection: Disabled", PolicyLine::Warning},
        // The tests are case-sensitive.
        {"        System Integrity Protection: enabled", PolicyLine::Warning},
        {"        Signed System Volume: Enabled", PolicyLine::Good},
        {"        Signed System Volume: Disabled", PolicyLine::Warning},
        {"        Kernel CTRR: Enabled", PolicyLine::Good},
        {"        Kernel CTRR: Disabled", PolicyLine::Warning},
        {"        Boot Arguments Filtering: Enabled", PolicyLine::Good},
        {"        Boot Arguments Filtering: Disabled", PolicyLine::Warning},
        {"        Allow All Kernel Extensions: No", PolicyLine::Good},
        {"        Allow All Kernel Extensions: Yes", PolicyLine::Warning},
        {"        User Approved Privileged MDM Operations: Yes", PolicyLine::Plain},
        {"        DEP Approved Privileged MDM Operations: Yes", PolicyLine::Plain},
        {"      Boot Policy:", PolicyLine::Skipped},
        {"      Firmware Version: mBoot-18000.121.3", PolicyLine::Skipped},
        {"Controller:", PolicyLine::Skipped},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyEvaluatedPolicyLine(QString::fromUtf8(c.line)), c.kind) << c.line;
}

TEST(PlatformSecurityLines, ListedFormJudgesOnLikeEnabled) {
    struct Case {
        const char* line;
        PolicyLine kind;
    };
    const Case cases[] = {
        {"        Secure Boot: Full Security", PolicyLine::Good},
        {"        Secure Boot: Reduced Security", PolicyLine::Warning},
        {"        System Integrity Protection: On", PolicyLine::Good},
        {"        System Integrity Protection: Off", PolicyLine::Warning},
        {"        Signed System Volume: On", PolicyLine::Good},
        {"        Signed System Volume: Off", PolicyLine::Warning},
        {"        Kernel CTRR: On", PolicyLine::Good},
        {"        Boot Arguments Filtering: Off", PolicyLine::Warning},
        // Only the value counts: "On" elsewhere in a line proves nothing.
        {"        Boot Arguments Filtering (On request): Off", PolicyLine::Warning},
        {"        Kernel CTRR: Only when booted", PolicyLine::Warning},
        {"        Kernel CTRR: On ", PolicyLine::Good},
        {"        Allow All Kernel Extensions: No", PolicyLine::Good},
        {"        Allow All Kernel Extensions: Yes", PolicyLine::Warning},
        {"        User Approved Privileged MDM Operations: No", PolicyLine::Plain},
        {"        DEP Approved Privileged MDM Operations: Yes", PolicyLine::Plain},
        {"      Boot UUID: 364FE951-3F1C-5640-8AED-D0AF4AFC3670", PolicyLine::Skipped},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyListedPolicyLine(QString::fromUtf8(c.line)), c.kind) << c.line;
    // The evaluated wording is not loosened: "On" there is no "Enabled".
    EXPECT_EQ(classifyEvaluatedPolicyLine(QStringLiteral("  Kernel CTRR: On")), PolicyLine::Warning);
}

TEST(PlatformSecurityReport, BuildsTheSectionAndTheVerdict) {
    struct Case {
        const char* name;
        QString report;
        QString block;
        std::optional<QString> status;
    };
    const QString full = QStringLiteral("🍏 Platform Security full.");
    const QString partial = QStringLiteral("⚠️ Platform Security partial.");
    const QString all = kChipHeader + kPolicyLines;
    const QString listed = withLine(all, QStringLiteral("Enabled"), QStringLiteral("On"));
    const Case cases[] = {
        {"every setting full", all, kFullBlock, full},
        {"real mBoot report", fixture("spibridge-applesilicon-mboot-Mac16,13.txt"), kFullBlock, full},
        {"reduced security",
         withLine(all, QStringLiteral("Full Security"), QStringLiteral("Reduced Security")),
         withLine(kFullBlock, QStringLiteral("\t🍏 Secure Boot: Full Security"),
                  QStringLiteral("\t⚠️ Secure Boot: Reduced Security")),
         partial},
        {"kernel extensions allowed",
         withLine(all, QStringLiteral("Extensions: No"), QStringLiteral("Extensions: Yes")),
         withLine(kFullBlock, QStringLiteral("\t🍏 Allow All Kernel Extensions: No"),
                  QStringLiteral("\t⚠️ Allow All Kernel Extensions: Yes")),
         partial},
        {"SIP disabled",
         withLine(all, QStringLiteral("Protection: Enabled"), QStringLiteral("Protection: Disabled")),
         withLine(kFullBlock, QStringLiteral("\t🍏 System Integrity Protection: Enabled"),
                  QStringLiteral("\t⚠️ System Integrity Protection: Disabled")),
         partial},
        // The MDM lines are shown but never judged, whatever they say.
        {"MDM operations approved",
         withLine(all, QStringLiteral("Operations: No"), QStringLiteral("Operations: Yes")),
         withLine(kFullBlock, QStringLiteral("Operations: No"), QStringLiteral("Operations: Yes")), full},
        {"MDM operations approved, kernel extensions allowed",
         withLine(withLine(all, QStringLiteral("Operations: No"), QStringLiteral("Operations: Yes")),
                  QStringLiteral("Extensions: No"), QStringLiteral("Extensions: Yes")),
         withLine(withLine(kFullBlock, QStringLiteral("Operations: No"), QStringLiteral("Operations: Yes")),
                  QStringLiteral("\t🍏 Allow All Kernel Extensions: No"),
                  QStringLiteral("\t⚠️ Allow All Kernel Extensions: Yes")),
         partial},
        // Empty lines do not count towards the five a policy needs.
        {"four lines",
         QStringLiteral("Controller:\n\n  Secure Boot: Reduced Security\n\n  Kernel CTRR: Enabled\n  X\n"),
         QStringLiteral("Apple Silicon Security:\n"), std::nullopt},
        // Nothing judged proves nothing: no verdict rather than "full".
        {"no setting named",
         QStringLiteral(
             "Controller:\n  Model: Mac15,6\n  Firmware: iBoot-1\n  Boot UUID: 07B6\n  SEP: Enabled\n"),
         QStringLiteral("Apple Silicon Security:\n"), std::nullopt},
        {"only MDM lines",
         QStringLiteral("Controller:\n  Firmware: iBoot-1\n  SEP: Enabled\n"
                        "  User Approved Privileged MDM Operations: No\n"
                        "  DEP Approved Privileged MDM Operations: No\n"),
         QStringLiteral("Apple Silicon Security:\n\tUser Approved Privileged MDM Operations: No\n"
                        "\tDEP Approved Privileged MDM Operations: No\n"),
         std::nullopt},
        // Without "Enabled" or "Disabled" anywhere the settings are listed with "On"/"Off".
        {"listed form", listed,
         QStringLiteral("Apple Platform Security:\n"
                        "\t🍏 Secure Boot: Full Security\n"
                        "\t🍏 System Integrity Protection: On\n"
                        "\t🍏 Signed System Volume: On\n"
                        "\t🍏 Kernel CTRR: On\n"
                        "\t🍏 Boot Arguments Filtering: On\n"
                        "\t🍏 Allow All Kernel Extensions: No\n"
                        "\tUser Approved Privileged MDM Operations: No\n"
                        "\tDEP Approved Privileged MDM Operations: No\n"),
         QStringLiteral("See Platform Security below")},
        {"listed form, reduced security",
         withLine(listed, QStringLiteral("Full Security"), QStringLiteral("Reduced Security")),
         QStringLiteral("Apple Platform Security:\n"
                        "\t⚠️ Secure Boot: Reduced Security\n"
                        "\t🍏 System Integrity Protection: On\n"
                        "\t🍏 Signed System Volume: On\n"
                        "\t🍏 Kernel CTRR: On\n"
                        "\t🍏 Boot Arguments Filtering: On\n"
                        "\t🍏 Allow All Kernel Extensions: No\n"
                        "\tUser Approved Privileged MDM Operations: No\n"
                        "\tDEP Approved Privileged MDM Operations: No\n"),
         partial},
        {"listed form, SIP off and kernel extensions allowed",
         withLine(withLine(listed, QStringLiteral("Protection: On"), QStringLiteral("Protection: Off")),
                  QStringLiteral("Extensions: No"), QStringLiteral("Extensions: Yes")),
         QStringLiteral("Apple Platform Security:\n"
                        "\t🍏 Secure Boot: Full Security\n"
                        "\t⚠️ System Integrity Protection: Off\n"
                        "\t🍏 Signed System Volume: On\n"
                        "\t🍏 Kernel CTRR: On\n"
                        "\t🍏 Boot Arguments Filtering: On\n"
                        "\t⚠️ Allow All Kernel Extensions: Yes\n"
                        "\tUser Approved Privileged MDM Operations: No\n"
                        "\tDEP Approved Privileged MDM Operations: No\n"),
         partial},
        {"listed form, four lines", QStringLiteral("Controller:\n  Secure Boot: Full Security\n  a\n  b\n"),
         QStringLiteral("Apple Platform Security:\n"), std::nullopt},
    };
    for (const Case& c : cases) {
        const PlatformSecurity got = platformSecurity(c.report);
        EXPECT_EQ(got.block, c.block) << c.name;
        EXPECT_EQ(got.statusText, c.status) << c.name;
    }
}

TEST(SecurityStatusAppleSilicon, ReadsTheChipReportAndRunsNoCsrutil) {
    Harness h;
    h.tools.answer(kSpctl, kSpctlArgs, kSpctlOn);
    h.tools.answer(kFdesetup, kFdesetupArgs, kFileVaultOn);
    h.vc->hardware.hasARM = true;
    h.vc->hardware.theARMData = withLine(kChipHeader + kPolicyLines, QStringLiteral("Full Security"),
                                         QStringLiteral("Reduced Security"));
    runStep(h);

    EXPECT_EQ(h.view.fieldText(Field::sipStatusText), QStringLiteral("⚠️ Platform Security partial."));
    EXPECT_EQ(h.view.report, withLine(kFullBlock, QStringLiteral("\t🍏 Secure Boot: Full Security"),
                                      QStringLiteral("\t⚠️ Secure Boot: Reduced Security")) +
                                 QStringLiteral("✅ XProtect ") + kSpctlOn + QStringLiteral("✅ ") +
                                 kFileVaultOn + kNotChecked);
    EXPECT_EQ(securityToolCalls(h.tools), (QStringList{QStringLiteral("/usr/sbin/spctl --status"),
                                                       QStringLiteral("/usr/bin/fdesetup status")}));
    h.finish();
}

TEST(SecurityStatusAppleSilicon, ShortReportLeavesTheFieldAsItWas) {
    Harness h;
    h.tools.answer(kSpctl, kSpctlArgs, kSpctlOn);
    h.tools.answer(kFdesetup, kFdesetupArgs, kFileVaultOn);
    h.view.setFieldText(Field::sipStatusText, QStringLiteral("before"));
    h.vc->hardware.hasARM = true;
    h.vc->hardware.theARMData =
        QStringLiteral("Controller:\n  Secure Boot: Reduced Security\n  Kernel CTRR: Enabled\n");
    runStep(h);

    EXPECT_EQ(h.view.fieldText(Field::sipStatusText), QStringLiteral("before"));
    EXPECT_TRUE(h.view.report.startsWith(QStringLiteral("Apple Silicon Security:\n✅ XProtect ")))
        << h.view.report.toStdString();
    h.finish();
}

// The first Mac whose chip report names its firmware "mBoot-…" must be judged as Apple silicon, not
// as an Intel Mac with csrutil.
TEST(SecurityStatusAppleSilicon, MBootMacIsJudgedByItsBootPolicy) {
    Harness h;
    h.tools.answer(QStringLiteral("/usr/sbin/system_profiler"), {QStringLiteral("SPiBridgeDataType")},
                   fixture("spibridge-applesilicon-mboot-Mac16,13.txt"));
    h.tools.answer(kCsrutil, kSipArgs, kSipOff);
    h.tools.answer(kSpctl, kSpctlArgs, kSpctlOn);
    h.tools.answer(kFdesetup, kFdesetupArgs, kFileVaultOn);
    h.vc->identifyHardware();
    ASSERT_TRUE(test::waitUntilIdle(*h.vc));
    ASSERT_TRUE(h.vc->hardware.hasARM);
    runStep(h);

    EXPECT_EQ(h.view.fieldText(Field::sipStatusText), QStringLiteral("🍏 Platform Security full."));
    EXPECT_TRUE(h.view.report.startsWith(kFullBlock + QStringLiteral("✅ XProtect ")))
        << h.view.report.toStdString();
    EXPECT_EQ(h.tools.callCount(kCsrutil), 0);
    h.finish();
}

// ---- What the step hands on to.

TEST(SecurityStatusHandOver, ScanSummaryOnlyOnTheFirstRunWhenAllowed) {
    struct Case {
        bool firstRun;
        bool checkXPRem;
        bool notChecked;
    };
    const Case cases[] = {
        {true, true, false}, {true, false, true}, {false, true, true}, {false, false, true}};
    for (const Case& c : cases) {
        Harness h;
        h.vc->state.osVersion = 15;
        h.vc->state.firstRun = c.firstRun;
        h.vc->state.checkXPRem = c.checkXPRem;
        h.hold();
        h.vc->checkSecurityStatus();
        ASSERT_TRUE(h.settleExcept({QStringLiteral("update check"), QStringLiteral("scan summary")}));
        EXPECT_EQ(h.queue.held().contains(QStringLiteral("scan summary")), !c.notChecked);
        // The scans line, when written, follows the block at once; the summary itself comes later.
        EXPECT_EQ(h.view.report.endsWith(QStringLiteral("⚠️  error 127") + kNotChecked), c.notChecked)
            << c.firstRun << c.checkXPRem << " " << h.view.report.toStdString();
        h.finish();
    }
}

TEST(SecurityStatusHandOver, SecondCheckRunSaysScansWereNotChecked) {
    Harness h;
    h.vc->viewDidLoad();
    h.vc->viewDidAppear();
    ASSERT_TRUE(test::waitUntilIdle(*h.vc));
    EXPECT_FALSE(h.view.report.contains(kNotChecked)) << h.view.report.toStdString();

    h.vc->checkButtonAct();
    ASSERT_TRUE(test::waitUntilIdle(*h.vc));
    EXPECT_EQ(h.view.report.count(kNotChecked), 1);
}

} // namespace
} // namespace lq
