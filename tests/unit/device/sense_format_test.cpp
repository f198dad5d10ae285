// The sense reader: the same condition in fixed and in descriptor format gives the same
// fields, and no byte beyond what the device returned is read.
#include "device/sense_format.h"

#include <gtest/gtest.h>

#include <vector>

using vexal::device::parseSense;
using vexal::device::SenseFields;

namespace {

using Bytes = std::vector<uint8_t>;
using Format = SenseFields::Format;

struct Expected {
    uint8_t key, asc, ascq;
    bool filemark, eom, ili;
    bool informationValid;
    int64_t information;
};

void expectFields(const SenseFields& f, const Expected& e) {
    EXPECT_EQ(f.key, e.key);
    EXPECT_EQ(f.asc, e.asc);
    EXPECT_EQ(f.ascq, e.ascq);
    EXPECT_EQ(f.filemark, e.filemark);
    EXPECT_EQ(f.eom, e.eom);
    EXPECT_EQ(f.ili, e.ili);
    EXPECT_EQ(f.informationValid, e.informationValid);
    if (e.informationValid) EXPECT_EQ(f.signedInformation(), e.information);
}

TEST(SenseFormat, FixedAndDescriptorFormatsOfOneConditionDecodeAlike) {
    const struct Case {
        const char* name;
        Bytes fixed;
        Bytes descriptor;
        Expected expected;
    } cases[] = {
        {"not ready, initializing command required",
         {0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x04, 0x02, 0, 0, 0, 0},
         {0x72, 0x02, 0x04, 0x02, 0, 0, 0, 0},
         {2, 0x04, 0x02, false, false, false, false, 0}},
        {"filemark with a residue of 3 blocks",
         {0xF0, 0, 0x80, 0, 0, 0, 3, 0x0A, 0, 0, 0, 0, 0x00, 0x01, 0, 0, 0, 0},
         {0x72, 0x00, 0x00, 0x01, 0, 0, 0, 0x10,
          0x00, 0x0A, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 3,  // information
          0x04, 0x02, 0x00, 0x80},                      // stream commands: FILEMARK
         {0, 0x00, 0x01, true, false, false, true, 3}},
        {"block longer than asked: ILI, negative residue",
         {0xF0, 0, 0x20, 0xFF, 0xFF, 0xFF, 0xFC, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {0x72, 0x00, 0x00, 0x00, 0, 0, 0, 0x10,
          0x04, 0x02, 0x00, 0x20,  // stream commands first: order does not matter
          0x00, 0x0A, 0x80, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC},
         {0, 0x00, 0x00, false, false, true, true, -4}},
        {"volume overflow at early warning",
         {0x70, 0, 0x4D, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x00, 0x02, 0, 0, 0, 0},
         {0x72, 0x0D, 0x00, 0x02, 0, 0, 0, 0x04, 0x04, 0x02, 0x00, 0x40},
         {0x0D, 0x00, 0x02, false, true, false, false, 0}},
        {"illegal request with a field pointer (sense-key specific descriptor skipped)",
         {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00, 0, 0xC0, 0, 1},
         {0x72, 0x05, 0x24, 0x00, 0, 0, 0, 0x08, 0x02, 0x06, 0, 0, 0xC0, 0, 1, 0},
         {5, 0x24, 0x00, false, false, false, false, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SenseFields fixed = parseSense(c.fixed);
        const SenseFields descriptor = parseSense(c.descriptor);
        EXPECT_EQ(fixed.format, Format::Fixed);
        EXPECT_EQ(descriptor.format, Format::Descriptor);
        expectFields(fixed, c.expected);
        expectFields(descriptor, c.expected);
    }
}

TEST(SenseFormat, ResponseCodesAndDeferredErrors) {
    const struct {
        uint8_t byte0;
        Format format;
        bool deferred;
    } cases[] = {
        {0x70, Format::Fixed, false},      {0xF1, Format::Fixed, true},
        {0x72, Format::Descriptor, false}, {0x73, Format::Descriptor, true},
        {0x7F, Format::None, false},       {0x00, Format::None, false},
    };
    for (const auto& c : cases) {
        const SenseFields f = parseSense(Bytes{c.byte0, 0x06, 0x29, 0x00, 0, 0, 0, 0});
        EXPECT_EQ(f.format, c.format) << int(c.byte0);
        EXPECT_EQ(f.deferred, c.deferred) << int(c.byte0);
        EXPECT_EQ(f.responseCode, c.byte0 & 0x7F);
    }
    EXPECT_FALSE(parseSense({}).present());
}

TEST(SenseFormat, ReadsOnlyTheBytesReceivedAndTheDescriptorsDeclared) {
    // Descriptor sense cut after the key: ASC and ASCQ were not sent.
    EXPECT_EQ(parseSense(Bytes{0x72, 0x02}).asc, 0);

    // The information descriptor lies beyond the additional length (4): not read.
    const Bytes beyondLength = {0x72, 0x00, 0x00, 0x01, 0, 0, 0, 0x04, 0x04, 0x02, 0x00, 0x80,
                                0x00, 0x0A, 0x80, 0,    0, 0, 0, 0,    0,    0,    0,    9};
    SenseFields f = parseSense(beyondLength);
    EXPECT_TRUE(f.filemark);
    EXPECT_FALSE(f.informationValid);

    // A descriptor whose length runs past the bytes received is ignored, and the walk ends.
    const Bytes cutDescriptor = {0x72, 0x00, 0x00, 0x00, 0, 0, 0, 0x10, 0x00, 0x0A, 0x80, 0, 0, 0};
    f = parseSense(cutDescriptor);
    EXPECT_FALSE(f.informationValid);

    // A stream descriptor too short to hold its flags byte.
    f = parseSense(Bytes{0x72, 0x00, 0x00, 0x00, 0, 0, 0, 0x02, 0x04, 0x00});
    EXPECT_FALSE(f.filemark || f.eom || f.ili);

    // Fixed format: fields past the end read as zero, and INFORMATION needs all its bytes.
    f = parseSense(Bytes{0xF0, 0x00, 0x83, 0x00, 0x00});
    EXPECT_EQ(f.key, 3);
    EXPECT_TRUE(f.filemark);
    EXPECT_EQ(f.asc, 0);
    EXPECT_FALSE(f.informationValid);
}

}  // namespace
