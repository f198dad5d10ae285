#pragma once
// The FA dump viewer: expands a .dmz into its .dmp, scans the text part of the dump into a
// .ptf file, and lists the sections of that text (also written to BW.txt).
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "operator/operator.h"
#include "fadump/zip_archive.h"

namespace vexal::fadump {

inline constexpr std::string_view kSelectDumpCaption = "Select FA Dump File";
inline constexpr std::string_view kViewerFilter = "FA Dump Files (*.dmz)|*.dmz|";
inline constexpr std::string_view kViewerCaption = "FA Dump";
inline constexpr std::string_view kScanErrorCaption = "Scan FA Dump Error";
inline constexpr std::string_view kExitQuestion = "Do you wish to exit without saving the report?";
inline constexpr std::string_view kExitCaption = "FA Dump Exit Verification";

// Scan error numbers ("EC# %d").
namespace scan_error {
inline constexpr int None = 0;
inline constexpr int CannotOpen = -1;
inline constexpr int TooShort = -2;
inline constexpr int NoText = -3;           // no text part, or the .ptf cannot be written
inline constexpr int SectionsUnreadable = -5;
inline constexpr int SectionFileFailed = -6;
}  // namespace scan_error

inline constexpr uint64_t kMinimumDumpSize = 1024;
inline constexpr std::string_view kTextStart = "-- c";

struct Section {
    std::string name;
    uint64_t offset = 0;  // in the .ptf file
};

// "FA Dump: %s"
std::string viewerTitle(std::string_view fileName);
// "Scan detected an error. EC# %d"
std::string scanErrorText(int error);
// One BW.txt line: "%s , %d , %08X" with the name, the offset in decimal and in hex.
std::string sectionLine(const Section& section);

// Writes the text part of `dmp` to `ptf`: from the first "-- c" up to the first zero byte or
// byte above 126, tabs as blanks. 0 or a scan error.
int scanDump(const std::filesystem::path& dmp, const std::filesystem::path& ptf);
// The sections of a .ptf: lines that begin with "-- ", named by the text after "--" up to
// the next "--", trimmed. 0, or scan_error::SectionsUnreadable when the file cannot be
// read or holds more headings than any dump (100000).
int readSections(const std::filesystem::path& ptf, std::vector<Section>& sections);
// 0 or scan_error::SectionFileFailed.
int writeSectionFile(const std::filesystem::path& file, const std::vector<Section>& sections);

struct ViewerResult {
    bool expanded = false;    // the .dmz gave a .dmp
    std::string refusal;      // why the .dmz was not expanded
    std::string title;
    std::filesystem::path dmp, ptf, sectionFile;
    int scanError = scan_error::None;
    bool controlsEnabled = false;  // false after a scan error
    std::vector<Section> sections;
};

// Steps 1 to 4 for one .dmz; a refusal or a scan error is shown to the operator.
ViewerResult OpenDumpFile(ui::Operator& op, const std::filesystem::path& dmz, const ExtractLimits& limits = {});
// Asks for the .dmz (the dialog starts in `startFolder`); false when the operator cancelled.
bool ChooseDumpToView(ui::Operator& op, const std::filesystem::path& startFolder, std::filesystem::path& chosen);
// Closing the viewer: true when it may close (a saved report, or the operator agrees).
bool ConfirmViewerExit(ui::Operator& op, bool reportSaved);

}  // namespace vexal::fadump
