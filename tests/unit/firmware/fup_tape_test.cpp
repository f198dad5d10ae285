// Write FUP Tape: on the virtual drive (the commands it received, the tape it holds
// afterwards), and on a scripted drive for the medium types and compression states the
// virtual drive does not report.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>

#include "device/drive_family.h"
#include "firmware/firmware_commands.h"
#include "firmware/firmware_messages.h"
#include "firmware_bench.h"
#include "support/fake_transport.h"

using namespace vexal::firmware;
using vexal::ui::Button;
using vexal::ui::Icon;
using vexal::testing::FakeOperator;
using vexal::testing::FakeTransport;
using vexal::testing::FirmwareBench;

namespace {

std::vector<uint8_t> imageBytes(size_t length) {
    std::vector<uint8_t> v(length);
    for (size_t i = 0; i < length; ++i) v[i] = static_cast<uint8_t>(i * 7 + (i >> 10));
    return v;
}

std::vector<uint8_t> readBlock(vexal::command::CScsiDevice& d, uint32_t length, vexal::command::ScsiResult& result) {
    std::vector<uint8_t> data(length);
    const uint8_t cdb[6] = {0x08, 0, uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0};
    result = d.ExecuteCdb(cdb, 6, data.data(), length, false);
    return data;
}

const std::string kGood = "GOOD 0 none";

TEST(FupTapeTest, TheImageGoesToTapeUncompressedInItsDensity) {
    FirmwareBench b("");  // the default drive: a cartridge, compression on
    const auto content = imageBytes(10000);
    const std::string image = b.file("fup.img", content);
    auto c = b.tapeContext();
    ASSERT_EQ(WriteFupTapeCommand(c, image), TapeOutcome::Done);
    EXPECT_EQ(b.op.messages(),
              (std::vector<std::string>{std::string(kTapeOverwriteQuestion), std::string(kTapeComplete)}));
    EXPECT_EQ(b.op.calls.front().icon, Icon::Stop);
    EXPECT_EQ(b.op.calls.back().icon, Icon::Information);
    EXPECT_EQ(b.trace(), (std::vector<std::string>{
                             "00 00 00 00 00 00 -> " + kGood,
                             "00 00 00 00 00 00 -> " + kGood,
                             "00 00 00 00 00 00 -> " + kGood,
                             "01 00 00 00 00 00 -> " + kGood,
                             "1A 00 10 00 1C 00 -> GOOD 28 in",
                             "15 10 00 00 1C 00 -> GOOD 28 out",
                             "1A 08 0F 00 14 00 -> GOOD 20 in",
                             "15 10 00 00 14 00 -> GOOD 20 out",
                             "0A 00 00 10 00 00 -> GOOD 4096 out",
                             "0A 00 00 10 00 00 -> GOOD 4096 out",
                             "0A 00 00 07 10 00 -> GOOD 1808 out",
                             "01 00 00 00 00 00 -> " + kGood,
                         }));

    // The tape holds the image's bytes in three blocks, and compression stays off.
    std::vector<uint8_t> back;
    for (uint32_t length : {4096u, 4096u, 1808u}) {
        vexal::command::ScsiResult result = -1;
        const auto block = readBlock(b.device, length, result);
        ASSERT_EQ(result, 0);
        back.insert(back.end(), block.begin(), block.end());
    }
    EXPECT_EQ(back, content);
    std::vector<uint8_t> page(20);
    const uint8_t sense[6] = {0x1A, 0x08, 0x0F, 0, 20, 0};
    ASSERT_EQ(b.device.ExecuteCdb(sense, 6, page.data(), 20, false), 0);
    EXPECT_EQ(page[6], 0x40);
}

TEST(FupTapeTest, AnImageOfWholeBlocksAndCompressionAlreadyOff) {
    FirmwareBench b("");
    const uint8_t off[20] = {0, 0, 0x10, 0, 0x0F, 14, 0x40, 0x80, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0};
    std::vector<uint8_t> select(off, off + 20);
    const uint8_t cdb[6] = {0x15, 0x10, 0, 0, 20, 0};
    ASSERT_EQ(b.device.ExecuteCdb(cdb, 6, select.data(), 20, true), 0);
    b.mark();
    auto c = b.tapeContext();
    ASSERT_EQ(WriteFupTape(c, b.file("fup.img", imageBytes(8192))), TapeOutcome::Done);
    const auto selects = b.trace("15");
    ASSERT_EQ(selects.size(), 1u);  // the density only
    EXPECT_EQ(selects[0], "15 10 00 00 1C 00 -> GOOD 28 out");
    EXPECT_EQ(b.trace("0A"), (std::vector<std::string>(2, "0A 00 00 10 00 00 -> GOOD 4096 out")));
}

TEST(FupTapeTest, FamiliesThatCannotLoadAFupTape) {
    for (uint8_t family : {0, 1, 3, 254, 255, 5, 7, 8, 10, 11, 12}) {
        SCOPED_TRACE(int(family));
        const bool refused = family <= 3 || family >= 254;
        for (bool wizard : {false, true}) {
            FirmwareBench b("");
            b.device.familyCode = family;
            b.op.buttons = {Button::Cancel};
            auto c = b.tapeContext(wizard);
            const TapeOutcome outcome = WriteFupTapeCommand(c, b.file("fup.img", imageBytes(100)));
            if (refused && !wizard) {
                EXPECT_EQ(outcome, TapeOutcome::NotSupported);
                EXPECT_EQ(b.op.messages(),
                          (std::vector<std::string>{
                              "You cannot access this device.  It does not appear to be a supported tape drive.  "
                              "This command supports KTX/SKTX tape drives only.  If you feel you have received this "
                              "message in error please verify that your device manager reports all of your tape "
                              "drives correctly, then rescan the SCSI bus or stop and restart the application."}));
                EXPECT_EQ(b.op.calls[0].icon, Icon::Exclamation);
            } else {
                // Declining the overwrite ends it without another word and without a command.
                EXPECT_EQ(outcome, TapeOutcome::Declined);
                EXPECT_EQ(b.op.messages(), (std::vector<std::string>{std::string(kTapeOverwriteQuestion)}));
            }
            EXPECT_TRUE(b.trace().empty());
        }
    }
}

TEST(FupTapeTest, WhatEndsItBeforeTheTapeIsWritten) {
    struct Case {
        const char* name;
        std::string section;
        const char* image;  // "good", "missing", "" (none chosen)
        std::vector<std::string_view> messages;  // after the overwrite question
    } cases[] = {
        {"no image chosen", "", "", {kTapeNotComplete}},
        {"an image that does not open", "", "missing", {kTapeCancelled, kTapeNotComplete}},
        {"no cartridge", "cartridge = no\n", "good", {kUnknownMedia, kTapeNotComplete}},
        {"a write-protected cartridge", "write_protect = yes\n", "good", {kErrorWritingTape, kTapeNotComplete}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        FirmwareBench b(k.section);
        if (std::string_view(k.image) == "good") b.op.texts.push_back(b.file("fup.img", imageBytes(5000)));
        if (std::string_view(k.image) == "missing") b.op.texts.push_back((b.root.path() / "none.img").string());
        auto c = b.tapeContext();
        EXPECT_EQ(WriteFupTapeCommand(c), TapeOutcome::Failed);
        std::vector<std::string> expected{std::string(kTapeOverwriteQuestion)};
        expected.insert(expected.end(), k.messages.begin(), k.messages.end());
        EXPECT_EQ(b.op.messages(), expected);
        EXPECT_EQ(b.op.calls.back().icon, Icon::Information);
        EXPECT_EQ(b.trace("0A").size(), std::string_view(k.name) == "a write-protected cartridge" ? 1u : 0u);
    }
}

// A drive on the fake transport whose MODE SENSE answers are made by hand.
class ScriptedDrive {
public:
    ScriptedDrive(uint8_t mediumType, uint8_t compressionByte)
        : transport(std::make_shared<FakeTransport>()), output(true), device(output) {
        transport->devices[{0, 0, 0}] = [this, mediumType, compressionByte](vexal::device::RequestBlock& srb) {
            const uint8_t op = srb.cdb[0];
            if (op == 0x12) return FakeTransport::inquiryDevice(0x01)(srb);
            if (op == 0x1A && srb.buffer) {
                std::vector<uint8_t> data(srb.bufferLength, 0);
                if (srb.cdb[2] == 0x10 && data.size() >= 28) {
                    data = {27, mediumType, 0x10, 8, 0x42, 0, 0, 0, 0, 0, 0, 0, 0x10, 14};
                    data.resize(28, 0);
                } else if (srb.cdb[2] == 0x0F && data.size() >= 20) {
                    data = {19, mediumType, 0x10, 0, 0x0F, 14, compressionByte, 0x80};
                    data.resize(20, 0);
                }
                std::copy(data.begin(), data.end(), srb.buffer);
            }
            if (op == 0x15 && srb.buffer) selects.emplace_back(srb.buffer, srb.buffer + srb.bufferLength);
            srb.status.store(vexal::device::srb_status::Complete);
        };
        vexal::device::DevSetTransport(transport);
        vexal::device::DevEnumerate();
        device.Select(0);
        device.familyCode = 10;
    }
    ~ScriptedDrive() {
        vexal::device::DevFreeList();
        vexal::device::DevSetTransport(nullptr);
    }
    std::vector<uint8_t> writeLengths() const {
        std::vector<uint8_t> out;
        for (const auto& cdb : transport->cdbs)
            if (cdb[0] == 0x0A) out.push_back(cdb[3]);
        return out;
    }

    std::shared_ptr<FakeTransport> transport;
    vexal::testing::RecordingOutput output;
    vexal::command::CScsiDevice device;
    std::vector<std::vector<uint8_t>> selects;
};

TEST(FupTapeTest, MediumTypesAndCompressionStates) {
    vexal::testing::TempRoot root;
    const std::string image = (root.path() / "fup.img").string();
    {
        const auto bytes = imageBytes(4100);
        std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 4100);
    }
    struct Case {
        uint8_t mediumType;
        uint8_t compression;
        std::string_view message;  // empty: written
        int density;               // -1: no MODE SELECT of the density
        bool compressionSelect;
    } cases[] = {
        {0x85, 0x40, {}, 0x1A, false},
        {0x86, 0xC0, {}, 0x48, true},
        {0x87, 0x40, {}, 0x4A, false},
        {0x00, 0x40, kUnknownMedia, -1, false},
        {0x81, 0x40, kCleaningTape, -1, false},
        {0x88, 0x40, kUnknownDensity, -1, false},
        {0x87, 0x80, kUnknownCompression, 0x4A, false},
        {0x87, 0x00, kUnknownCompression, 0x4A, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(fmt::format("medium type {:02X}, compression byte {:02X}", k.mediumType, k.compression));
        ScriptedDrive drive(k.mediumType, k.compression);
        FakeOperator op;
        FupTapeContext c{drive.device, op, false};
        const TapeOutcome outcome = WriteFupTapeCommand(c, image);
        const auto shown = op.messages();
        ASSERT_GE(shown.size(), 2u);
        if (k.message.empty()) {
            EXPECT_EQ(outcome, TapeOutcome::Done);
            EXPECT_EQ(shown.back(), kTapeComplete);
            EXPECT_EQ(drive.writeLengths(), (std::vector<uint8_t>{0x10, 0x00}));  // 4096 and 4 bytes
        } else {
            EXPECT_EQ(outcome, TapeOutcome::Failed);
            EXPECT_EQ(shown[shown.size() - 2], k.message);
            EXPECT_TRUE(drive.writeLengths().empty());
        }
        size_t next = 0;
        if (k.density >= 0) {
            ASSERT_GT(drive.selects.size(), next);
            const auto& s = drive.selects[next++];
            ASSERT_EQ(s.size(), 28u);
            EXPECT_EQ(s[0], 0);  // mode data length cleared
            EXPECT_EQ(s[4], k.density);
            EXPECT_EQ(s[12], 0x10);  // the page goes back as it came
        }
        if (k.compressionSelect) {
            ASSERT_GT(drive.selects.size(), next);
            const auto& s = drive.selects[next++];
            ASSERT_EQ(s.size(), 20u);
            EXPECT_EQ(s[0], 0);
            EXPECT_EQ(s[6], 0x40);
        }
        EXPECT_EQ(drive.selects.size(), next);
    }
}

TEST(FupTapeCommandTest, ExitStatuses) {
    FirmwareBench b("");
    auto c = b.tapeContext();
    std::ostringstream err;
    EXPECT_EQ(FupTapeCommand(c, (b.root.path() / "none.img").string(), err), 2);
    EXPECT_FALSE(err.str().empty());
    EXPECT_EQ(FupTapeCommand(c, b.file("fup.img", imageBytes(300)), err), 0);
    b.device.familyCode = 3;
    EXPECT_EQ(FupTapeCommand(c, b.file("fup.img", imageBytes(300)), err), 3);
}

}  // namespace
