// Page 7 read from the virtual drive (event_history = every_kind) by LOG SENSE and decoded
// by a script: every kind of packet is counted, mapped and queried.
#include <memory>

#include "document/falder_doc.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "log/log_system.h"
#include "script_fixture.h"

namespace vexal::script::testing {
namespace {

struct EventPageDeviceTest : ScriptTest {
    log::CLogSystem log{op, {}};
    std::unique_ptr<document::CFalderDoc> doc;

    void SetUp() override {
        const std::string path = (root.path() / "profile.ini").string();
        writeFile(path, "[target 0]\ntype = tape\nevent_history = every_kind\n");
        std::string error;
        ASSERT_EQ(device::DevSetTransport(device::makeVirtualTransport(path, error)), 0) << error;
        ASSERT_EQ(device::DevEnumerate(), 0);
        doc = std::make_unique<document::CFalderDoc>(op, log, [] { return true; });
        ASSERT_TRUE(doc->device().Select(0));
        engine.setDocument(doc.get());
        engine.setOutput(&out);
    }
    void TearDown() override {
        engine.setDocument(nullptr);
        doc.reset();
        device::DevFreeList();
        device::DevSetTransport(nullptr);
    }
};

TEST_F(EventPageDeviceTest, EveryKindOfPacketIsDecoded) {
    ASSERT_TRUE(load("DESCRIPTION page 7\nBUFFER B7 [ 4096 ]\nLOGPAGE Ev { 7 , B7 }\n"
                     "CDB Ls { 10 , TOHOST , B7 , 4DH , 0 , 47H , 0 , 0 , 0 , 0 , 10H , 0 , 0 }\n"
                     "WORD n = 0\nWORD events = 0\nWORD sense = 0\nWORD bug = 0\nWORD hot = 0\nWORD post = 0\nLONG v = 0\n"
                     "Start:\nSCSI Ls\nLOADPAGE Ev\nGETNUMBEROFPACKETS Ev n\n"
                     "IFTRUE Ev events EVENT 0020H TO 0030H == 2 JUMP Next\nEXIT 1\nNext:\n"
                     "IFTRUE Ev sense SENSE 03 11H 00 == 1 CALL Nothing\n"
                     "IFTRUE Ev hot OVERTEMP >= 1 CALL Nothing\n"
                     "IFTRUE Ev post POST >= 1 CALL Nothing\n"
                     "Ev->CREATELIST BUGCHECK 1234H bug\nEv->GETVALUE 0 v 1.FFFF0000H >> 16 + 4.000000FFH\n"
                     "Ev->CREATEMAP LOG\nEXIT 0\nNothing:\nRETURN\n"))
        << engine.TrailText();
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    auto var = [&](std::string_view name) { return engine.tables().variables.find(name)->wordSlot; };
    EXPECT_EQ(var("n"), 18);
    EXPECT_EQ(var("events"), 2);
    EXPECT_EQ(var("sense"), 1);
    EXPECT_EQ(var("hot"), 1);
    EXPECT_EQ(var("post"), 1);
    EXPECT_EQ(var("bug"), 1);
    EXPECT_EQ(engine.tables().variables.find("v")->longSlot, 0xDEADu + 0x78u);  // DEADBEEF >> 16, 12345678 & FF
    size_t mapLines = 0;
    for (const auto& [level, line] : out.log)
        if (line.find("x\t") != std::string::npos) ++mapLines;
    EXPECT_EQ(mapLines, 18u);  // every packet is an item of its own (EVENT 21 and 30 differ)
}

}  // namespace
}  // namespace vexal::script::testing
