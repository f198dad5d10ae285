// The CDB trace: one exact line per CDB, appended by every transport that traces there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "device/virtual/cdb_trace.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::pattern;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(VirtualTraceTest, OneLinePerCdbInTheDocumentedForm) {
    TempRoot root;
    const auto trace = root.path() / "trace.txt";
    {
        auto t = transportFromProfile(root, "[target 0]\ntrace = trace.txt\nmedium_error_at = 1\ntimeout_after = 8\n");
        ASSERT_TRUE(t);
        VirtualBus bus(t);
        bus.in(0, {0x12, 0, 0, 0, 0x38, 0}, 64);
        bus.writeVariable(pattern(512));
        bus.writeVariable(pattern(512));
        bus.rewind();
        bus.readVariable(65536, true);
        bus.readVariable(512);
        bus.none(0, {0xC5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        bus.tur();
    }
    EXPECT_EQ(readText(trace),
              "12 00 00 00 38 00 -> GOOD 56 in\n"
              "0A 00 00 02 00 00 -> GOOD 512 out\n"
              "0A 00 00 02 00 00 -> CHECK CONDITION 3/0C/00 0 out\n"
              "01 00 00 00 00 00 -> GOOD 0 none\n"
              "08 02 01 00 00 00 -> GOOD 512 in\n"
              "08 00 00 02 00 00 -> CHECK CONDITION 8/00/05 0 in\n"
              "C5 00 00 00 00 00 00 00 00 00 00 00 -> CHECK CONDITION 5/20/00 0 none\n"
              "00 00 00 00 00 00 -> HOST STATUS 11 0 none\n");

    // A second run appends.
    {
        auto t = transportFromProfile(root, "[target 0]\ntrace = trace.txt\n");
        VirtualBus(t).tur();
    }
    const std::string text = readText(trace);
    const std::string last = "00 00 00 00 00 00 -> GOOD 0 none\n";
    ASSERT_GT(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9);
}

TEST(VirtualTraceTest, TheEnvironmentVariableTracesEveryDevice) {
    TempRoot root;
    const auto trace = root.path() / "env-trace.txt";
    setenv("VEXAL_VIRTUAL_TRACE", trace.c_str(), 1);
    {
        std::string error;
        auto t = makeVirtualTransport("", error);
        unsetenv("VEXAL_VIRTUAL_TRACE");
        ASSERT_TRUE(t) << error;
        VirtualBus bus(t);
        bus.none(1, {0x07, 0, 0, 0, 0, 0});
        bus.in(2, {0x12, 1, 0xC1, 0, 0x38, 0}, 56);
    }
    EXPECT_EQ(readText(trace),
              "07 00 00 00 00 00 -> GOOD 0 none\n"
              "12 01 C1 00 38 00 -> CHECK CONDITION 5/24/00 0 in\n");
}

TEST(VirtualTraceTest, AnUnopenableEnvironmentTraceIsAWarningOnly) {
    TempRoot root;
    setenv("VEXAL_VIRTUAL_TRACE", "/nonexistent-dir/trace.txt", 1);
    std::string error;
    auto t = makeVirtualTransport("", error);
    unsetenv("VEXAL_VIRTUAL_TRACE");
    ASSERT_TRUE(t);
    const auto warnings = virtualTransportWarnings(*t);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("VEXAL_VIRTUAL_TRACE"), std::string::npos);
    EXPECT_TRUE(VirtualBus(t).tur().good());
}

TEST(VirtualTraceTest, LineFormatForEachOutcome) {
    const uint8_t cdb[] = {0x08, 0x01, 0x00, 0x00, 0x0A, 0x00};
    virt::Sense fm = virt::makeSense(0x0, 0x00, 0x01);
    virt::Sense overflow = virt::makeSense(0xD, 0x00, 0x02);
    struct Case {
        virt::TraceOutcome outcome;
        const char* line;
    } cases[] = {
        {{0, nullptr, 5120, virt::TraceDirection::In}, "08 01 00 00 0A 00 -> GOOD 5120 in\n"},
        {{0, &fm, 0, virt::TraceDirection::In}, "08 01 00 00 0A 00 -> CHECK CONDITION 0/00/01 0 in\n"},
        {{0, &overflow, 1024, virt::TraceDirection::Out}, "08 01 00 00 0A 00 -> CHECK CONDITION D/00/02 1024 out\n"},
        {{19, nullptr, 0, virt::TraceDirection::None}, "08 01 00 00 0A 00 -> HOST STATUS 19 0 none\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(virt::formatTraceLine(cdb, sizeof cdb, c.outcome), c.line);
}

}  // namespace
