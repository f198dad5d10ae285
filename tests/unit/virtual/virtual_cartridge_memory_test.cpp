// The virtual drive's cartridge memory (READ and WRITE ATTRIBUTE, its profile keys and its
// file) and its EEPROM parameter page (mode page 3Eh).
#include <gtest/gtest.h>

#include <map>

#include "device/virtual/cartridge_memory.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::TempRoot;
using vexal::testing::VirtualBus;

namespace {

struct Attribute {
    uint8_t flags = 0;  // read-only bit and format
    std::vector<uint8_t> value;
};

// The attributes of an ATTRIBUTE VALUES reply, by identifier; false when it is malformed.
bool parseValues(const Answer& a, std::map<uint16_t, Attribute>& out, std::vector<uint16_t>* order = nullptr) {
    if (a.data.size() < 4) return false;
    const size_t length = (size_t{a.data[0]} << 24) | (a.data[1] << 16) | (a.data[2] << 8) | a.data[3];
    if (length + 4 > a.transferred()) return false;
    size_t at = 4;
    while (at < length + 4) {
        if (at + 5 > length + 4) return false;
        const uint16_t id = static_cast<uint16_t>((a.data[at] << 8) | a.data[at + 1]);
        const size_t n = (size_t{a.data[at + 3]} << 8) | a.data[at + 4];
        if (at + 5 + n > length + 4) return false;
        out[id] = {a.data[at + 2], std::vector<uint8_t>(a.data.begin() + at + 5, a.data.begin() + at + 5 + n)};
        if (order) order->push_back(id);
        at += 5 + n;
    }
    return true;
}

uint64_t number(const std::vector<uint8_t>& v) {
    uint64_t n = 0;
    for (uint8_t b : v) n = (n << 8) | b;
    return n;
}

std::string text(const std::vector<uint8_t>& v) {
    std::string s(v.begin(), v.end());
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

std::vector<uint8_t> attributeList(std::vector<std::tuple<uint16_t, uint8_t, std::string>> items) {
    std::vector<uint8_t> body;
    for (const auto& [id, format, value] : items) {
        body.insert(body.end(), {uint8_t(id >> 8), uint8_t(id), format, uint8_t(value.size() >> 8),
                                 uint8_t(value.size())});
        body.insert(body.end(), value.begin(), value.end());
    }
    const auto n = static_cast<uint32_t>(body.size());
    std::vector<uint8_t> list{uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    list.insert(list.end(), body.begin(), body.end());
    return list;
}

class CartridgeMemoryTest : public ::testing::Test {
protected:
    void start(const std::string& profile = "") {
        bus.reset();
        std::string error;
        auto transport = profile.empty() ? makeVirtualTransport("", error)
                                         : vexal::testing::transportFromProfile(root, profile, &error);
        ASSERT_TRUE(transport) << error;
        bus = std::make_unique<VirtualBus>(transport);
    }
    Answer readAttributes(uint8_t serviceAction = 0, uint16_t first = 0, uint32_t allocation = 8192) {
        return bus->in(0, {0x8C, serviceAction, 0, 0, 0, 0, 0, 0, uint8_t(first >> 8), uint8_t(first),
                           uint8_t(allocation >> 24), uint8_t(allocation >> 16), uint8_t(allocation >> 8),
                           uint8_t(allocation), 0, 0},
                       allocation);
    }
    std::map<uint16_t, Attribute> values() {
        std::map<uint16_t, Attribute> out;
        const Answer a = readAttributes();
        EXPECT_EQ(a.kcq(), "GOOD");
        EXPECT_TRUE(parseValues(a, out));
        return out;
    }
    Answer writeAttributes(const std::vector<uint8_t>& list) {
        const auto n = static_cast<uint32_t>(list.size());
        return bus->out(0, {0x8D, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8),
                            uint8_t(n), 0, 0},
                        list);
    }
    Answer reload() {
        EXPECT_EQ(bus->none(0, {0x1B, 0, 0, 0, 0, 0}).kcq(), "GOOD");
        return bus->none(0, {0x1B, 0, 0, 0, 1, 0});
    }
    TempRoot root;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(CartridgeMemoryTest, EveryAttributeInOrderWithItsFormatAndAccess) {
    start();
    std::map<uint16_t, Attribute> all;
    std::vector<uint16_t> order;
    ASSERT_TRUE(parseValues(readAttributes(), all, &order));
    ASSERT_EQ(all.size(), virt::mamDefinitions().size());
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    for (const virt::MamDefinition& def : virt::mamDefinitions()) {
        const Attribute& a = all[def.id];
        EXPECT_EQ(a.value.size(), def.length) << std::hex << def.id;
        EXPECT_EQ(a.flags & 0x03, static_cast<uint8_t>(def.format)) << std::hex << def.id;
        EXPECT_EQ((a.flags & 0x80) != 0, !(def.id >= 0x0800 && def.id < 0x0C00)) << std::hex << def.id;
    }
    EXPECT_EQ(number(all[0x0001].value), 256u);  // MiB
    EXPECT_EQ(number(all[0x0000].value), 256u);  // a blank tape
    EXPECT_EQ(number(all[0x0003].value), 1u);
    EXPECT_EQ(text(all[0x020A].value), "VD00000001");
    EXPECT_EQ(number(all[0x0407].value), 16384u);
    EXPECT_EQ(number(all[0x0408].value), 0u);  // data medium

    // From a first attribute upwards; a missing one answers with the next.
    std::map<uint16_t, Attribute> from;
    std::vector<uint16_t> fromOrder;
    ASSERT_TRUE(parseValues(readAttributes(0, 0x0008), from, &fromOrder));
    EXPECT_EQ(fromOrder.front(), 0x020A);
    // A short allocation carries the available length and what fits.
    const Answer cut = readAttributes(0, 0x0003, 17);
    EXPECT_EQ(cut.kcq(), "GOOD");
    EXPECT_EQ(cut.transferred(), 17u);
    EXPECT_GT(number({cut.data.begin(), cut.data.begin() + 4}), 13u);
    EXPECT_EQ(cut.data[5], 0x03);

    // The other service actions.
    const Answer list = readAttributes(0x01);
    EXPECT_EQ(number({list.data.begin(), list.data.begin() + 4}), 2 * all.size());
    EXPECT_EQ(readAttributes(0x02).data[3], 1);
    EXPECT_EQ(readAttributes(0x03).data[3], 1);
    EXPECT_EQ(readAttributes(0x05).kcq(), "GOOD");
    EXPECT_EQ(readAttributes(0x04).kcq(), "5/24/00");
    EXPECT_EQ(bus->in(0, {0x8C, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, 256).kcq(), "5/24/00");  // volume 1
}

TEST_F(CartridgeMemoryTest, LoadsMegabytesAndTheDriveHistory) {
    start();
    // 2 MiB written, 1 MiB read back.
    const std::vector<uint8_t> block = vexal::testing::pattern(65536);
    for (int i = 0; i < 32; ++i) ASSERT_EQ(bus->writeVariable(block).kcq(), "GOOD");
    ASSERT_EQ(bus->rewind().kcq(), "GOOD");
    for (int i = 0; i < 16; ++i) ASSERT_EQ(bus->readVariable(65536).kcq(), "GOOD");
    auto v = values();
    EXPECT_EQ(number(v[0x0222].value), 2u);
    EXPECT_EQ(number(v[0x0223].value), 1u);
    EXPECT_EQ(number(v[0x0220].value), 2u);
    EXPECT_EQ(number(v[0x0000].value), 254u);
    ASSERT_EQ(v[0x0340].value.size(), 90u);
    EXPECT_EQ(number({v[0x0340].value.begin(), v[0x0340].value.begin() + 6}), 2u);

    ASSERT_EQ(reload().kcq(), "GOOD");
    v = values();
    EXPECT_EQ(number(v[0x0003].value), 2u);
    EXPECT_EQ(number(v[0x0222].value), 0u);  // a new load
    EXPECT_EQ(number(v[0x0220].value), 2u);
    EXPECT_EQ(text(v[0x020B].value), "VD00000001");  // the history rolls
    const auto& usage = v[0x0340].value;
    EXPECT_EQ(number({usage.begin() + 24, usage.begin() + 30}), 2u);  // previous amount written
    EXPECT_EQ(number({usage.begin() + 72, usage.begin() + 78}), 2u);  // load count

    // Kept with the cartridge for the next run.
    start();
    EXPECT_EQ(number(values()[0x0003].value), 2u);
}

TEST_F(CartridgeMemoryTest, HostAttributesAreWrittenAndKept) {
    start();
    ASSERT_EQ(writeAttributes(attributeList({{0x0806, 1, "BARCODE1"}, {0x0808, 3, "Pool A"}})).kcq(), "GOOD");
    auto v = values();
    EXPECT_EQ(v[0x0806].value.size(), 32u);
    EXPECT_EQ(text(v[0x0806].value), "BARCODE1");
    EXPECT_EQ(text(v[0x0808].value), "Pool A");
    // Length 0 deletes an attribute.
    ASSERT_EQ(writeAttributes(attributeList({{0x0807, 3, ""}})).kcq(), "GOOD");
    EXPECT_EQ(values().count(0x0807), 0u);
    start();
    v = values();
    EXPECT_EQ(text(v[0x0806].value), "BARCODE1");
    EXPECT_EQ(v.count(0x0807), 0u);
}

TEST_F(CartridgeMemoryTest, BadWritesChangeNothing) {
    start();
    const struct {
        const char* name;
        std::vector<uint8_t> list;
        const char* kcq;
    } cases[] = {
        {"read-only device attribute", attributeList({{0x0806, 1, "NEW"}, {0x0003, 0, std::string(8, '\0')}}),
         "5/26/00"},
        {"vendor attribute", attributeList({{0x0C04, 0, std::string(1, '\x11')}}), "5/26/00"},
        {"unknown attribute", attributeList({{0x0900, 1, "X"}}), "5/26/00"},
        {"wrong format", attributeList({{0x0806, 0, "NEW"}}), "5/26/00"},
        {"too long", attributeList({{0x0802, 1, "123456789"}}), "5/26/00"},
        {"binary of the wrong length", attributeList({{0x0805, 0, std::string(1, '\0')}}), "5/26/00"},
        {"not ASCII", attributeList({{0x0806, 1, "A\x01"}}), "5/26/00"},
        {"data length past the list", {0, 0, 1, 0, 0x08, 0x06, 1, 0, 1, 'A'}, "5/1A/00"},
        {"value past the data", {0, 0, 0, 6, 0x08, 0x06, 1, 0, 9, 'A'}, "5/1A/00"},
    };
    for (const auto& c : cases) EXPECT_EQ(writeAttributes(c.list).kcq(), c.kcq) << c.name;
    EXPECT_EQ(text(values()[0x0806].value), "VXVD00000001");
}

TEST_F(CartridgeMemoryTest, WithoutACartridgeNotReady) {
    start("[target 0]\ntype = tape\ncartridge = no\n");
    EXPECT_EQ(readAttributes().kcq(), "2/3A/00");
    EXPECT_EQ(writeAttributes(attributeList({{0x0806, 1, "X"}})).kcq(), "2/3A/00");
}

TEST_F(CartridgeMemoryTest, WriteProtectedCartridge) {
    start("[target 0]\ntype = tape\nwrite_protect = yes\n");
    EXPECT_EQ(writeAttributes(attributeList({{0x0806, 1, "X"}})).kcq(), "7/27/00");
    EXPECT_EQ(number(values()[0x0C04].value), 0x01u);  // software write protect
}

TEST_F(CartridgeMemoryTest, ProfileValuesApplyOverTheFile) {
    start("[target 0]\ntype = tape\nmam_load_count = 4999\nmam_barcode = \"ABC 12\"\nmam_control_flags = 0x11\n"
          "mam_medium_type = 0x80\nmam_mbytes_written_life = 7\nmam_critical_control_data = 00000005\n");
    auto v = values();
    EXPECT_EQ(number(v[0x0003].value), 4999u);
    EXPECT_EQ(text(v[0x0806].value), "ABC 12");
    EXPECT_EQ(number(v[0x0C04].value), 0x11u);
    EXPECT_EQ(number(v[0x0408].value), 0x80u);
    EXPECT_EQ(number(v[0x0220].value), 7u);
    EXPECT_EQ(v[0x0C00].value[3], 5);

    // The 5000th load reaches the default threshold (50 hundreds): Tape Alert flag 7.
    EXPECT_EQ(v[0x0002].value[0], 0x00);
    ASSERT_EQ(reload().kcq(), "GOOD");
    v = values();
    EXPECT_EQ(number(v[0x0003].value), 5000u);
    EXPECT_EQ(v[0x0002].value[0], 0x02);

    for (const char* bad : {"mam_load_count = -1", "mam_control_flags = 256", "mam_barcode = \"" 
                            "123456789012345678901234567890123\"",
                            "mam_remaining_capacity = 5", "mam_critical_control_data = 0G"}) {
        std::string error;
        EXPECT_FALSE(vexal::testing::transportFromProfile(root, std::string("[target 0]\ntype = tape\n") + bad, &error))
            << bad;
        EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    }
}

TEST_F(CartridgeMemoryTest, ADamagedFileGivesANewMemory) {
    start();
    ASSERT_EQ(writeAttributes(attributeList({{0x0806, 1, "KEEP"}})).kcq(), "GOOD");
    bus.reset();
    const auto file = root.path() / "data/Korvane/Vexal/Virtual/VD00000001.vmam";
    ASSERT_TRUE(std::filesystem::exists(file));
    std::ofstream(file, std::ios::app) << "0806=ZZ\n";
    start();
    EXPECT_EQ(text(values()[0x0806].value), "VXVD00000001");
}

class EepromPageTest : public CartridgeMemoryTest {
protected:
    std::string pageText(const Answer& a, size_t header) {
        const size_t descriptors = header == 8 ? ((a.data[6] << 8) | a.data[7]) : a.data[3];
        const size_t at = header + descriptors + 2;
        return std::string(a.data.begin() + at, a.data.begin() + a.transferred());
    }
    Answer select6(const std::string& text) {
        std::vector<uint8_t> list{0, 0, 0x10, 0, 0x3E, uint8_t(text.size() + 1)};
        list.insert(list.end(), text.begin(), text.end());
        list.push_back(0);
        return bus->out(0, {0x15, 0x10, 0, 0, uint8_t(list.size()), 0}, list);
    }
};

TEST_F(EepromPageTest, SenseSelectAndKeep) {
    start();
    Answer a = bus->in(0, {0x5A, 0, 0x3E, 0, 0, 0, 0, 0x04, 0, 0}, 1024);
    ASSERT_EQ(a.kcq(), "GOOD");
    const size_t length = ((a.data[0] << 8) | a.data[1]) + 2;
    EXPECT_EQ(length, a.transferred());
    EXPECT_EQ(a.data[7], 8);  // one block descriptor
    EXPECT_EQ(a.data[16], 0x3E);
    std::string text = pageText(a, 8);
    EXPECT_NE(text.find("\nKorvLoadCountThresh 50 50 2 50\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nKorvCleanNotify b 1 1 0 1\n"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\0');

    ASSERT_EQ(select6("KorvLoadCountThresh 20").kcq(), "GOOD");
    const struct {
        const char* text;
        const char* kcq;
    } bad[] = {{"KorvLoadCountThresh 51", "5/26/00"}, {"KorvLoadCountThresh 1", "5/26/00"},
               {"KorvLoadCountThresh x", "5/26/00"},  {"NoSuchParameter 1", "5/26/00"},
               {"KorvCleanNotify 2", "5/26/00"},      {"KorvLoadCountThresh", "5/26/00"}};
    for (const auto& c : bad) EXPECT_EQ(select6(c.text).kcq(), c.kcq) << c.text;
    // MODE SENSE(6) and the default values.
    a = bus->in(0, {0x1A, 0, 0x3E, 0, 255, 0}, 255);
    ASSERT_EQ(a.kcq(), "GOOD");
    EXPECT_NE(pageText(a, 4).find("\nKorvLoadCountThresh 20 50 2 50\n"), std::string::npos);
    a = bus->in(0, {0x5A, 0, 0xBE, 0, 0, 0, 0, 0x04, 0, 0}, 1024);
    EXPECT_NE(pageText(a, 8).find("\nKorvLoadCountThresh 50 50 2 50\n"), std::string::npos);

    start();  // another run of the same drive
    a = bus->in(0, {0x5A, 0x08, 0x3E, 0, 0, 0, 0, 0x04, 0, 0}, 1024);
    EXPECT_EQ(a.data[7], 0);  // no block descriptor asked for
    EXPECT_NE(pageText(a, 8).find("\nKorvLoadCountThresh 20 50 2 50\n"), std::string::npos);
}

}  // namespace
