// vexal-cli --json: every command prints exactly one JSON document on stdout, with the
// common members (command, exit, device, status, result, lines, fields) and its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include <nlohmann/json.hpp>

#include "integration/tgtd_suite.h"
#include "integration/watchdog.h"
#include "support/process_runner.h"
#include "support/test_root.h"

using nlohmann::json;
using vexal::testing::runProcess;

namespace {

constexpr const char* kPhrase = "VEXAL_PASSPHRASE=Korvane-Eng42";

struct JsonRun {
    vexal::testing::ProcessResult process;
    json doc;  // discarded when stdout is not one JSON document
};

JsonRun runJson(std::vector<std::string> args) {
    // Engineering mode: most commands are engineering commands, and the frames are shown.
    std::vector<std::string> full{kPhrase, VEXAL_CLI_PATH, "--engineering", "--json"};
    full.insert(full.end(), args.begin(), args.end());
    JsonRun r{runProcess("/usr/bin/env", full, 120), {}};
    r.doc = json::parse(r.process.out, nullptr, false);  // fails on anything beside the document
    return r;
}

// The members every object document has, and what they hold for this run.
void expectCommonMembers(const JsonRun& r, const std::string& command, bool withDevice) {
    const json& j = r.doc;
    ASSERT_TRUE(j.is_object()) << r.process.out << r.process.err;
    EXPECT_EQ(j["command"], command);
    EXPECT_EQ(j["exit"], r.process.exitCode);
    for (const char* member : {"device", "status", "result", "lines", "fields"})
        EXPECT_TRUE(j.contains(member)) << command << " lacks " << member;
    EXPECT_TRUE(j["lines"].is_array());
    EXPECT_TRUE(j["fields"].is_object());
    if (withDevice) {
        ASSERT_TRUE(j["device"].is_object()) << j.dump(2);
        for (const char* member : {"index", "address", "vendor", "product", "revision", "serial"})
            EXPECT_TRUE(j["device"].contains(member)) << member;
    } else {
        EXPECT_TRUE(j["device"].is_null()) << j.dump(2);
    }
    EXPECT_EQ(j.contains("sense_key"), j.contains("asc"));
}

class CliJsonTest : public ::testing::Test {
protected:
    std::string file(const std::string& name, const std::string& text) {
        const auto path = root.path() / name;
        std::ofstream(path) << text;
        return path.string();
    }
    vexal::testing::TempRoot root;
};

// One table, in order: the virtual tape keeps what earlier rows wrote.
TEST_F(CliJsonTest, EveryCommandPrintsOneDocumentWithTheCommonMembers) {
    const std::string script = file("HELLO.SCS", "DESCRIPTION hello\nStart:\nMSG Answer: 42\nEXIT 0\n");
    const std::string saved = (root.path() / "saved.txt").string();
    struct Case {
        std::vector<std::string> args;
        const char* command;
        int exitCode;
        bool device;
        std::function<void(const json&)> check;
    };
    const std::vector<Case> cases = {
        {{"tur"}, "tur", 0, true, [](const json& j) {
             EXPECT_EQ(j["status"], "SCSI_GOOD");
             EXPECT_EQ(j["result"], 0);
             EXPECT_FALSE(j.contains("sense_key"));
             EXPECT_EQ(j["device"]["vendor"], "KORVANE");
             EXPECT_EQ(j["device"]["address"], "0:0:0");
         }},
        {{"--engineering", "inquiry"}, "inquiry", 0, true, [](const json& j) {
             EXPECT_EQ(j["fields"]["Vendor ID"], "KORVANE");
             EXPECT_EQ(j["fields"]["Product ID"], "SKTX VIRTUAL");
             EXPECT_EQ(j["fields"]["ANSI Version"], 5);
             EXPECT_EQ(j["fields"]["RAW_CDB"], "12 00 00 00 40 00");
         }},
        {{"--engineering", "request-sense"}, "request-sense", 0, true, [](const json& j) {
             EXPECT_EQ(j["sense_key"], 0);  // the sense it read is its result
             EXPECT_EQ(j["sense_key_name"], "No Sense");
             EXPECT_TRUE(j["fields"]["Tape Remaining"].is_number_integer());  // "0x00040000"
         }},
        {{"rewind"}, "rewind", 0, true, {}},
        {{"write", "--transfer-length", "512", "--count", "3"}, "write", 0, true, [](const json& j) {
             EXPECT_EQ(j["requested"], 3);
             EXPECT_EQ(j["completed"], 3);
         }},
        {{"write-filemarks", "1"}, "write-filemarks", 0, true, {}},
        {{"read-position"}, "read-position", 0, true, [](const json& j) {
             EXPECT_EQ(j["fields"]["Partition Number"], 0);  // "0, (0x00)"
             EXPECT_EQ(j["fields"]["First Block"], 4);       // "4 (0x00000004)"
             EXPECT_EQ(j["fields"]["BT"], "FALSE");
         }},
        {{"rewind"}, "rewind", 0, true, {}},
        {{"read", "--transfer-length", "512", "--count", "3", "--compare"}, "read", 0, true, [](const json& j) {
             EXPECT_EQ(j["completed"], 3);
             EXPECT_EQ(j["compare_errors"], 0);
         }},
        {{"read-block-limits"}, "read-block-limits", 0, true, [](const json& j) {
             EXPECT_EQ(j["fields"]["Maximum Block Length"], 16777215);
             EXPECT_EQ(j["fields"]["Minimum Block Length"], 1);
         }},
        {{"mode-sense"}, "mode-sense", 0, true, [](const json& j) { EXPECT_EQ(j["status"], "SCSI_GOOD"); }},
        {{"log-sense", "0x2E"}, "log-sense", 0, true, [](const json& j) {
             EXPECT_EQ(j["page"], 0x2E);
             EXPECT_EQ(j["sent"], true);
             EXPECT_EQ(j["status"], "SCSI_GOOD");
         }},
        {{"tape-alerts"}, "tape-alerts", 0, true, [](const json& j) {
             EXPECT_EQ(j["alerts"], json::array());
             EXPECT_EQ(j["caption"], "No tape alerts were detected.");
         }},
        {{"timeout"}, "timeout", 0, true, [](const json& j) { EXPECT_TRUE(j["timeout"].is_number()); }},
        {{"test", "write-read", "--count", "2"}, "test", 0, true, [](const json& j) {
             EXPECT_EQ(j["passed"], true);
             EXPECT_EQ(j["result"], 0);
         }},
        {{"--save", saved, "run", script}, "run", 0, true, [](const json& j) {
             EXPECT_EQ(j["failed"], false);
             EXPECT_EQ(j["aborted"], false);
             EXPECT_EQ(j["fields"]["Answer"], 42);  // a script's message in the lines
         }},
        {{"run", "--device", "0", "--device", "1", script}, "run", 0, false, [](const json& j) {
             ASSERT_EQ(j["devices"].size(), 2u) << j;
             EXPECT_EQ(j["devices"][1]["address"], "0:1:0");
             EXPECT_EQ(j["devices"][1]["failed"], false);
         }},
        {{"view", saved}, "view", 0, false, [](const json& j) {
             EXPECT_NE(std::find(j["lines"].begin(), j["lines"].end(), "Answer: 42"), j["lines"].end()) << j;
         }},
        {{"check", script}, "check", 0, false, [](const json& j) {
             EXPECT_EQ(j["loaded"], true);
             EXPECT_TRUE(j["trail"].is_array());
         }},
        {{"ready"}, "ready", 0, true, [](const json& j) { EXPECT_EQ(j["ready"], true); }},
        {{"select", "0"}, "select", 0, true, {}},
        {{"settings", "get", "Transport"}, "settings", 0, false, [](const json& j) {
             EXPECT_EQ(j["name"], "Transport");
         }},
        {{"settings"}, "settings", 0, false, [](const json& j) { EXPECT_TRUE(j["settings"].is_object()); }},
        {{"serial-port"}, "serial-port", 0, false, [](const json& j) { EXPECT_TRUE(j.contains("line")); }},
        {{"load-count-threshold"}, "load-count-threshold", 0, true, [](const json& j) {
             EXPECT_EQ(j["loads"], j["threshold"].get<int>() * 100);
         }},
        {{"cdb", "00 00 00 00 00 00"}, "cdb", 0, true, [](const json& j) {
             EXPECT_EQ(j["target_status"], 0);  // its own members stay as they were
             EXPECT_EQ(j["sense"], "");
             EXPECT_EQ(j["status"], "SCSI_GOOD");
         }},
        // Refused before any command: still one document, with the exit status.
        {{"--device", "7", "tur"}, "tur", 3, false, [](const json& j) { EXPECT_TRUE(j["status"].is_null()); }},
        {{"fadump-view", (root.path() / "none.dmz").string()}, "fadump-view", -1, false, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--virtual", "--device", "0"};
        if (std::find(c.args.begin(), c.args.end(), "--device") != c.args.end()) args.resize(1);
        args.insert(args.end(), c.args.begin(), c.args.end());
        const JsonRun r = runJson(args);
        SCOPED_TRACE(c.command);
        if (c.exitCode >= 0) {
            EXPECT_EQ(r.process.exitCode, c.exitCode) << r.process.err;
        }
        ASSERT_FALSE(r.doc.is_discarded()) << "stdout is not one JSON document:\n" << r.process.out;
        expectCommonMembers(r, c.command, c.device);
        if (c.check) c.check(r.doc);
    }
}

// The list commands print their list, as they always have.
TEST_F(CliJsonTest, ListCommandsPrintTheirListAlone) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"scan"}, {"mam"}, {"eeprom"}}) {
        const JsonRun r = runJson([&] {
            std::vector<std::string> a{"--virtual", "--device", "0"};
            a.insert(a.end(), args.begin(), args.end());
            return a;
        }());
        SCOPED_TRACE(args.front());
        EXPECT_EQ(r.process.exitCode, 0) << r.process.err;
        ASSERT_TRUE(r.doc.is_array()) << r.process.out;
        EXPECT_FALSE(r.doc.empty());
    }
}

// A command that ends with sense has its key, ASC and ASCQ; the next one, which ends GOOD,
// has none: an earlier command's sense is never shown again.
TEST_F(CliJsonTest, AFailingCommandHasItsSenseAndTheNextDoesNotReuseIt) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* status;
        int senseKey, asc, ascq;  // -1: no sense members
    } cases[] = {
        {{"rewind"}, 0, "SCSI_GOOD", -1, 0, 0},
        {{"read", "--transfer-length", "512"}, 1, "END_OF_DATA_DETECTED", 8, 0, 5},
                {{"tur"}, 0, "SCSI_GOOD", -1, 0, 0},
        {{"space", "1", "1"}, 1, nullptr, 8, 0, 5},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--virtual", "--device", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const JsonRun r = runJson(args);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(r.process.exitCode, c.exitCode) << r.process.err;
        ASSERT_TRUE(r.doc.is_object()) << r.process.out;
        if (c.status) EXPECT_EQ(r.doc["status"], c.status);
        EXPECT_EQ(r.doc["exit"], c.exitCode);
        if (c.senseKey < 0) {
            EXPECT_FALSE(r.doc.contains("sense_key")) << r.doc.dump(2);
            continue;
        }
        EXPECT_EQ(r.doc["sense_key"], c.senseKey) << r.doc.dump(2);
        EXPECT_EQ(r.doc["sense_key_name"], "Blank Check");
        EXPECT_EQ(r.doc["asc"], c.asc);
        EXPECT_EQ(r.doc["ascq"], c.ascq);
        EXPECT_NE(r.doc["result"], 0);
    }
}

// The same documents from a drive on the network.
class CliJsonTgtdTest : public vexal::testing::TgtdSuite {
protected:
    vexal::testing::TempRoot root;
    vexal::testing::Watchdog watchdog{std::chrono::seconds(120), "a CLI JSON test against tgtd"};
};

TEST_F(CliJsonTgtdTest, CommandsOverIscsiPrintTheCommonMembers) {
    for (const char* command : {"tur", "read-position", "inquiry"}) {
        const JsonRun r = runJson({"--portal", server->portal(), "--device", "0:0:1", command});
        SCOPED_TRACE(command);
        EXPECT_EQ(r.process.exitCode, 0) << r.process.err;
        ASSERT_FALSE(r.doc.is_discarded()) << r.process.out;
        expectCommonMembers(r, command, true);
        EXPECT_EQ(r.doc["device"]["address"], "0:0:1");
        EXPECT_EQ(r.doc["status"], "SCSI_GOOD");
    }
}

}  // namespace
