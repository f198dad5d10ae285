// The FA dump buffers of the virtual tape drive: their descriptors in each layout, data
// reads at any offset, the text part of the dump, and what is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/test_root.h"
#include "virtual_bus.h"

using vexal::testing::Answer;
using vexal::testing::TempRoot;
using vexal::testing::VirtualBus;

namespace {

std::vector<uint8_t> readBufferCdb(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
    return {0x3C, mode, id, uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset),
            uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0};
}

class VirtualFaDumpTest : public ::testing::Test {
protected:
    void start(const std::string& layout) {
        std::string error;
        auto t = vexal::testing::transportFromProfile(
            root, "[target 0]\ntype = tape\n" + (layout.empty() ? "" : "fa_dump_layout = " + layout + "\n"), &error);
        ASSERT_TRUE(t) << error;
        bus = std::make_unique<VirtualBus>(t);
    }
    Answer read(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
        return bus->in(0, readBufferCdb(mode, id, offset, length), length);
    }
    uint32_t capacity(uint8_t id) {
        const Answer a = read(3, id, 0, 4);
        EXPECT_TRUE(a.good()) << a.kcq();
        EXPECT_EQ(a.data[0], 0);  // any offset
        return (uint32_t{a.data[1]} << 16) | (a.data[2] << 8) | a.data[3];
    }
    std::vector<uint8_t> data(uint8_t id, uint32_t offset, uint32_t length) {
        const Answer a = read(2, id, offset, length);
        EXPECT_TRUE(a.good()) << a.kcq();
        return std::vector<uint8_t>(a.data.begin(), a.data.begin() + a.transferred());
    }
    TempRoot root;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(VirtualFaDumpTest, DescriptorsOfEachLayout) {
    struct Layout {
        std::string name;
        std::vector<std::pair<uint8_t, uint32_t>> capacities;
    } layouts[] = {
        {"", {{0x80, 4096}, {0x81, 4096}, {0x82, 70000}, {0x83, 65536}, {0x84, 4096}, {0x85, 2048},
              {0x86, 16384}, {0x87, 4096}, {0xA0, 0}, {0xA2, 0}}},  // large is the default
        {"small", {{0x80, 0}, {0x81, 0}, {0x82, 0}, {0x87, 0}, {0xA0, 1024}, {0xA2, 36000}}},
        {"none", {{0x81, 0}, {0x82, 0}, {0xA0, 0}, {0xA2, 0}}},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.name);
        start(l.name);
        for (const auto& [id, size] : l.capacities) EXPECT_EQ(capacity(id), size) << int(id);
    }
}

TEST_F(VirtualFaDumpTest, DumpReadsTheSameBytesWholeOrInChunks) {
    start("");
    const auto whole = data(0x82, 0, 70000);
    ASSERT_EQ(whole.size(), 70000u);
    std::vector<uint8_t> chunks;
    for (uint32_t offset : {0u, 32768u, 65536u}) {
        const auto c = data(0x82, offset, 32768);
        chunks.insert(chunks.end(), c.begin(), c.end());
    }
    EXPECT_EQ(chunks, whole);  // the last read is cut at the end of the buffer: 4464 bytes
    EXPECT_EQ(data(0x82, 69999, 10).size(), 1u);
    EXPECT_EQ(data(0x82, 12345, 7), std::vector<uint8_t>(whole.begin() + 12345, whole.begin() + 12352));
    start("");  // another transport of the same drive: the same dump
    EXPECT_EQ(data(0x82, 0, 70000), whole);
}

TEST_F(VirtualFaDumpTest, DumpHoldsATextPartThatStartsWithTheConfiguration) {
    for (const auto& [layout, id, size] : {std::tuple{"large", 0x82, 70000u}, std::tuple{"small", 0xA2, 36000u}}) {
        SCOPED_TRACE(layout);
        start(layout);
        const auto d = data(static_cast<uint8_t>(id), 0, size);
        const std::string s(d.begin(), d.end());
        const auto text = s.find("-- c");
        ASSERT_NE(text, std::string::npos);
        const auto end = std::find_if(d.begin() + static_cast<std::ptrdiff_t>(text), d.end(),
                                      [](uint8_t b) { return b == 0 || b > 126; });
        const std::string part(d.begin() + static_cast<std::ptrdiff_t>(text), end);
        EXPECT_EQ(part.rfind("-- configuration --\n", 0), 0u);
        EXPECT_NE(part.find("Serial number          : VD00000001\n"), std::string::npos);
        EXPECT_NE(part.find(std::string("Dump layout            : ") + layout), std::string::npos);
        EXPECT_NE(part.find("\n-- error log --\n"), std::string::npos);
        EXPECT_EQ(part.substr(part.size() - 18), "-- end of text --\n");
        EXPECT_EQ(s.compare(0, 4, "KVFA"), 0);
    }
}

TEST_F(VirtualFaDumpTest, DirectoryListsTheBuffers) {
    start("");
    const auto dir = data(0x80, 0, 4096);
    EXPECT_EQ(std::string(dir.begin(), dir.begin() + 4), "KVFD");
    EXPECT_EQ(dir[5], 'L');
    EXPECT_EQ((dir[6] << 8) | dir[7], 8);
    // The entry of 82h: ID, capacity 70000, name.
    EXPECT_EQ(dir[64 + 2 * 16], 0x82);
    EXPECT_EQ(std::vector<uint8_t>(dir.begin() + 100, dir.begin() + 104), (std::vector<uint8_t>{0, 1, 0x11, 0x70}));
    EXPECT_EQ(std::string(dir.begin() + 104, dir.begin() + 112), "FADUMP  ");
}

TEST_F(VirtualFaDumpTest, RefusedReads) {
    start("");
    const struct {
        std::vector<uint8_t> cdb;
        const char* kcq;
    } cases[] = {
        {readBufferCdb(2, 0x82, 70000, 10), "5/24/00"},   // offset at the end
        {readBufferCdb(0, 0x82, 0, 10), "5/24/00"},       // header and data is buffer 0's only
        {readBufferCdb(2, 0xA2, 0, 10), "5/24/00"},       // the other layout's buffer
        {readBufferCdb(0x0A, 0x82, 0, 10), "5/24/00"},
        {{0x3B, 2, 0x82, 0, 0, 0, 0, 0, 4, 0}, "5/24/00"},  // WRITE BUFFER: read only
    };
    for (const auto& c : cases) {
        const Answer a = c.cdb[0] == 0x3B ? bus->out(0, c.cdb, {1, 2, 3, 4}) : bus->in(0, c.cdb, 16);
        EXPECT_EQ(a.kcq(), c.kcq) << int(c.cdb[1]) << " " << int(c.cdb[2]);
    }
    EXPECT_EQ(data(0x82, 0, 0).size(), 0u);  // an allocation length of 0 moves nothing
}

TEST_F(VirtualFaDumpTest, LayoutKeyIsCheckedAndTapeOnly) {
    for (const char* text : {"[target 0]\nfa_dump_layout = medium\n", "[target 1]\ntype = changer\nfa_dump_layout = small\n"}) {
        std::string error;
        EXPECT_FALSE(vexal::testing::transportFromProfile(root, text, &error)) << text;
        EXPECT_NE(error.find("fa_dump_layout"), std::string::npos) << error;
    }
    std::string error;
    EXPECT_TRUE(vexal::testing::transportFromProfile(root, "[target 0]\nfa_dump_layout = SMALL\n", &error)) << error;
}

}  // namespace
