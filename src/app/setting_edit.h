#pragma once
// The settings an operator may set by name from a terminal: each value is checked before
// it is stored (the store is replaced atomically), so a bad value never reaches a later run.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/user_settings.h"

namespace vexal::app {

// The names, in the order they are listed.
std::vector<std::string_view> EditableSettings();

enum class SetResult { Stored, UnknownName, BadValue, NotWritten };

// Stores `value` under `name` (any letter case) and in `settings`' mirror. Anything but
// Stored comes with one sentence in `error`.
SetResult SetSetting(UserSettings& settings, std::string_view name, std::string_view value, std::string& error);

// The setting's own spelling of `name` (any letter case); empty for an unknown name.
std::string_view SettingName(std::string_view name);

// The sentence for a name that is not an editable setting; it lists those that are.
std::string UnknownSettingText(std::string_view name);

// The stored value of an editable setting (its default when none is stored); nullopt for
// an unknown name.
std::optional<std::string> GetSetting(std::string_view name);

}  // namespace vexal::app
