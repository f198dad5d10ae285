#pragma once
// The iSCSI back end: each portal is one host adapter, in the order given; the targets
// its SendTargets discovery lists are target IDs 0 to 15 in discovery order; a block's
// LUN is the iSCSI LUN. One session per target, logged in on its first command and kept.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/transport.h"

namespace vexal::device {

// Builds the transport and runs discovery on every portal. Returns null only when a
// portal text does not parse (`error` names it). Otherwise returns the transport; a
// portal whose discovery failed is an adapter without targets, and `error` then says
// why (it stays empty when every portal answered).
std::shared_ptr<Transport> makeIscsiTransport(const std::vector<std::string>& portals,
                                              std::string& error);

// "host", "host:port", "[ipv6]" or "[ipv6]:port"; the port defaults to 3260.
// False for anything else (empty host, bad port, unbracketed IPv6, stray characters).
bool parsePortal(std::string_view text, std::string& host, int& port);

// Splits the IscsiPortals setting ("host:port;host:port") into its entries, trimmed,
// empty entries left out. The entries are not checked here.
std::vector<std::string> splitPortalList(std::string_view text);

}  // namespace vexal::device
