// Portal texts of the IscsiPortals setting and the --portal option.
#include <cctype>
#include <charconv>

#include "device/iscsi/iscsi_transport.h"

namespace vexal::device {
namespace {

constexpr int kDefaultPort = 3260;

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

bool parsePort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

// Host names and IPv4 addresses.
bool isHostName(std::string_view text) {
    if (text.empty() || text.size() > 253) return false;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '.' && c != '-' && c != '_') return false;
    }
    return true;
}

// What may stand between the brackets: hex digits, colons, an embedded IPv4 part and a
// zone suffix ("%eth0").
bool isIpv6(std::string_view text) {
    if (text.size() < 2 || text.find(':') == std::string_view::npos) return false;
    const size_t zone = text.find('%');
    const std::string_view address = text.substr(0, zone);
    for (char c : address)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    if (zone != std::string_view::npos) {
        const std::string_view name = text.substr(zone + 1);
        if (name.empty()) return false;
        for (char c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') return false;
    }
    return true;
}

}  // namespace

bool parsePortal(std::string_view text, std::string& host, int& port) {
    text = trim(text);
    std::string_view hostPart;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        hostPart = text.substr(1, close - 1);
        if (!isIpv6(hostPart)) return false;
        rest = text.substr(close + 1);
    } else {
        const size_t colon = text.find(':');
        hostPart = text.substr(0, colon);
        if (!isHostName(hostPart)) return false;
        rest = colon == std::string_view::npos ? std::string_view{} : text.substr(colon);
    }
    int value = kDefaultPort;
    if (!rest.empty()) {
        if (rest.front() != ':' || !parsePort(rest.substr(1), value)) return false;
    }
    host = std::string(hostPart);
    port = value;
    return true;
}

std::vector<std::string> splitPortalList(std::string_view text) {
    std::vector<std::string> entries;
    while (true) {
        const size_t semicolon = text.find(';');
        const std::string_view entry = trim(text.substr(0, semicolon));
        if (!entry.empty()) entries.emplace_back(entry);
        if (semicolon == std::string_view::npos) break;
        text.remove_prefix(semicolon + 1);
    }
    return entries;
}

}  // namespace vexal::device
