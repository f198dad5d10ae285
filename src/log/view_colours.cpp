#include "log/view_colours.h"

#include <string>

#include "platform/settings_store.h"

namespace vexal::log {

bool ViewColours::load() {
    values = kDefaultColours;
    platform::SettingsKey key;
    const int opened = key.CreateOrOpen(kColourKey);
    if (opened == 0) return false;
    for (size_t i = 0; i < kColourCount; ++i) {
        std::string text;
        if (opened == 1 || key.ReadString(kColourNames[i], text) != 0) {
            key.WriteDword(kColourNames[i], kDefaultColours[i]);
            continue;
        }
        values[i] = static_cast<uint32_t>(platform::decimalValue(text));
    }
    return true;
}

bool ViewColours::save(ColourSlot slot) const {
    platform::SettingsKey key;
    if (key.CreateOrOpen(kColourKey) == 0) return false;
    return key.WriteDword(kColourNames[static_cast<size_t>(slot)], (*this)[slot]) == 0;
}

bool ViewColours::reset() {
    values = kDefaultColours;
    bool ok = true;
    for (size_t i = 0; i < kColourCount; ++i) ok = save(static_cast<ColourSlot>(i)) && ok;
    return ok;
}

}  // namespace vexal::log
