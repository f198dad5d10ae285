// SCSI statements run against the virtual drive through the document's worker: CDB
// objects, repeated transfers with comparison, sense statements, identity lines.
#include <algorithm>
#include <memory>

#include "document/falder_doc.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "device/virtual/firmware_download.h"
#include "firmware/firmware_update.h"
#include "log/log_system.h"
#include "script/script_error_codes.h"
#include "script_fixture.h"

namespace vexal::script::testing {
namespace {

struct ScsiRunTest : ScriptTest {
    log::CLogSystem log{op, {}};
    std::unique_ptr<document::CFalderDoc> doc;

    // The virtual bus (default profile, or the given profile text) and a document on its tape drive.
    void start(const std::string& profile = "") {
        std::string path;
        if (!profile.empty()) {
            path = (root.path() / "profile.ini").string();
            writeFile(path, profile);
        }
        std::string error;
        ASSERT_EQ(device::DevSetTransport(device::makeVirtualTransport(path, error)), 0) << error;
        ASSERT_EQ(device::DevEnumerate(), 0);
        doc = std::make_unique<document::CFalderDoc>(op, log, [] { return true; });
        ASSERT_TRUE(doc->device().Select(0));
        doc->device().familyCode = 10;
        engine.setDocument(doc.get());
    }
    void TearDown() override {
        engine.setDocument(nullptr);
        doc.reset();
        device::DevFreeList();
        device::DevSetTransport(nullptr);
    }
    int run(std::string_view text) {
        if (!load(text)) {
            ADD_FAILURE() << engine.TrailText();
            return -1;
        }
        return engine.Run();
    }
    ScriptVariable& var(std::string_view name) { return *engine.tables().variables.find(name); }
    std::vector<std::string> messages() {
        std::vector<std::string> out;
        for (const auto& line : doc->lines().snapshot())
            if (line.rfind(kScriptMessagePrefix, 0) == 0) out.push_back(line.substr(kScriptMessagePrefix.size()));
        return out;
    }
    bool sawMessage(std::string_view text) {
        const auto m = messages();
        return std::find(m.begin(), m.end(), text) != m.end();
    }
};

// A script that writes 100 blocks of the buffer, rewinds, reads them back with comparison
// and reports the outcome.
constexpr std::string_view kWriteReadCompare =
    "DESCRIPTION write, rewind, read and compare\n"
    "BUFFER Data [ 512 ]\n"
    "LONG written = 0\nLONG errorAt = 0\nLONG address = 0\n"
    "BYTE status = 0\nBYTE got = 0\nBYTE wanted = 0\nBYTE sk = 0\nBYTE asc = 0\nBYTE ascq = 0\n"
    "CDB Wr { 6 , FROMHOST , Data , SCSI_WRITE , 0 , 0 , 2 , 0 , 0 }\n"
    "CDB Rd { 6 , TOHOST , Data , SCSI_READ , 0 , 0 , 2 , 0 , 0 }\n"
    "CDB Rew { 6 , NONE , 0 , SCSI_REWIND , 0 , 0 , 0 , 0 , 0 }\n"
    "SENSEKEYS WriteError 03 0CH 00 Write error\n"
    "Start:\n"
    "SCSI Rew\n"
    "WRITE Wr 100 written\n"
    "GETSENSE sk asc ascq\n"
    "IFSENSE WriteError JUMP Failed\n"
    "IFSENSE ANY JUMP Failed\n"
    "SCSI Rew\n"
    "READCOMPARE Rd 100 status errorAt address got wanted\n"
    "IF status != 0 JUMP Failed\n"
    "MSG passed\n"
    "EXIT 0\n"
    "Failed:\n"
    "MSG failed\n";

TEST_F(ScsiRunTest, WritesRewindsReadsAndCompares) {
    start();
    ASSERT_TRUE(load(kWriteReadCompare));
    auto& data = engine.tables().buffers.find("Data")->storage;
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    EXPECT_TRUE(sawMessage("passed"));
    EXPECT_EQ(var("written").longSlot, 100u);
    EXPECT_EQ(var("status").byteSlot, 0);
    // No sense data after the good WRITE.
    EXPECT_EQ(var("sk").byteSlot, 0xCC);

    // The same tape read back against other data miscompares in the first block.
    data[3] ^= 0xFF;
    ASSERT_TRUE(load(std::string(kWriteReadCompare).replace(std::string(kWriteReadCompare).find("WRITE Wr 100 written\n"), 21, "")));
    auto& expected = engine.tables().buffers.find("Data")->storage;
    for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<uint8_t>(i * 7 + 1);
    expected[3] ^= 0xFF;
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    EXPECT_TRUE(sawMessage("failed"));
    EXPECT_EQ(var("status").byteSlot, 1);
    EXPECT_EQ(var("errorAt").longSlot, 0u);
    EXPECT_EQ(var("address").longSlot, 3u);
    EXPECT_EQ(var("got").byteSlot, static_cast<uint8_t>(3 * 7 + 1));
    EXPECT_EQ(var("wanted").byteSlot, static_cast<uint8_t>((3 * 7 + 1) ^ 0xFF));
}

// A block shorter than the read asked for (SILI: it ends GOOD) is compared only as far
// as it came, and differs where it ends, even where the expected bytes are zeros.
TEST_F(ScsiRunTest, ReadCompareOfAShortBlockDiffersWhereItEnds) {
    start();
    ASSERT_EQ(run("DESCRIPTION short block\nBUFFER Data [ 512 ]\nLONG n = 0\nLONG errorAt = 0\nLONG address = 0\n"
                  "BYTE status = 0\nBYTE got = 0\nBYTE wanted = 0\n"
                  "CDB Wr { 6 , FROMHOST , Data , SCSI_WRITE , 0 , 0 , 0 , 100 , 0 }\n"
                  "CDB Rd { 6 , TOHOST , Data , SCSI_READ , 2 , 0 , 2 , 0 , 0 }\n"
                  "CDB Rew { 6 , NONE , 0 , SCSI_REWIND , 0 , 0 , 0 , 0 , 0 }\n"
                  "Start:\nSCSI Rew\nWRITE Wr 1 n\nSCSI Rew\n"
                  "READCOMPARE Rd 1 status errorAt address got wanted\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(var("n").longSlot, 1u);
    EXPECT_EQ(var("status").byteSlot, 1);
    EXPECT_EQ(var("errorAt").longSlot, 0u);
    EXPECT_EQ(var("address").longSlot, 100u);
    EXPECT_EQ(var("got").byteSlot, 0);
}

TEST_F(ScsiRunTest, AnInjectedMediumErrorShowsThroughGetSenseAndIfSense) {
    start("[target 0]\ntype = tape\nmedium_error_at = 50\n");
    ASSERT_EQ(run(kWriteReadCompare), 0) << engine.TrailText();
    EXPECT_TRUE(sawMessage("failed"));
    EXPECT_FALSE(sawMessage("passed"));
    EXPECT_EQ(var("written").longSlot, 50u);
    EXPECT_EQ(var("sk").byteSlot, 3);
    EXPECT_EQ(var("asc").byteSlot, 0x0C);
    EXPECT_EQ(var("ascq").byteSlot, 0);
}

TEST_F(ScsiRunTest, DescriptorSenseReadsAsFixedSenseDoes) {
    // A WRITE that meets a medium error, and a READ that meets a filemark.
    constexpr std::string_view kFilemarkRead =
        "DESCRIPTION filemark\nBUFFER Data [ 512 ]\n"
        "BYTE fm = 0\nBYTE ili = 0\nBYTE eom = 0\nBYTE sk = 0\nBYTE asc = 0\nBYTE ascq = 0\n"
        "CDB Wr { 6 , FROMHOST , Data , SCSI_WRITE , 0 , 0 , 2 , 0 , 0 }\n"
        "CDB Rd { 6 , TOHOST , Data , SCSI_READ , 0 , 0 , 2 , 0 , 0 }\n"
        "CDB Fm { 6 , NONE , 0 , SCSI_WRITE_FILEMARKS , 0 , 0 , 0 , 1 , 0 }\n"
        "CDB Rew { 6 , NONE , 0 , SCSI_REWIND , 0 , 0 , 0 , 0 , 0 }\n"
        "SENSEKEYS Mark 00 00 01 Filemark\n"
        "Start:\nSCSI Rew\nSCSI Wr\nSCSI Fm\nSCSI Rew\nSCSI Rd\nSCSI Rd\n"
        "GETSENSE sk asc ascq\nGETFMSTATUS fm\nGETILISTATUS ili\nGETEOMSTATUS eom\n"
        "IFSENSE Mark JUMP Mark\nMSG no filemark\nEXIT 0\nMark:\nMSG filemark\n";
    for (const char* descriptor : {"no", "yes"}) {
        SCOPED_TRACE(descriptor);
        start(std::string("[target 0]\ntype = tape\nmedium_error_at = 50\ndescriptor_sense = ") + descriptor + "\n");
        ASSERT_EQ(run(kWriteReadCompare), 0) << engine.TrailText();
        EXPECT_TRUE(sawMessage("failed"));
        EXPECT_EQ(var("written").longSlot, 50u);
        EXPECT_EQ(var("sk").byteSlot, 3);
        EXPECT_EQ(var("asc").byteSlot, 0x0C);
        EXPECT_EQ(var("ascq").byteSlot, 0);

        ASSERT_EQ(run(kFilemarkRead), 0) << engine.TrailText();
        EXPECT_TRUE(sawMessage("filemark"));
        EXPECT_FALSE(sawMessage("no filemark"));
        EXPECT_EQ(var("sk").byteSlot, 0);
        EXPECT_EQ(var("asc").byteSlot, 0);
        EXPECT_EQ(var("ascq").byteSlot, 1);
        EXPECT_EQ(var("fm").byteSlot, 1);
        EXPECT_EQ(var("ili").byteSlot, 0);
        EXPECT_EQ(var("eom").byteSlot, 0);
        // The frame shows the condition in the same words.
        bool named = false;
        for (const auto& line : doc->lines().snapshot()) named |= line == "   Flags:  FM";
        EXPECT_TRUE(named);
        TearDown();
    }
}

TEST_F(ScsiRunTest, CountsFromVariablesAndLiterals) {
    start();
    ASSERT_EQ(run("DESCRIPTION counts\nBUFFER Data [ 100 ]\nLONG n = 0\nLONG m = 0\nWORD k = 3\n"
                  "CDB Wr { 6 , FROMHOST , Data , SCSI_WRITE , 0 , 0 , 0 , 100 , 0 }\n"
                  "CDB Rd { 6 , TOHOST , Data , SCSI_READ , 0 , 0 , 0 , 100 , 0 }\n"
                  "CDB Rew { 6 , NONE , 0 , SCSI_REWIND , 0 , 0 , 0 , 0 , 0 }\n"
                  "Start:\nSCSI Rew\nWRITE Wr 10 n\nSCSI Rew\nREADNOCOMPARE Rd k m\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(var("n").longSlot, 10u);
    EXPECT_EQ(var("m").longSlot, 3u);
}

TEST_F(ScsiRunTest, ScsiPrimesItsBufferAndModCdbChangesBytes) {
    start();
    ASSERT_EQ(run("DESCRIPTION inquiry\nBUFFER Inq [ 56 ]\nBYTE type = 0\nBYTE len = 38H\nBYTE sk = 0\nBYTE asc = 0\n"
                  "BYTE ascq = 0\n"
                  "CDB Inquiry { 6 , TOHOST , Inq , SCSI_INQUIRY , 0 , 0 , 0 , 10 , 0 }\n"
                  "Start:\nMODCDB Inquiry 4 len\nSCSI Inquiry\nGETSENSE sk asc ascq\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(engine.tables().cdbs.find("Inquiry")->bytes[4], 0x38);
    const ScriptBuffer& inq = *engine.tables().buffers.find("Inq");
    EXPECT_TRUE(inq.primed);
    EXPECT_EQ(std::string(inq.storage.begin() + 8, inq.storage.begin() + 16), "KORVANE ");
    // GETSENSE after a command without sense data stores CCh in all three.
    EXPECT_EQ(var("sk").byteSlot, 0xCC);
    EXPECT_EQ(var("asc").byteSlot, 0xCC);
    EXPECT_EQ(var("ascq").byteSlot, 0xCC);
}

TEST_F(ScsiRunTest, ModCdbIndexRange) {
    struct Case {
        const char* statement;
        int32_t code;
    };
    const Case cases[] = {
        {"MODCDB c 0 5", err::MODCDB_IDX_RANGE_SPECIFIED},
        {"MODCDB c 5 0", 0},
        {"MODCDB c 6 0", err::MODCDB_IDX_RANGE_SPECIFIED},
    };
    for (const Case& c : cases) {
        const bool loaded = load(std::string("DESCRIPTION m\nCDB c { 6 , NONE , 0 , SCSI_TEST_UNIT_READY , 0 , 0 , 0 , 0 , 0 }\nStart:\n") +
                                 c.statement + "\n");
        EXPECT_EQ(loaded, c.code == 0) << c.statement;
        EXPECT_EQ(onlyCode(), c.code) << c.statement;
    }
}

TEST_F(ScsiRunTest, StatusStatementsAndSenseLines) {
    start();
    ASSERT_EQ(run("DESCRIPTION status\nBYTE ili = 0\nBYTE eom = 0\nBYTE fm = 0\nBYTE type = 0\nBYTE quiet = 9\n"
                  "LONG ha = 5\nLONG timeout = 0\nLONG newTimeout = 77\nWORD reset = 9\n"
                  "SENSEKEYS NotReady 02 XX XX Not ready\n"
                  "Start:\n* SK 02\n* ASC 04H\n* ASCQ 01\n* ILI 1\n* EOM 0\n* FM 1\n"
                  "GETILISTATUS ili\nGETEOMSTATUS eom\nGETFMSTATUS fm\nPRINTSENSEKEYS\nLOGSENSEKEYS\n"
                  "* SK 05\nPRINTSENSEKEYS\n"
                  "GETDRIVETYPE type\nGETSUPPRESSSTATUS quiet\nSETSCSITIMEOUT newTimeout\nGETSCSITIMEOUT timeout\n"
                  "BUSDEVICERESET reset\nGETHASTATUS ha\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(var("ili").byteSlot, 1);
    EXPECT_EQ(var("eom").byteSlot, 0);
    EXPECT_EQ(var("fm").byteSlot, 1);
    EXPECT_EQ(var("type").byteSlot, 10);
    EXPECT_EQ(var("quiet").byteSlot, 0);
    EXPECT_EQ(var("timeout").longSlot, 77u);
    EXPECT_EQ(var("reset").wordSlot, 0);
    EXPECT_EQ(var("ha").longSlot, 0u);
    EXPECT_TRUE(sawMessage("Sense: CC: 02  ASC: 04  ASCQ: 01  = Not ready"));
    EXPECT_TRUE(sawMessage("Sense: CC: 05  ASC: 04  ASCQ: 01  = Unknown\n"));
}

TEST_F(ScsiRunTest, GetInqInfoPrintsTheIdentityToItsDestination) {
    start();
    ASSERT_EQ(run("DESCRIPTION id\nStart:\nGETINQINFO\nGETINQINFO PRINTER\n"), 0) << engine.TrailText();
    const auto m = messages();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m.front(), "   Device Type: Tape");
    EXPECT_TRUE(sawMessage("   Vendor ID: KORVANE "));
    EXPECT_TRUE(sawMessage("   Product Family: 100.0+ / 200.0 GB"));
    EXPECT_TRUE(sawMessage("   Released Firmware: Released Code (Vxxx)"));
    // The second statement names no destination it knows: nothing more.
    const size_t perCall = m.size();
    EXPECT_EQ(perCall, 31u);
}

TEST_F(ScsiRunTest, WithoutADeviceASendingStatementFailsTheRun) {
    ASSERT_TRUE(load("DESCRIPTION none\nCDB c { 6 , NONE , 0 , SCSI_TEST_UNIT_READY , 0 , 0 , 0 , 0 , 0 }\nStart:\nSCSI c\n"));
    EXPECT_EQ(engine.Run(), 1);
    EXPECT_EQ(engine.errors().back().code, err::EXE_UNKNOWN_CMD);
}

}  // namespace
}  // namespace vexal::script::testing

namespace vexal::script::testing {
namespace {

// FUP: the firmware procedure's outcome picks the next statement through the vectors.
struct FupRunTest : ScsiRunTest {
    std::string script(const std::string& image) {
        return "DESCRIPTION fup\nStart:\nONERROR Failed\nONCANCEL Cancelled\nFUP " + image +
               "\nMSG updated\nEXIT 0\nFailed:\nMSG failed\nEXIT 0\nCancelled:\nMSG cancelled\n";
    }
    std::string image(const std::string& revision) {
        const fs::path path = root.path() / ("fw-" + revision + ".img");
        const auto bytes = device::virt::makeFirmwareImage(revision, 4096);
        writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return path.string();
    }
    // The procedure as the front ends run it, without its 20-second pause.
    void quickUpdates() {
        engine.setFirmwareUpdater([this](const std::string& file) {
            firmware::UpdateContext update{doc->device(), op};
            update.sleep = [](std::chrono::milliseconds) {};
            return firmware::FupFromScript(update, file);
        });
    }
};

TEST_F(FupRunTest, OutcomesGoThroughTheVectors) {
    struct Case {
        const char* profile;
        std::vector<ui::Button> answers;
        const char* shown;
    };
    const Case cases[] = {
        {"", {ui::Button::Cancel}, "cancelled"},
        // The default drive has a cartridge loaded: the update is refused.
        {"", {ui::Button::Ok, ui::Button::Ok}, "failed"},
        {"[target 0]\ntype = tape\ncartridge = no\n", {ui::Button::Ok, ui::Button::Ok}, "updated"},
    };
    for (const Case& c : cases) {
        TearDown();
        start(c.profile);
        quickUpdates();
        op.calls.clear();
        op.buttons.assign(c.answers.begin(), c.answers.end());
        ASSERT_EQ(run(script(image("V200"))), 0) << engine.TrailText();
        EXPECT_TRUE(sawMessage(c.shown)) << c.shown;
        for (const char* other : {"updated", "failed", "cancelled"})
            if (std::string_view(other) != c.shown) EXPECT_FALSE(sawMessage(other)) << c.shown << " / " << other;
    }
}

TEST_F(FupRunTest, AFileNameInABufferIsCheckedWhenItRuns) {
    start();
    ASSERT_TRUE(load("DESCRIPTION fup\nBUFFER Name [ 300 ]\nStart:\nONERROR Failed\nONCANCEL Failed\nFUP Name\n"
                     "Failed:\nMSG failed\n"));
    const std::string missing = (root.path() / "missing.img").string();
    auto& name = engine.tables().buffers.find("Name")->storage;
    std::copy(missing.begin(), missing.end(), name.begin());
    EXPECT_EQ(engine.Run(), 1);
    EXPECT_EQ(engine.errors().back().code, err::FUP_UNABLE_TO_OPEN_FILE_SPECIFIED);
}

TEST_F(FupRunTest, AVectorNoOnErrorHasSetEndsTheRun) {
    start();
    quickUpdates();
    op.buttons = {ui::Button::Ok, ui::Button::Ok};
    // ONERROR comes after FUP: when FUP fails, the error vector names nothing yet.
    ASSERT_TRUE(load("DESCRIPTION fup\nStart:\nFUP " + image("V300") +
                     "\nONERROR Failed\nONCANCEL Failed\nMSG after\nFailed:\nMSG failed\n"));
    EXPECT_EQ(engine.Run(), 1);
    EXPECT_EQ(engine.errors().back().code, err::JUMP_INVALID_VECTOR_ERROR);
}

}  // namespace
}  // namespace vexal::script::testing
