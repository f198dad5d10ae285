#include <gtest/gtest.h>

#include "device/iscsi/iscsi_transport.h"
#include "device/request_block.h"

using namespace vexal::device;

namespace {

struct PortalCase {
    const char* text;
    bool ok;
    const char* host;
    int port;
};

TEST(IscsiPortal, ParsesHostsPortsAndBracketedIpv6) {
    const PortalCase cases[] = {
        {"127.0.0.1", true, "127.0.0.1", 3260},
        {"127.0.0.1:3261", true, "127.0.0.1", 3261},
        {"  tape-lab.example.com:1 ", true, "tape-lab.example.com", 1},
        {"host_1:65535", true, "host_1", 65535},
        {"[::1]", true, "::1", 3260},
        {"[::1]:860", true, "::1", 860},
        {"[fe80::1%eth0]:3260", true, "fe80::1%eth0", 3260},
        {"[::ffff:192.0.2.1]:3260", true, "::ffff:192.0.2.1", 3260},
        {"", false, "", 0},
        {"   ", false, "", 0},
        {":3260", false, "", 0},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:999999", false, "", 0},
        {"host:+3260", false, "", 0},
        {"host:-1", false, "", 0},
        {"host:32 60", false, "", 0},
        {"host:3260:1", false, "", 0},
        {"host/target", false, "", 0},
        {"iscsi://host", false, "", 0},
        {"::1", false, "", 0},
        {"fe80::1:3260", false, "", 0},
        {"[::1", false, "", 0},
        {"[::1]x", false, "", 0},
        {"[::1]:", false, "", 0},
        {"[]:3260", false, "", 0},
        {"[zz::1]", false, "", 0},
        {"[1.2.3.4]", false, "", 0},
        {"[fe80::1%]", false, "", 0},
    };
    for (const PortalCase& c : cases) {
        std::string host = "unchanged";
        int port = -1;
        EXPECT_EQ(parsePortal(c.text, host, port), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(host, c.host) << c.text;
            EXPECT_EQ(port, c.port) << c.text;
        }
    }
}

TEST(IscsiPortal, SplitsTheSettingAtSemicolonsAndDropsEmptyEntries) {
    EXPECT_EQ(splitPortalList("10.0.0.1:3260;10.0.0.2"), (std::vector<std::string>{"10.0.0.1:3260", "10.0.0.2"}));
    EXPECT_EQ(splitPortalList(" a:1 ; ;b; "), (std::vector<std::string>{"a:1", "b"}));
    EXPECT_EQ(splitPortalList("[::1]:3260"), (std::vector<std::string>{"[::1]:3260"}));
    EXPECT_TRUE(splitPortalList("").empty());
    EXPECT_TRUE(splitPortalList(";;").empty());
}

TEST(IscsiTransportCreation, RefusesAPortalThatDoesNotParse) {
    std::string error;
    EXPECT_EQ(makeIscsiTransport({"127.0.0.1:3260", "bad host"}, error), nullptr);
    EXPECT_NE(error.find("bad host"), std::string::npos) << error;
}

TEST(IscsiTransportCreation, WithoutPortalsHasNoAdapters) {
    std::string error;
    auto transport = makeIscsiTransport({}, error);
    ASSERT_NE(transport, nullptr);
    EXPECT_EQ(transport->name(), "iscsi");
    RequestBlock inquiry;
    inquiry.command = SrbCommand::HostAdapterInquiry;
    ASSERT_EQ(transport->sendSrb(inquiry), 0);
    EXPECT_EQ(inquiry.status.load(), srb_status::Complete);
    EXPECT_EQ(inquiry.adapterCount, 0);

    RequestBlock execute;
    execute.cdbLength = 6;
    ASSERT_EQ(transport->sendSrb(execute), 0);
    EXPECT_EQ(execute.status.load(), srb_status::InvalidHostAdapter);
}

}  // namespace
