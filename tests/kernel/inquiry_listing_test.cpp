// The identity listing on a real kernel: the INQUIRY command and a script's GETINQINFO
// decode scsi_debug's answer through the same lines; only their product family tables
// differ (byte 36 is '2', family nibble 3).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "kernel/kernel_bed.h"

namespace vexal::testing {
namespace {

// The decoded identity lines of an output: "   Name: value", in order.
std::vector<std::string> identityLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("   ", 0) == 0 && line.find(": ") != std::string::npos) lines.push_back(line);
    return lines;
}

constexpr const char* kScript = R"(cat > $BED/ID.SCS <<'END'
DESCRIPTION identity
Start:
GETINQINFO
EXIT 0
END
$VEXAL --engineering --device 0:0:0 run $BED/ID.SCS)";

TEST(KernelInquiryListingTest, CommandAndScriptListTheSameIdentity) {
    VEXAL_REQUIRE_KERNEL_BED();
    KernelBed bed;
    const auto r = bed.run(BedSetup{}, {"$VEXAL --engineering --device 0:0:0 inquiry", kScript});
    ASSERT_EQ(r[0].exitCode, 0) << r[0].out << r[0].err << bed.console();
    ASSERT_EQ(r[1].exitCode, 0) << r[1].out << r[1].err;

    const auto command = identityLines(r[0].out);
    const auto script = identityLines(r[1].out);
    ASSERT_EQ(command.size(), 31u) << r[0].out;
    ASSERT_EQ(script.size(), command.size()) << r[1].out;
    EXPECT_EQ(command[0], "   Device Type: Tape");
    EXPECT_EQ(command[10], "   Vendor ID: Linux   ");
    EXPECT_EQ(command[11], "   Product ID: scsi_debug      ");
    EXPECT_EQ(command[13], "   Product Family: 80.0 / 160.0 GB");
    EXPECT_EQ(script[13], "   Product Family: Unknown");
    for (size_t i = 0; i < command.size(); ++i)
        if (i != 13) EXPECT_EQ(script[i], command[i]) << i;
}

}  // namespace
}  // namespace vexal::testing
