// The profile keys of the cartridge memory: "mam_" + the key of each attribute a profile
// may set (see cartridge_memory.cpp and docs/virtual-drive.md).
#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "device/virtual/cartridge_memory.h"
#include "device/virtual/profile_keys.h"

namespace vexal::device::virt {
namespace {

constexpr size_t kDefinitionCount = 41;

template <size_t I>
bool applyMam(std::string_view text, DeviceProfile& d) {
    const MamDefinition& def = mamDefinitions()[I];
    std::vector<uint8_t> bytes;
    if (!mamValueFromText(def, text, bytes)) return false;
    std::erase_if(d.mamValues, [&](const auto& v) { return v.first == def.id; });
    d.mamValues.emplace_back(def.id, std::move(bytes));
    return true;
}

std::string expectedText(const MamDefinition& def) {
    if (def.format != MamFormat::Binary)
        return "at most " + std::to_string(def.length) + " printable ASCII characters";
    if (def.length > 8) return "at most " + std::to_string(def.length) + " bytes in hexadecimal";
    return "a whole number that fits in " + std::to_string(def.length) + (def.length == 1 ? " byte" : " bytes") +
           " (decimal, or hexadecimal after 0x)";
}

using Apply = bool (*)(std::string_view, DeviceProfile&);

template <size_t... I>
constexpr std::array<Apply, sizeof...(I)> appliers(std::index_sequence<I...>) {
    return {&applyMam<I>...};
}

// Built in place once: the keys' views point into these strings.
struct MamKeys {
    MamKeys() {
        static constexpr auto apply = appliers(std::make_index_sequence<kDefinitionCount>{});
        count = std::min(kDefinitionCount, mamDefinitions().size());
        for (size_t i = 0; i < count; ++i) {
            names[i] = "mam_" + std::string(mamDefinitions()[i].key);
            expected[i] = expectedText(mamDefinitions()[i]);
            keys[i] = ProfileKey{names[i], true, expected[i], apply[i]};
        }
    }
    size_t count = 0;
    std::array<std::string, kDefinitionCount> names;
    std::array<std::string, kDefinitionCount> expected;
    std::array<ProfileKey, kDefinitionCount> keys{};
};

}  // namespace

const ProfileKey* findMamProfileKey(std::string_view name) {
    static const MamKeys keys;
    for (size_t i = 0; i < keys.count; ++i)
        if (keys.keys[i].name == name && mamDefinitions()[i].profileSettable) return &keys.keys[i];
    return nullptr;
}

}  // namespace vexal::device::virt
