// Send Log: the file is handed to xdg-email, whose exit status becomes the mail outcome.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/send_files.h"
#include "log/send_log.h"
#include "log_test_support.h"
#include "support/test_root.h"

namespace fs = std::filesystem;
using vexal::ui::FileDialog;
using vexal::ui::Icon;
using vexal::testing::EnvGuard;
using vexal::testing::RecordingOperator;
using vexal::testing::TempRoot;

namespace {

TEST(MailOutcomeTest, ExitStatusMapsOntoOutcomeMessages) {
    const std::pair<int, const char*> cases[] = {
        {0, nullptr},
        {1, "One or more unspecified errors occurred. No message was sent."},
        {2, "The specified attachment was not found. No message was sent."},
        {3, "There was no default logon, no default mail client, or the current mail client cannot fulfill the "
            "messageing request. No message was sent."},
        {4, "One or more unspecified errors occurred. No message was sent."},
        {5, "The specified attachment could not be opened. No message was sent."},
        {77, "One or more unspecified errors occurred. No message was sent."},
    };
    for (const auto& [status, text] : cases) {
        const auto message = vexal::log::mailOutcomeMessage(vexal::log::mailOutcomeFromExitStatus(status));
        if (text) EXPECT_EQ(message, text) << status;
        else EXPECT_FALSE(message) << status;
    }
    EXPECT_FALSE(vexal::log::mailOutcomeMessage(vexal::log::kMailUserAbort));
    EXPECT_EQ(vexal::log::mailOutcomeMessage(25), "One or more recipients were invalid or did not resolve to any address.");
}

class SendLogTest : public ::testing::Test {
protected:
    SendLogTest() {
        fs::create_directories(bin);
        fs::create_directories(logs);
        vexal::testing::writeFile(attachment, "log text\r\n");
    }
    // A stand-in xdg-email that records its arguments, one a line, and exits with `body`.
    void installMailer(const std::string& body) {
        const fs::path script = bin / "xdg-email";
        vexal::testing::writeFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                              argsFile.string() + "'\n" + body + "\n");
        ::chmod(script.c_str(), 0755);
    }
    std::string recordedArgs() const { return vexal::testing::readFile(argsFile); }

    TempRoot root;
    const fs::path bin = root.path() / "bin";
    const fs::path logs = root.path() / "data/Korvane/Vexal/Logs";
    const fs::path attachment = logs / "Vexal log with spaces 'and' quotes.txt";
    const fs::path argsFile = root.path() / "args";
    EnvGuard path{"PATH", (root.path() / "bin").string() + ":/usr/bin:/bin"};
    RecordingOperator op;
};

TEST_F(SendLogTest, AttachesTheChosenFileAndReportsTheOutcome) {
    const std::pair<int, int> cases[] = {{0, 0}, {1, 2}, {2, 11}, {3, 3}, {4, 2}, {5, 12}};
    for (const auto& [exitCode, outcome] : cases) {
        SCOPED_TRACE(exitCode);
        installMailer("exit " + std::to_string(exitCode));
        fs::remove(argsFile);
        RecordingOperator caseOp;
        caseOp.texts.push_back(attachment.string());
        EXPECT_EQ(vexal::log::SendLog(caseOp, logs), outcome);

        EXPECT_EQ(recordedArgs(), "--subject\nKorvane Vexal Log File\n--attach\n" + attachment.string() + "\n");
        ASSERT_EQ(caseOp.fileRequests.size(), 1u);
        EXPECT_EQ(caseOp.fileRequests[0].kind, FileDialog::Open);
        EXPECT_EQ(caseOp.fileRequests[0].caption, "Select Log File");
        EXPECT_EQ(caseOp.fileRequests[0].filter, "Log Files (*.txt)|*.txt|");
        EXPECT_EQ(fs::path(caseOp.fileRequests[0].proposed), logs);
        const auto messages = caseOp.messages();
        if (outcome == 0) {
            EXPECT_TRUE(messages.empty());
        } else {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0], *vexal::log::mailOutcomeMessage(outcome));
            EXPECT_EQ(caseOp.calls.back().icon, Icon::Exclamation);
        }
    }
}

TEST_F(SendLogTest, MailerKilledBySignalIsAnUnspecifiedError) {
    installMailer("kill -9 $$");
    op.texts.push_back(attachment.string());
    EXPECT_EQ(vexal::log::SendLog(op, logs), 2);
    EXPECT_EQ(op.messages().size(), 1u);
}

TEST_F(SendLogTest, CancelledChoiceSendsNothing) {
    installMailer("exit 0");
    EXPECT_EQ(vexal::log::SendLog(op, logs), -1);
    EXPECT_FALSE(fs::exists(argsFile));
    EXPECT_TRUE(op.messages().empty());
}

TEST_F(SendLogTest, MissingMailerShowsNothing) {
    EnvGuard noMailer{"PATH", bin.string()};  // an empty folder
    op.texts.push_back(attachment.string());
    EXPECT_EQ(vexal::log::SendLog(op, logs), -1);
    EXPECT_TRUE(op.messages().empty());
}

// The programs' Send Log (the session's) starts the choice in the data folder's Logs.
TEST_F(SendLogTest, SessionSendLogStartsInTheLogsFolder) {
    installMailer("exit 0");
    op.texts.push_back(attachment.string());
    EXPECT_EQ(vexal::app::SendLog(op), 0);
    ASSERT_EQ(op.fileRequests.size(), 1u);
    EXPECT_EQ((fs::path(op.fileRequests[0].proposed) / "").lexically_normal(), (logs / "").lexically_normal());
    EXPECT_NE(recordedArgs().find(attachment.string()), std::string::npos);
}

}  // namespace
