// The time-out kept per drive: the key follows the drive's identity, not its place, and a
// kept value reads back only for that drive.
#include <gtest/gtest.h>

#include "device/stored_timeouts.h"
#include "platform/settings_store.h"
#include "support/test_root.h"

namespace vexal::device {
namespace {

DeviceEntry drive(std::string vendor, std::string product, std::string serial, bool fromDevice, int target) {
    DeviceEntry e;
    e.vendor = std::move(vendor);
    e.product = std::move(product);
    e.serialNumber = std::move(serial);
    e.serialFromDevice = fromDevice;
    e.address = {1, static_cast<uint8_t>(target), 0};
    return e;
}

TEST(StoredTimeoutTest, TheKeyIsTheDrivesIdentity) {
    const struct {
        const char* name;
        DeviceEntry entry;
        const char* key;
    } cases[] = {
        {"serial number", drive("KORVANE ", "SKTX VIRTUAL    ", "VD00000001", true, 0), "KORVANE_SKTX_VIRTUAL_VD00000001"},
        {"same drive elsewhere", drive("KORVANE ", "SKTX VIRTUAL    ", "VD00000001", true, 5),
         "KORVANE_SKTX_VIRTUAL_VD00000001"},
        // A serial number the profile remembers by index is not the drive's own.
        {"no serial from the drive", drive("KORVANE ", "SKTX", "          ", false, 4), "KORVANE_SKTX_1:4:0"},
        {"blank serial", drive("KORVANE ", "SKTX", "   ", true, 4), "KORVANE_SKTX_1:4:0"},
        {"characters an INI key cannot hold", drive("A=B;C", "[X]#", "S/N 1", true, 0), "A_B_C__X___S_N_1"},
    };
    for (const auto& c : cases) EXPECT_EQ(timeoutKey(c.entry), c.key) << c.name;
}

TEST(StoredTimeoutTest, AKeptValueBelongsToItsDriveAlone) {
    testing::TempRoot root;
    const DeviceEntry one = drive("KORVANE ", "SKTX", "A1", true, 0);
    const DeviceEntry other = drive("KORVANE ", "SKTX", "A2", true, 0);
    EXPECT_FALSE(storedTimeout(one));
    ASSERT_TRUE(storeTimeout(one, 600));
    EXPECT_EQ(storedTimeout(one), 600);
    EXPECT_FALSE(storedTimeout(other));
    ASSERT_TRUE(storeTimeout(one, 30));
    EXPECT_EQ(storedTimeout(one), 30);
    // A hand-edited value no transport takes is not applied.
    for (const char* bad : {"0", "-5", "4294968", "soon"}) {
        ASSERT_TRUE(platform::ProfileStore::writeString(kTimeoutSection, timeoutKey(one), bad));
        EXPECT_FALSE(storedTimeout(one)) << bad;
    }
}

}  // namespace
}  // namespace vexal::device
