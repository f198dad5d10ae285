// The MAM view's reading and display rules: READ ATTRIBUTE per row, the decoded values,
// "Not Available" without a cartridge and the engineering-only control group.
#include <gtest/gtest.h>

#include <algorithm>

#include "diag/mam_attributes.h"
#include "diag/mam_reader.h"
#include "support/test_root.h"
#include "unit/diag/virtual_drive_session.h"

using namespace vexal::diag;
using namespace std::string_view_literals;

namespace {

const MamAttributeDef& row(MamGroupId group, uint16_t id) {
    const auto rows = mamGroup(group).rows;
    const auto it = std::find_if(rows.begin(), rows.end(), [&](const MamAttributeDef& d) { return d.id == id; });
    EXPECT_NE(it, rows.end()) << id;
    return *it;
}

// A READ ATTRIBUTE reply holding one attribute.
std::vector<uint8_t> reply(uint16_t id, std::vector<uint8_t> value, uint8_t format = 0) {
    std::vector<uint8_t> r{0, 0, 0, static_cast<uint8_t>(value.size() + 5), static_cast<uint8_t>(id >> 8),
                           static_cast<uint8_t>(id), format, static_cast<uint8_t>(value.size() >> 8),
                           static_cast<uint8_t>(value.size())};
    r.insert(r.end(), value.begin(), value.end());
    return r;
}

std::vector<uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

const MamField& field(const MamRow& r, std::string_view name) {
    const auto it = std::find_if(r.fields.begin(), r.fields.end(), [&](const MamField& f) { return f.name == name; });
    EXPECT_NE(it, r.fields.end()) << name;
    static const MamField none;
    return it == r.fields.end() ? none : *it;
}

TEST(MamTable, GroupsRowsAndAllocationLengths) {
    const auto groups = mamGroups();
    ASSERT_EQ(groups.size(), 4u);
    const size_t sizes[] = {18, 10, 11, 2};
    for (size_t g = 0; g < groups.size(); ++g) {
        ASSERT_EQ(groups[g].rows.size(), sizes[g]) << groups[g].tab;
        for (size_t i = 0; i < groups[g].rows.size(); ++i) EXPECT_EQ(groups[g].rows[i].position, static_cast<int>(i));
    }
    EXPECT_EQ(row(MamGroupId::Device, 0x0340).allocationLength(), 99u);
    EXPECT_EQ(row(MamGroupId::Host, 0x0803).allocationLength(), 169u);
    EXPECT_TRUE(row(MamGroupId::Device, 0x0005).description.empty());
    EXPECT_EQ(visibleMamGroups(false),
              (std::vector<MamGroupId>{MamGroupId::Device, MamGroupId::Medium, MamGroupId::Host}));
    EXPECT_EQ(visibleMamGroups(true).back(), MamGroupId::Control);
    EXPECT_EQ(mamGroupAllowed(MamGroupId::Control, false), MamGroupRefusal::EngineeringOnly);
    EXPECT_EQ(mamGroupAllowed(MamGroupId::Control, true), MamGroupRefusal::None);
    EXPECT_EQ(mamGroupAllowed(MamGroupId::Host, false), MamGroupRefusal::None);
}

TEST(MamReader, ReadAttributeCdb) {
    const auto cdb = readAttributeCdb(0x0340, 99);
    EXPECT_EQ(std::vector<uint8_t>(cdb.begin(), cdb.end()),
              (std::vector<uint8_t>{0x8C, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x40, 0, 0, 0, 99, 0, 0}));
}

TEST(MamReader, ValuesShownByTheirRules) {
    using G = MamGroupId;
    struct Case {
        G group;
        uint16_t id;
        std::vector<uint8_t> value;
        std::string text;
    } cases[] = {
        {G::Device, 0x0003, {0, 0, 0, 0, 0, 0, 0x01, 0x2C}, "300"},
        {G::Device, 0x0001, {0, 0, 0, 0, 0, 0, 0, 2}, "2,097,152"},
        // Mbytes beyond what 64 bits of bytes hold stay exact.
        {G::Device, 0x0220, {0x00, 0x00, 0x10, 0, 0, 0, 0, 0}, "18,446,744,073,709,551,616"},
        {G::Device, 0x0002, {0x80, 0, 0, 0, 0, 0, 0, 0x01}, "0x8000000000000001"},
        {G::Device, 0x0002, {0, 0, 0, 0, 0, 0, 0x01, 0x00}, "0x00000100"},
        {G::Device, 0x0006, {0x4A}, "0x4A"},
        {G::Medium, 0x0405, {0x5C}, "0x5C"},
        {G::Medium, 0x0408, {0x00}, "Data Medium"},
        {G::Medium, 0x0408, {0x80}, "Write-once Medium"},
        {G::Medium, 0x0408, {0x01}, "Unknown"},
        {G::Host, 0x0805, {0, 0}, "No code specified (ASCII)"},
        {G::Host, 0x0805, {0, 3}, "Unknown"},
        {G::Medium, 0x0400, bytes("KORVANE "), "KORVANE"},
        // Control characters from the drive never reach the terminal; text ends at a zero.
        {G::Host, 0x0806, bytes("AB\x1b[2JC\0XYZ"sv), "AB.[2JC"},
        {G::Host, 0x0807, bytes("host one  "), "host one"},
    };
    for (const Case& c : cases) {
        const MamAttributeDef& def = row(c.group, c.id);
        const MamRow r = decodeMamRow(def, reply(c.id, c.value), true);
        EXPECT_TRUE(r.available) << def.name;
        EXPECT_EQ(r.text, c.text) << def.name;
    }
}

TEST(MamReader, ControlFlags11hChecksSoftwareWriteProtectAndArchiveTape) {
    const MamRow r = decodeMamRow(row(MamGroupId::Control, 0x0C04), reply(0x0C04, {0x11}), true);
    ASSERT_EQ(r.fields.size(), 6u);
    const std::pair<const char*, bool> expected[] = {
        {"Software Write Protect", true},    {"Permanent Write Protect", false}, {"Persistent Write Protect", false},
        {"Associated Write Protect", false}, {"Archive Tape", true},             {"Read Only MAM", false},
    };
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(r.fields[i].name, expected[i].first);
        EXPECT_EQ(r.fields[i].checked, expected[i].second) << expected[i].first;
        EXPECT_EQ(r.fields[i].value, expected[i].second ? "Checked" : "UnChecked");
    }
}

TEST(MamReader, MediumUsageHistoryCountersAndAmounts) {
    std::vector<uint8_t> value(90, 0);
    value[5] = 2;                  // Current Amount of Data Written: 2 MiB
    value[11] = 7;                 // Current Write Retries Count
    value[12 * 6 + 5] = 9;         // Load Count
    value[14 * 6 + 4] = 1;         // Total Partition Initialize Count: 256
    const MamRow r = decodeMamRow(row(MamGroupId::Device, 0x0340), reply(0x0340, value), true);
    ASSERT_EQ(r.fields.size(), 15u);
    EXPECT_EQ(field(r, "Current Amount of Data Written").value, "2,097,152");
    EXPECT_EQ(field(r, "Current Write Retries Count").value, "7");
    EXPECT_EQ(field(r, "Load Count").value, "9");
    EXPECT_EQ(field(r, "Total Partition Initialize Count").value, "256");
    EXPECT_EQ(field(r, "Total Amount of Data Read").value, "0");
}

TEST(MamReader, CriticalControlDataShownLastValueFirst) {
    std::vector<uint8_t> value(100, 0);
    for (uint8_t i = 0; i < 7; ++i) value[i * 4 + 3] = static_cast<uint8_t>(i + 1);
    value[0] = 0xFF;  // Version: 0xFF000001 as unsigned
    const MamRow r = decodeMamRow(row(MamGroupId::Control, 0x0C00), reply(0x0C00, value), true);
    ASSERT_EQ(r.fields.size(), 7u);
    EXPECT_EQ(r.fields[0].name, "SizeOfThisVersion");
    EXPECT_EQ(r.fields[0].value, "7");
    EXPECT_EQ(r.fields[6].name, "Version");
    EXPECT_EQ(r.fields[6].value, "4278190081");
}

TEST(MamReader, UnreadableRowsShowNotAvailableOrZero) {
    for (const MamGroupDef& g : mamGroups())
        for (const MamAttributeDef& def : g.rows) {
            // The drive's buffer may hold anything after a failed command.
            std::vector<uint8_t> junk = reply(def.id, std::vector<uint8_t>(def.valueLength, 0x41));
            const MamRow r = decodeMamRow(def, junk, false);
            EXPECT_FALSE(r.available);
            if (hasSpecialDisplay(def.show)) EXPECT_EQ(r.text, kMamNotAvailable) << def.name;
            else if (def.show == MamShow::Text) EXPECT_EQ(r.text, "") << def.name;
            else EXPECT_EQ(r.text, "0") << def.name;
        }
}

TEST(MamReader, AnotherAttributeInTheReplyIsNotShownUnderThisName) {
    // A drive without 0C04h answers with the next attribute it has.
    const MamRow flags = decodeMamRow(row(MamGroupId::Control, 0x0C04), reply(0x0C05, {0x3F}), true);
    EXPECT_FALSE(flags.available);
    EXPECT_EQ(flags.text, kMamNotAvailable);
    const MamRow count = decodeMamRow(row(MamGroupId::Device, 0x0003), reply(0x0004, {0, 0, 0, 0, 0, 0, 0, 9}), true);
    EXPECT_FALSE(count.available);
    EXPECT_EQ(count.text, "0");
}

TEST(MamReader, ShortAndTruncatedRepliesAreBounded) {
    const MamAttributeDef& def = row(MamGroupId::Host, 0x0801);
    EXPECT_FALSE(decodeMamRow(def, std::vector<uint8_t>{0, 0, 0, 5, 0x08}, true).available);
    // The value length claims more than the buffer holds.
    std::vector<uint8_t> r = reply(0x0801, bytes("Vexal"));
    r[7] = 0xFF;
    const MamRow row1 = decodeMamRow(def, r, true);
    EXPECT_TRUE(row1.available);
    EXPECT_EQ(row1.text, "Vexal");
}

class MamVirtualDriveTest : public ::testing::Test {
protected:
    vexal::testing::TempRoot root;
};

TEST_F(MamVirtualDriveTest, EveryGroupReadsFromTheCartridge) {
    vexal::testing::VirtualDriveSession s(root);
    for (const MamGroupDef& g : mamGroups()) {
        const MamPage page = ReadMamGroup(s.device, g.id);
        ASSERT_EQ(page.rows.size(), g.rows.size());
        for (const MamRow& r : page.rows) EXPECT_TRUE(r.available) << r.def->name << " result " << r.result;
    }
    const MamPage device = ReadMamGroup(s.device, MamGroupId::Device);
    EXPECT_EQ(device.rows[1].text, "268,435,456");  // 256 MiB
    EXPECT_EQ(device.rows[8].text, "VD00000001");   // the drive it was loaded in
    const MamPage medium = ReadMamGroup(s.device, MamGroupId::Medium);
    EXPECT_EQ(medium.rows[8].text, "Data Medium");
    EXPECT_EQ(medium.rows[7].text, "16384");
    // The reads leave no lines in the view.
    EXPECT_TRUE(s.out.view.empty());
}

TEST_F(MamVirtualDriveTest, WithoutACartridgeEveryRowIsNotAvailableOrZero) {
    vexal::testing::VirtualDriveSession s(root, "[target 0]\ntype = tape\ncartridge = no\n");
    for (const MamGroupDef& g : mamGroups()) {
        const MamPage page = ReadMamGroup(s.device, g.id);
        for (const MamRow& r : page.rows) {
            EXPECT_FALSE(r.available) << r.def->name;
            EXPECT_NE(r.result, 0);
            EXPECT_TRUE(r.text == kMamNotAvailable || r.text == "0" || r.text.empty()) << r.def->name << ": " << r.text;
        }
    }
}

}  // namespace
