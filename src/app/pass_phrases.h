#pragma once
// The two built-in pass phrases. Neither is kept whole in the program: each is assembled
// when needed and only its MD5 digest is compared or stored.
#include <string>
#include <string_view>

namespace vexal::app {

// 32 lower-case hexadecimal characters (RFC 1321).
std::string md5Hex(std::string_view text);

std::string engineeringDigest();
std::string wizardDigest();

}  // namespace vexal::app
