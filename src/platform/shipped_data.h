#pragma once
// The files an installed program ships (default scripts, help) live in a read-only folder
// beside the executable: <prefix>/bin/vexal -> <prefix>/share/vexal/. Each user's data
// folder gets a copy of them on first use, since the program writes below its data folder
// (Logs/, FADump/, Work/) and an operator edits the scripts.
#include <filesystem>

namespace vexal::platform {

// <the executable's folder>/../share/vexal when it exists; empty otherwise (a build tree,
// a test). VEXAL_SHIPPED_DATA overrides it (a folder, or empty for none).
std::filesystem::path shippedDataFolder();

// Copies every entry at the top of `from` that `to` does not have yet, folders with all
// their content. What the user already has is never replaced, so a script deleted from a
// folder that exists stays deleted; only the help pages (hlp/), which belong to the
// program, are brought up to date: a newer shipped file replaces the user's copy and a
// missing one is copied again. Returns how many top-level entries were newly copied;
// failures copy what they can.
int seedDataFolder(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace vexal::platform
