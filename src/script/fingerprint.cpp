#include "script/fingerprint.h"

namespace vexal::script {
namespace {

constexpr size_t kSumOffset = 60;
constexpr size_t kLengthOffset = 124;

uint32_t readLe32(std::string_view bytes, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return v;
}

void writeLe32(std::string& bytes, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::filesystem::path FingerprintPath(const std::filesystem::path& script) {
    const std::string name = script.filename().string();
    const size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name + "." : name.substr(0, dot + 1);
    return script.parent_path() / (base + "FPF");
}

uint32_t ScriptByteSum(std::string_view plain) {
    uint32_t sum = 0;
    for (char c : plain) sum += static_cast<uint8_t>(c);
    return sum;
}

std::string MakeFingerprint(std::string_view plain) {
    std::string fp(kFingerprintSize, '\0');
    writeLe32(fp, kSumOffset, ScriptByteSum(plain));
    writeLe32(fp, kLengthOffset, static_cast<uint32_t>(plain.size()));
    return fp;
}

bool FingerprintMatches(std::string_view plain, std::string_view fingerprint) {
    if (fingerprint.size() != kFingerprintSize) return false;
    if (readLe32(fingerprint, kLengthOffset) != static_cast<uint32_t>(plain.size())) return false;
    return readLe32(fingerprint, kSumOffset) == ScriptByteSum(plain);
}

bool FingerprintDemanded(bool engineeringMode, bool customerMode, bool passwordSet) {
    if (engineeringMode) return false;
    if (customerMode) return !passwordSet;
    return true;
}

}  // namespace vexal::script
