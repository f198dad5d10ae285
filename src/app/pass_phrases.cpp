#include "app/pass_phrases.h"

#include <openssl/evp.h>

#include <array>

#include <fmt/format.h>

namespace vexal::app {
namespace {

// Each phrase is stored as bytes XORed with a running key, so that it never appears as
// text in the binary; it is decoded into a local string, digested and wiped.
template <size_t N>
std::string digestOf(const std::array<unsigned char, N>& scrambled, unsigned char seed) {
    std::string phrase(N, '\0');
    unsigned char key = seed;
    for (size_t i = 0; i < N; ++i) {
        phrase[i] = static_cast<char>(scrambled[i] ^ key);
        key = static_cast<unsigned char>(key * 13 + 7);
    }
    std::string digest = md5Hex(phrase);
    for (char& c : phrase) c = '\0';
    return digest;
}

}  // namespace

std::string md5Hex(std::string_view text) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> md{};
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), md.data(), &length, EVP_md5(), nullptr) != 1) return {};
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) hex += fmt::format("{:02x}", md[i]);
    return hex;
}

std::string engineeringDigest() {
    static constexpr std::array<unsigned char, 13> kScrambled{0xF2, 0x03, 0xF1, 0xD8, 0xBC, 0x2E, 0x22,
                                                              0x8F, 0x04, 0x3A, 0x2C, 0xE2, 0xD7};
    return digestOf(kScrambled, 0xB9);
}

std::string wizardDigest() {
    static constexpr std::array<unsigned char, 6> kScrambled{0x2F, 0x65, 0xBB, 0xE1, 0x3F, 0x92};
    return digestOf(kScrambled, 0x78);
}

}  // namespace vexal::app
