#pragma once
// What the "EEPROM Parameters" window shows: a tree with one item per parameter and its
// Type, Current, Default, Minimum and Maximum below it, with each item's help line and the
// editor its Current value gets. The window itself draws this model.
#include <string>
#include <string_view>
#include <vector>

#include "diag/eeprom_page.h"

namespace vexal::diag {

inline constexpr std::string_view kEepromDialogTitle = "EEPROM Parameters";
inline constexpr std::string_view kEepromApplyButton = "&Apply";
inline constexpr std::string_view kEepromCloseButton = "&Close";
inline constexpr std::string_view kEepromOutOfRangeMessage = "Input value is out of range.";

enum class EepromEditor {
    None,         // a heading: the root and the parameter items
    DropDown,     // type "b": the choices "1" and "0"
    TextField,    // type "A"
    NumberField,  // type "d": limited to the minimum and maximum
    PlainText,    // read only
};

struct EepromTreeItem {
    std::string label;
    std::string help;
    EepromEditor editor = EepromEditor::None;
    std::string value;
    std::vector<std::string> choices;  // DropDown
    long minimum = 0;                  // NumberField
    long maximum = 0;
    const EepromParameter* parameter = nullptr;  // the record a parameter item or its Current edits
    std::vector<EepromTreeItem> children;
};

// The root "EEPROM Vendor Specific Page" and one item per record, in page order. The items
// point into `parameters`, which must outlive the tree.
EepromTreeItem buildEepromTree(const std::vector<EepromParameter>& parameters);

// When a number field is left: true when `text` is a number within the record's minimum
// and maximum; otherwise the window shows kEepromOutOfRangeMessage and keeps the focus.
bool eepromNumberInRange(const EepromParameter& parameter, std::string_view text);

}  // namespace vexal::diag
