// Tape Alerts: the table, the walk over page 2Eh, the ranking the dialog shows, the check
// through the device library, and the menu, runner and hook paths.
#include <gtest/gtest.h>

#include "diag/tape_alert_check.h"
#include "diag/tape_alert_dialog.h"
#include "diag/tape_alerts.h"
#include "support/fake_operator.h"
#include "support/test_root.h"
#include "support/recording_output.h"
#include "unit/diag/fake_log_drive.h"
#include "unit/diag/page_builder.h"

using namespace vexal::diag;
using vexal::testing::FakeLogDrive;
using vexal::testing::FakeOperator;
using vexal::testing::makePage;
using vexal::testing::PageParameter;
using vexal::testing::RecordingOutput;

namespace {

constexpr uint8_t kFamily10 = 10;

// A Tape Alert page with each flag given its value.
std::vector<uint8_t> alertPage(const std::vector<std::pair<uint16_t, uint8_t>>& flags) {
    std::vector<PageParameter> p;
    for (const auto& [flag, value] : flags) p.push_back({flag, {value}});
    return makePage(0x2E, p);
}

std::vector<uint8_t> setFlags(const std::vector<uint16_t>& flags) {
    std::vector<std::pair<uint16_t, uint8_t>> values;
    for (uint16_t f : flags) values.push_back({f, 1});
    return alertPage(values);
}

LogPage parsed(const std::vector<uint8_t>& bytes) {
    LogPage page;
    EXPECT_EQ(page.Parse(0x2E, bytes), PageError::None);
    return page;
}

size_t indexOf(uint8_t flag) {
    for (size_t i = 0; i < kTapeAlerts.size(); ++i)
        if (kTapeAlerts[i].flag == flag) return i;
    ADD_FAILURE() << "no flag " << int{flag};
    return 0;
}

TEST(TapeAlertTable, FlagsNamesAndSeveritiesInOrder) {
    using S = Severity;
    const std::vector<std::tuple<uint8_t, std::string_view, Severity>> expected{
        {1, "Read Warning", S::Warning},        {2, "Write Warning", S::Warning},
        {3, "Hard Error", S::Warning},          {4, "Media", S::Critical},
        {5, "Read Failure", S::Critical},       {6, "Write Failure", S::Critical},
        {7, "Media Life", S::Warning},          {9, "Write Protect", S::Critical},
        {10, "No Removal", S::Informational},   {11, "Cleaning Media", S::Informational},
        {17, "Read Only Format", S::Warning},   {19, "Nearing Media Life", S::Warning},
        {20, "Clean Now", S::Critical},         {21, "Clean Periodic", S::Warning},
        {22, "Expired Cleaning Media", S::Critical}, {23, "Invalid Cleaning Tape", S::Critical},
        {29, "Drive Maintenance", S::Warning},  {31, "Hardware B", S::Critical},
        {32, "Interface", S::Warning},          {34, "Download Fail", S::Warning},
        {36, "Drive Temperature", S::Warning},  {38, "Predictive Failure", S::Critical},
        {51, "Tape Directory Invalid at Unload", S::Warning},
    };
    ASSERT_EQ(kTapeAlerts.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(kTapeAlerts[i].flag, std::get<0>(expected[i]));
        EXPECT_EQ(kTapeAlerts[i].name, std::get<1>(expected[i]));
        EXPECT_EQ(kTapeAlerts[i].severity, std::get<2>(expected[i]));
        EXPECT_FALSE(kTapeAlerts[i].text.empty());
    }
    EXPECT_EQ(kTapeAlerts.back().text,
              "A WRITE error prevented the directory from being from being updated when the drive unloaded the tape.");
    EXPECT_EQ(severityWord(Severity::Informational), "Informational");
}

TEST(TapeAlertWalk, EveryRowIsReachableOnItsOwn) {
    for (size_t i = 0; i < kTapeAlerts.size(); ++i) {
        const TapeAlertDefinition& alert = kTapeAlerts[i];
        SCOPED_TRACE(std::string(alert.name));
        RecordingOutput out;
        TapeAlertTable table;
        TapeAlertResult result;
        ApplyTapeAlertPage(parsed(setFlags({alert.flag})), kFamily10, table, result, out);
        for (size_t j = 0; j < table.active.size(); ++j) EXPECT_EQ(table.active[j], i == j);
        EXPECT_TRUE(result.alertActive);
        EXPECT_TRUE(out.view.empty());  // the log file only
        ASSERT_EQ(out.log.size(), 1u);
        EXPECT_EQ(out.log[0], std::make_pair(0, "Tape Alert:" + std::string(alert.name) + " Severity:" +
                                                    std::string(severityWord(alert.severity))));
        const auto model = buildTapeAlertDialog(table, result, true);
        EXPECT_EQ(model.icon, imageOf(alert.severity));
        EXPECT_EQ(model.selected, static_cast<int>(i));
        EXPECT_EQ(model.detailText, alert.text);
        EXPECT_EQ(model.rows[i].severity, severityWord(alert.severity));
    }
}

TEST(TapeAlertWalk, TypeTenWithHardErrorAndCleanNow) {
    RecordingOutput out;
    TapeAlertTable table;
    TapeAlertResult result;
    ApplyTapeAlertPage(parsed(setFlags({3, 20})), kFamily10, table, result, out);
    ASSERT_EQ(out.log.size(), 2u);
    EXPECT_EQ(out.log[0].second, "Tape Alert:Hard Error Severity:Warning");
    EXPECT_EQ(out.log[1].second, "Tape Alert:Clean Now Severity:Critical");
    const auto model = buildTapeAlertDialog(table, result, true);
    EXPECT_EQ(model.caption, "Scroll the list to view the tape alert(s).");
    EXPECT_EQ(model.icon, AlertImage::Critical);
    ASSERT_GE(model.selected, 0);
    EXPECT_EQ(model.rows[static_cast<size_t>(model.selected)].name, "Clean Now");
    ASSERT_EQ(model.rows.size(), kTapeAlerts.size());
    EXPECT_EQ(model.rows[indexOf(3)].image, AlertImage::Warning);
    EXPECT_EQ(model.rows[indexOf(1)].image, AlertImage::None);
    EXPECT_EQ(model.rows[indexOf(1)].severity, "");
}

TEST(TapeAlertWalk, RankingIconAndSelection) {
    struct Case {
        std::vector<uint16_t> flags;
        AlertImage icon;
        const char* selected;  // nullptr: nothing selected
        bool informational, warning, critical;
    };
    const std::vector<Case> cases{
        {{}, AlertImage::None, nullptr, false, false, false},
        {{10, 11}, AlertImage::Informational, "No Removal", true, false, false},
        {{11, 21}, AlertImage::Warning, "Clean Periodic", false, true, false},
        // A Warning found before an Informational clears nothing that comes later.
        {{1, 10}, AlertImage::Warning, "Read Warning", true, true, false},
        {{21, 38}, AlertImage::Critical, "Predictive Failure", false, false, true},
        {{20, 4, 51}, AlertImage::Critical, "Media", false, true, true},
        {{10, 36, 31}, AlertImage::Critical, "Hardware B", false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.flags));
        RecordingOutput out;
        TapeAlertTable table;
        TapeAlertResult result;
        ApplyTapeAlertPage(parsed(setFlags(c.flags)), kFamily10, table, result, out);
        EXPECT_EQ(!result.informational.empty(), c.informational);
        EXPECT_EQ(!result.warning.empty(), c.warning);
        EXPECT_EQ(!result.critical.empty(), c.critical);
        const auto model = buildTapeAlertDialog(table, result, true);
        EXPECT_EQ(model.icon, c.icon);
        if (c.selected) {
            ASSERT_GE(model.selected, 0);
            EXPECT_EQ(model.rows[static_cast<size_t>(model.selected)].name, c.selected);
        } else {
            EXPECT_EQ(model.selected, -1);
            EXPECT_EQ(model.detailText, "Select a tape alert to view more details of the problem.");
            EXPECT_EQ(model.caption, "No tape alerts were detected.");
        }
    }
}

TEST(TapeAlertWalk, ValuesOtherThanOneAndMissingFlags) {
    RecordingOutput out;
    TapeAlertTable table;
    TapeAlertResult result;
    ApplyTapeAlertPage(parsed(setFlags({1, 2, 17, 20})), kFamily10, table, result, out);
    ASSERT_TRUE(table.active[indexOf(17)]);

    // Next read: 1 cleared, 2 reads 2 (unusable), 20 is two bytes long, 17 is absent.
    std::vector<uint8_t> bytes = makePage(0x2E, {{1, {0}}, {2, {2}}, {20, {0, 1}}});
    result = TapeAlertResult{};
    out.log.clear();
    ApplyTapeAlertPage(parsed(bytes), kFamily10, table, result, out);
    EXPECT_FALSE(table.active[indexOf(1)]);
    EXPECT_TRUE(table.active[indexOf(2)]);   // an unusable value changes nothing
    EXPECT_TRUE(table.active[indexOf(17)]);  // not in the page: kept
    EXPECT_TRUE(table.active[indexOf(20)]);  // not one byte: kept
    EXPECT_TRUE(result.flagClear);
    EXPECT_FALSE(result.alertActive);
    EXPECT_TRUE(out.log.empty());
}

TEST(TapeAlertWalk, OtherFamiliesLeaveTheTableAlone) {
    for (uint8_t family : {1, 2, 9, 13, 254}) {
        RecordingOutput out;
        TapeAlertTable table;
        table.active[0] = true;
        TapeAlertResult result;
        ApplyTapeAlertPage(parsed(setFlags({3, 20})), family, table, result, out);
        EXPECT_TRUE(table.active[0]);
        EXPECT_FALSE(table.active[indexOf(20)]);
        EXPECT_FALSE(result.alertActive);
        EXPECT_TRUE(out.log.empty());
        const auto model = buildTapeAlertDialog(table, result, reportsTapeAlerts(family));
        EXPECT_EQ(model.caption, "No tape alerts were detected.");
        EXPECT_TRUE(model.rows.empty());
        EXPECT_EQ(model.icon, AlertImage::None);
    }
    for (uint8_t family : {10, 11, 12}) EXPECT_TRUE(reportsTapeAlerts(family));
}

TEST(TapeAlertDialog, SelectingARowShowsItsAdvice) {
    TapeAlertTable table;
    TapeAlertResult result;
    auto model = buildTapeAlertDialog(table, result, true);
    model.select(3);
    EXPECT_EQ(model.detailText, kTapeAlerts[3].text);
    model.select(99);
    EXPECT_EQ(model.selected, -1);
    EXPECT_EQ(model.detailText, "Select a tape alert to view more details of the problem.");
}

class TapeAlertCheckTest : public ::testing::Test {
protected:
    TapeAlertCheckTest() : device(out) { EXPECT_TRUE(device.Select(0)); }
    std::filesystem::path folder() const { return root.path() / "work"; }
    ShowTapeAlertDialog recorder() {
        return [this](const TapeAlertDialogModel& m) { shown.push_back(m); };
    }

    vexal::testing::TempRoot root;
    FakeLogDrive drive;
    FakeOperator op;
    RecordingOutput out;
    vexal::command::CScsiDevice device;
    TapeAlertTable table;
    std::vector<TapeAlertDialogModel> shown;
};

TEST_F(TapeAlertCheckTest, ReadsThePageThroughTheLibraryWithoutCommandLines) {
    drive.pages[0x2E] = setFlags({3, 20});
    TapeAlertResult result;
    EXPECT_EQ(CheckTapeAlerts(device.handle, kFamily10, table, result, out, folder()), TapeAlertCheckStatus::Done);
    EXPECT_EQ(drive.logCdbs(), (std::vector<std::vector<uint8_t>>{{0x4D, 0, 0x2E, 0, 0, 0, 0, 0x04, 0x00, 0}}));
    EXPECT_TRUE(out.view.empty());
    ASSERT_EQ(out.log.size(), 2u);
    EXPECT_EQ(out.log[1].second, "Tape Alert:Clean Now Severity:Critical");
    EXPECT_TRUE(std::filesystem::exists(folder() / "2E.XXX"));
    EXPECT_TRUE(result.alertActive);
}

TEST_F(TapeAlertCheckTest, FailedOrRefusedReadsGiveNoResult) {
    table.active[0] = true;
    TapeAlertResult result;
    drive.failLogSense = true;
    drive.pages[0x2E] = setFlags({3});
    EXPECT_EQ(CheckTapeAlerts(device.handle, kFamily10, table, result, out, folder()),
              TapeAlertCheckStatus::CommandFailed);
    drive.failLogSense = false;
    drive.pages[0x2E] = makePage(0x2F, {{3, {1}}});
    EXPECT_EQ(CheckTapeAlerts(device.handle, kFamily10, table, result, out, folder()),
              TapeAlertCheckStatus::PageRefused);
    EXPECT_FALSE(result.alertActive);
    EXPECT_TRUE(table.active[0]);
    EXPECT_FALSE(table.active[indexOf(3)]);
    EXPECT_TRUE(out.view.empty());
}

TEST_F(TapeAlertCheckTest, MenuFamilyTest) {
    const std::vector<std::pair<uint8_t, bool>> families{
        {0, false}, {1, false}, {2, true},   {3, false},   {4, true},   {5, false},  {6, true},   {7, false},
        {8, false}, {9, true},  {10, true},  {127, true},  {128, true}, {253, true}, {254, false}, {255, false}};
    for (const auto& [family, allowed] : families) {
        EXPECT_EQ(tapeAlertMenuAllows(family, false), allowed) << int{family};
        EXPECT_TRUE(tapeAlertMenuAllows(family, true)) << int{family};
    }

    const auto outcome = RunTapeAlertsMenu(device, op, 1, false, table, folder(), recorder());
    EXPECT_TRUE(outcome.refused);
    EXPECT_TRUE(drive.logCdbs().empty());
    EXPECT_TRUE(shown.empty());
    ASSERT_EQ(op.calls.size(), 1u);
    EXPECT_EQ(op.calls[0].text,
              "You cannot access this device.  It does not appear to be a supported tape drive.  This command "
              "supports SKTX tape drives only.  If you feel you have received this message in error please verify "
              "that your device manager reports all of your tape drives correctly, then rescan the SCSI bus or stop "
              "and restart the application.");
    EXPECT_EQ(op.calls[0].icon, vexal::ui::Icon::Exclamation);
}

TEST_F(TapeAlertCheckTest, MenuShowsTheDialogEvenWithoutAlerts) {
    drive.pages[0x2E] = setFlags({3, 20});
    // A supported family outside 10 to 12: the page is read but nothing is reported.
    auto outcome = RunTapeAlertsMenu(device, op, 2, false, table, folder(), recorder());
    EXPECT_FALSE(outcome.refused);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "No tape alerts were detected.");
    EXPECT_EQ(drive.logCdbs().size(), 1u);

    outcome = RunTapeAlertsMenu(device, op, kFamily10, false, table, folder(), recorder());
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].caption, "Scroll the list to view the tape alert(s).");
    EXPECT_EQ(shown[1].icon, AlertImage::Critical);
    EXPECT_TRUE(op.calls.empty());

    drive.pages[0x2E] = makePage(0x2F, {});
    outcome = RunTapeAlertsMenu(device, op, kFamily10, false, table, folder(), recorder());
    EXPECT_EQ(outcome.status, TapeAlertCheckStatus::PageRefused);
    EXPECT_EQ(op.messages(), (std::vector<std::string>{"There was an error loading the TapeAlert page."}));
    EXPECT_EQ(shown.size(), 3u);
}

TEST_F(TapeAlertCheckTest, RunnerShowsTheDialogOnlyForActiveAlertsWithoutSuppression) {
    drive.pages[0x2E] = setFlags({});
    RunTapeAlertRunnerCheck(device, kFamily10, false, false, table, folder(), recorder());
    EXPECT_TRUE(shown.empty());

    drive.pages[0x2E] = setFlags({21});
    auto outcome = RunTapeAlertRunnerCheck(device, kFamily10, false, true, table, folder(), recorder());
    EXPECT_TRUE(outcome.result.alertActive);
    EXPECT_FALSE(outcome.dialogShown);
    EXPECT_TRUE(shown.empty());

    outcome = RunTapeAlertRunnerCheck(device, kFamily10, false, false, table, folder(), recorder());
    EXPECT_TRUE(outcome.dialogShown);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rows[static_cast<size_t>(shown[0].selected)].name, "Clean Periodic");

    // A family the menu refuses is skipped quietly: no command, no message.
    const size_t sent = drive.logCdbs().size();
    outcome = RunTapeAlertRunnerCheck(device, 1, false, false, table, folder(), recorder());
    EXPECT_TRUE(outcome.refused);
    EXPECT_EQ(drive.logCdbs().size(), sent);
    EXPECT_TRUE(op.calls.empty());
}

TEST_F(TapeAlertCheckTest, HookRunsOnlyWhenTheOptionIsOn) {
    drive.pages[0x2E] = setFlags({20});
    bool enabled = false;
    TapeAlertHook hook;
    hook.device = &device;
    hook.table = &table;
    hook.enabled = [&] { return enabled; };
    hook.familyCode = [] { return kFamily10; };
    hook.show = recorder();
    hook.folder = folder();
    std::function<void()> asDocumentHolds = hook;

    asDocumentHolds();
    EXPECT_TRUE(drive.logCdbs().empty());
    enabled = true;
    asDocumentHolds();
    EXPECT_EQ(drive.logCdbs().size(), 1u);
    EXPECT_TRUE(table.active[indexOf(20)]);
    EXPECT_EQ(shown.size(), 1u);
    hook.suppressDialogs = [] { return true; };
    hook();
    EXPECT_EQ(shown.size(), 1u);
}

}  // namespace
