// Mailing the dump through a stand-in xdg-email first in PATH, and the terminal commands
// fadump and fadump-view with their exit statuses.
#include <gtest/gtest.h>

#include "fadump/dump_mail.h"
#include "fadump/fadump_commands.h"
#include "fadump_test_support.h"

using namespace vexal::fadump;
using namespace vexal::fadump_test;

namespace {

class MailTest : public VirtualDriveFixture {
protected:
    MailTest() { fs::create_directories(bin); }
    // A stand-in xdg-email that records its arguments, one a line, and exits with `status`.
    void installMailer(int status) {
        const fs::path script = bin / "xdg-email";
        writeText(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + args.string() +
                              "'\nexit " + std::to_string(status) + "\n");
        ::chmod(script.c_str(), 0755);
    }
    const fs::path bin = root.path() / "bin";
    const fs::path args = root.path() / "args";
    EnvGuard path{"PATH", bin.string()};  // no real mail client can answer
};

TEST_F(MailTest, DumpFileIsTheOneAttachmentAndTheExitStatusPicksTheMessage) {
    const fs::path dmz = root.path() / "FADump/VD 0001 'x'.dmz";
    fs::create_directories(dmz.parent_path());
    writeText(dmz, "dump");
    const struct {
        int status;
        int outcome;
        const char* message;
    } cases[] = {
        {0, 0, nullptr},
        {1, 2, "One or more unspecified errors occurred. No message was sent."},
        {2, 11, "The specified attachment was not found. No message was sent."},
        {3, 3, "There was no default logon, no default mail client, or the current mail client cannot fulfill the "
               "messageing request. No message was sent."},
        {4, 2, "One or more unspecified errors occurred. No message was sent."},
        {5, 12, "The specified attachment could not be opened. No message was sent."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        installMailer(c.status);
        fs::remove(args);
        vexal::testing::FakeOperator op;
        EXPECT_EQ(MailDump(op, dmz), c.outcome);
        EXPECT_EQ(readText(args), "--subject\nKorvane Vexal FA Dump File\n--attach\n" + dmz.string() + "\n");
        if (c.message) {
            ASSERT_EQ(op.messages(), std::vector<std::string>{c.message});
            EXPECT_EQ(op.calls[0].icon, vexal::ui::Icon::Exclamation);
        } else {
            EXPECT_TRUE(op.messages().empty());
        }
    }
}

TEST_F(MailTest, MissingMailProgramShowsNothing) {
    vexal::testing::FakeOperator op;
    EnvGuard empty{"PATH", bin.string()};  // an empty folder
    EXPECT_EQ(MailDump(op, root.path() / "x.dmz"), -1);
    EXPECT_TRUE(op.calls.empty());
}

TEST_F(MailTest, DumpCommandExitStatuses) {
    startDrive();
    const fs::path customer = root.path() / "customer.txt";
    writeText(customer, "Name=Ann\nPhone=555 0100\n");
    DumpCommandOptions options;
    options.customerFile = customer.string();
    options.mail = true;
    const struct {
        int mailer;  // -1: none installed
        int exit;
    } cases[] = {{0, 0}, {1, 1}, {5, 1}, {-1, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mailer);
        fs::remove(bin / "xdg-email");
        if (c.mailer >= 0) installMailer(c.mailer);
        vexal::testing::FakeOperator op;
        std::ostringstream out, err;
        EXPECT_EQ(RunDumpCommand(*device, op, options, out, err), c.exit) << err.str();
        // The default name below the install path; the customer's Phone is not stored.
        const fs::path dmz = root.path() / "data/Korvane/Vexal/FADump/VD00000001.dmz";
        EXPECT_NE(out.str().find("FA dump written to " + dmz.string()), std::string::npos) << out.str();
        EXPECT_NE(err.str().find("Phone is not among the fields"), std::string::npos);
        if (c.mailer >= 0) EXPECT_NE(readText(args).find(dmz.string()), std::string::npos);
        else EXPECT_NE(err.str().find("not mailed"), std::string::npos);
        const Bytes dmp = readZip(dmz).at(0).data;
        EXPECT_NE(std::search(dmp.begin(), dmp.end(), std::begin("-Name"), std::end("-Name") - 1), dmp.end());
        EXPECT_EQ(std::search(dmp.begin(), dmp.end(), std::begin("-Phone"), std::end("-Phone") - 1), dmp.end());
    }
}

TEST_F(MailTest, DumpCommandUsageAndFailures) {
    startDrive("fa_dump_layout = none\n");
    vexal::testing::FakeOperator op;
    std::ostringstream out, err;
    DumpCommandOptions options;
    options.customerFile = (root.path() / "missing.txt").string();
    EXPECT_EQ(RunDumpCommand(*device, op, options, out, err), 2);
    EXPECT_NE(err.str().find("cannot be read"), std::string::npos);

    options.customerFile.clear();
    options.out = (root.path() / "case42").string();
    op.texts = {"Ann"};  // the operator is asked for the customer fields
    EXPECT_EQ(RunDumpCommand(*device, op, options, out, err), 1);
    EXPECT_NE(err.str().find("The FA dump failed: "), std::string::npos);
    EXPECT_FALSE(fs::exists(root.path() / "case42.dmz"));
    EXPECT_EQ(op.calls.front().kind, "askText");

    // A drive without a serial number dumps to NoSerialNum.dmz.
    TearDown();
    startDrive();
    device->serialNumber = "          ";
    options.out.clear();
    vexal::testing::FakeOperator quiet;
    EXPECT_EQ(RunDumpCommand(*device, quiet, options, out, err), 0);
    EXPECT_TRUE(fs::exists(root.path() / "data/Korvane/Vexal/FADump/NoSerialNum.dmz"));
}

TEST_F(MailTest, ViewCommandFailsOnARefusedArchive) {
    vexal::testing::FakeOperator op;
    writeText(root.path() / "random.dmz", "not a zip at all, just text long enough to be something");
    std::ostringstream out;
    EXPECT_EQ(RunViewCommand(op, (root.path() / "random.dmz").string(), out), 1);
    EXPECT_EQ(op.messages().size(), 1u);
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
