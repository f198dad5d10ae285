// Microcode download on the virtual tape drive: pieces, saves, refusals, the restart and
// the revision that stays.
#include <gtest/gtest.h>

#include <fstream>

#include "device/virtual/firmware_download.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using namespace vexal::device::virt;
using vexal::testing::Answer;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

std::vector<uint8_t> slice(const std::vector<uint8_t>& v, size_t from, size_t count) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

std::vector<uint8_t> writeBufferCdb(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
    return {0x3B, mode, id, uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset),
            uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0};
}

// A drive that restarts at once unless the profile says otherwise.
constexpr const char* kQuickRestart = "firmware_offline_seconds = 0\nfirmware_not_ready_seconds = 0\n";

class VirtualFirmwareTest : public ::testing::Test {
protected:
    void open(const std::string& section = kQuickRestart) {
        std::string error;
        transport = transportFromProfile(root, "[target 0]\n" + section, &error);
        ASSERT_TRUE(transport) << error;
        bus = std::make_unique<VirtualBus>(transport);
    }
    Answer piece(uint8_t mode, uint32_t offset, const std::vector<uint8_t>& data, uint8_t id = 0) {
        return bus->out(0, writeBufferCdb(mode, id, offset, static_cast<uint32_t>(data.size())), data);
    }
    // The sequence the program sends to a drive of any family but 3.
    Answer download(const std::vector<uint8_t>& image) {
        size_t offset = 0;
        std::vector<uint8_t> last;
        do {
            last = slice(image, offset, std::min<size_t>(8192, image.size() - offset));
            if (!last.empty()) {
                const Answer a = piece(4, static_cast<uint32_t>(offset), last);
                if (!a.good()) return a;
            }
            offset += last.size();
        } while (last.size() == 8192);
        return piece(5, static_cast<uint32_t>(offset), last);
    }
    std::string revision() {
        const Answer a = bus->in(0, {0x12, 0, 0, 0, 36, 0}, 36);
        return a.good() ? std::string(a.data.begin() + 32, a.data.begin() + 36) : a.kcq();
    }

    TempRoot root;
    std::shared_ptr<Transport> transport;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(VirtualFirmwareTest, ASavedImageRestartsTheDriveWithItsRevision) {
    open();
    EXPECT_EQ(revision(), "V100");
    ASSERT_EQ(download(makeFirmwareImage("V205", 20000)).kcq(), "GOOD");
    EXPECT_EQ(revision(), "V205");
    EXPECT_EQ(bus->tur().kcq(), "6/3F/01");  // MICROCODE HAS BEEN CHANGED, once
    EXPECT_EQ(bus->tur().kcq(), "GOOD");     // the cartridge stayed in

    // The drive keeps the new code: a new bus (a rescan, a later run) sees it.
    transport.reset();
    bus.reset();
    open();
    EXPECT_EQ(revision(), "V205");
}

TEST_F(VirtualFirmwareTest, ImageLengthsOnAndOffTheBlockBoundary) {
    open();
    for (size_t length : {16u, 100u, 8192u, 16384u, 20000u}) {
        SCOPED_TRACE(length);
        const std::string rev = "L" + std::to_string(length % 1000);
        ASSERT_EQ(download(makeFirmwareImage(rev, length)).kcq(), "GOOD");
        EXPECT_EQ(revision(), (rev + "    ").substr(0, 4));
        bus->tur();  // the unit attention
    }
}

TEST_F(VirtualFirmwareTest, RefusedDownloads) {
    const auto image = makeFirmwareImage("V300", 20000);
    auto badMagic = image;
    badMagic[3] = 'x';
    auto badLength = makeFirmwareImage("V300", 20000);
    badLength[15] ^= 1;
    auto badRevision = makeFirmwareImage("V300", 100);
    badRevision[9] = 0x07;
    struct Step {
        uint8_t mode;
        uint8_t id;
        uint32_t offset;
        std::vector<uint8_t> data;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;  // all but the last are accepted
        const char* sense;
    } cases[] = {
        {"not an image of this drive", {{4, 0, 0, slice(badMagic, 0, 8192)}}, "5/26/00"},
        {"a buffer the drive does not download into", {{4, 3, 0, slice(image, 0, 8192)}}, "5/24/00"},
        {"a gap between pieces", {{4, 0, 0, slice(image, 0, 8192)}, {4, 0, 16384, slice(image, 16384, 3616)}},
         "5/24/00"},
        {"a piece sent twice", {{4, 0, 0, slice(image, 0, 8192)}, {4, 0, 0x1000, slice(image, 0x1000, 100)}},
         "5/24/00"},
        {"a save that does not repeat the last piece",
         {{4, 0, 0, slice(image, 0, 8192)}, {4, 0, 8192, slice(image, 8192, 8192)}, {4, 0, 16384, slice(image, 16384, 3616)},
          {5, 0, 20000, slice(image, 0, 3616)}},
         "5/26/00"},
        {"a save before the image is complete",
         {{4, 0, 0, slice(image, 0, 8192)}, {5, 0, 8192, slice(image, 0, 0)}}, "5/26/00"},
        {"a header whose length is not the image's",
         {{4, 0, 0, slice(badLength, 0, 8192)}, {4, 0, 8192, slice(badLength, 8192, 8192)},
          {4, 0, 16384, slice(badLength, 16384, 3616)}, {5, 0, 20000, slice(badLength, 16384, 3616)}},
         "5/26/00"},
        {"a revision that is not text", {{5, 0, 0, badRevision}}, "5/26/00"},
        {"an empty image", {{5, 0, 0, {}}}, "5/26/00"},
        {"more than the drive holds", {{4, 0, 0, slice(image, 0, 8192)}, {4, 0, 8192, std::vector<uint8_t>(kMaxFirmwareImage, 0)}},
         "5/24/00"},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            const Answer a = piece(s.mode, s.offset, s.data, s.id);
            if (i + 1 < c.steps.size()) ASSERT_TRUE(a.good()) << i << " " << a.kcq();
            else EXPECT_EQ(a.kcq(), c.sense);
        }
        EXPECT_EQ(revision(), "V100");
        // A refusal abandons the download: it starts again at offset 0.
        EXPECT_EQ(piece(4, 8192, slice(image, 8192, 8192)).kcq(), "5/24/00");
    }
}

TEST_F(VirtualFirmwareTest, AFamily3DriveTakesTheLastPieceWithTheSaveInBuffer3) {
    open(std::string(kQuickRestart) + "byte36 = 0x31\npage_c1 = no\n");
    const auto image = makeFirmwareImage("T311", 16384);
    EXPECT_EQ(piece(4, 0, slice(image, 0, 8192)).kcq(), "5/24/00");  // buffer 00h is not its download buffer
    ASSERT_TRUE(piece(4, 0, slice(image, 0, 8192), 3).good());
    ASSERT_TRUE(piece(5, 8192, slice(image, 8192, 8192), 3).good());
    EXPECT_EQ(revision(), "T311");
    bus->tur();
    // An image of one piece is a single save at offset 0.
    ASSERT_TRUE(piece(5, 0, makeFirmwareImage("T312", 8192), 3).good());
    EXPECT_EQ(revision(), "T312");
}

TEST_F(VirtualFirmwareTest, OffTheBusThenBecomingReady) {
    open("firmware_offline_seconds = 3600\n");
    ASSERT_TRUE(download(makeFirmwareImage("V400", 300)).good());
    for (const auto& cdb : {std::vector<uint8_t>{0x00, 0, 0, 0, 0, 0}, std::vector<uint8_t>{0x12, 0, 0, 0, 36, 0},
                            std::vector<uint8_t>{0x03, 0, 0, 0, 29, 0}}) {
        const Answer a = bus->in(0, cdb, cdb[0] == 0 ? 0 : 36);
        EXPECT_EQ(a.status, srb_status::Error);
        EXPECT_EQ(a.hostStatus, ha_status::SelectionTimeout) << int(cdb[0]);
        EXPECT_TRUE(a.sense.empty());
    }

    transport.reset();
    bus.reset();
    open("cartridge = no\nfirmware_offline_seconds = 0\nfirmware_not_ready_seconds = 3600\n");
    ASSERT_TRUE(download(makeFirmwareImage("V401", 300)).good());
    EXPECT_EQ(revision(), "V401");  // INQUIRY answers while the drive becomes ready
    EXPECT_EQ(bus->tur().kcq(), "6/3F/01");
    EXPECT_EQ(bus->tur().kcq(), "2/04/01");
    EXPECT_EQ(bus->requestSense().data[12], 0x04);
}

TEST(FirmwareDownloadTest, RestartPhasesFollowTheClock) {
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    FirmwareDownload::Setup setup;
    setup.offline = std::chrono::seconds(5);
    setup.notReady = std::chrono::seconds(2);
    FirmwareDownload download(setup, [&] { return now; });
    EXPECT_FALSE(download.offBus());
    EXPECT_FALSE(download.becomingReady());
    const auto image = makeFirmwareImage("V500", 64);
    std::string revision;
    Sense error;
    ASSERT_TRUE(download.write(4, 0, 0, image.data(), 64, revision, error));
    EXPECT_TRUE(revision.empty());
    EXPECT_EQ(download.received(), 64u);
    EXPECT_FALSE(download.offBus());
    ASSERT_TRUE(download.write(5, 0, 64, image.data() + 32, 32, revision, error));
    EXPECT_EQ(revision, "V500");
    EXPECT_EQ(download.received(), 0u);
    struct Moment {
        int seconds;
        bool offBus, becomingReady;
    } moments[] = {{0, true, true}, {4, true, true}, {5, false, true}, {6, false, true}, {7, false, false}};
    const auto saved = now;
    for (const Moment& m : moments) {
        now = saved + std::chrono::seconds(m.seconds);
        EXPECT_EQ(download.offBus(), m.offBus) << m.seconds;
        EXPECT_EQ(download.becomingReady(), m.becomingReady) << m.seconds;
    }
}

TEST_F(VirtualFirmwareTest, ADamagedRevisionFileIsReportedAndIgnored) {
    const auto path = firmwareRevisionPath("VD00000001");
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "V1\x01\x02 and more";
    open();
    EXPECT_EQ(revision(), "V100");
    const auto warnings = virtualTransportWarnings(*transport);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(path.string()), std::string::npos);
}

TEST_F(VirtualFirmwareTest, ModeSenseReportsTheCartridgesMediumType) {
    open();
    EXPECT_EQ(bus->in(0, {0x1A, 0, 0x10, 0, 28, 0}, 28).data[1], 0x87);
    EXPECT_EQ(bus->in(0, {0x5A, 0, 0x10, 0, 0, 0, 0, 0, 32, 0}, 32).data[2], 0x87);
    transport.reset();
    bus.reset();
    open("cartridge = no\n");
    EXPECT_EQ(bus->in(0, {0x1A, 0, 0x10, 0, 28, 0}, 28).data[1], 0x00);
}

TEST(VirtualFirmwareProfileTest, RestartTimesAreTapeKeys) {
    TempRoot root;
    std::string error;
    EXPECT_TRUE(transportFromProfile(root, "[target 0]\nfirmware_offline_seconds = 0\nfirmware_not_ready_seconds = 30\n", &error))
        << error;
    EXPECT_FALSE(transportFromProfile(root, "[target 0]\nfirmware_offline_seconds = 3601\n", &error));
    EXPECT_NE(error.find("firmware_offline_seconds"), std::string::npos) << error;
    EXPECT_FALSE(transportFromProfile(root, "[target 1]\ntype = changer\nfirmware_not_ready_seconds = 1\n", &error));
    EXPECT_NE(error.find("applies only to a tape drive"), std::string::npos) << error;
}

}  // namespace
