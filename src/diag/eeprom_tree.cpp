#include "diag/eeprom_tree.h"

#include <charconv>

namespace vexal::diag {
namespace {

EepromTreeItem plain(std::string_view label, std::string_view help, const std::string& value) {
    EepromTreeItem item;
    item.label = label;
    item.help = help;
    item.editor = EepromEditor::PlainText;
    item.value = value;
    return item;
}

EepromTreeItem currentItem(const EepromParameter& p) {
    EepromTreeItem item = plain("Current", "Current value of the parameter.", p.current);
    item.parameter = &p;
    if (p.type == "b") {
        item.editor = EepromEditor::DropDown;
        item.choices = {"1", "0"};
    } else if (p.type == "A") {
        item.editor = EepromEditor::TextField;
    } else if (p.type == "d") {
        item.editor = EepromEditor::NumberField;
        item.minimum = decimalValue(p.minimum);
        item.maximum = decimalValue(p.maximum);
    }
    return item;
}

}  // namespace

EepromTreeItem buildEepromTree(const std::vector<EepromParameter>& parameters) {
    EepromTreeItem root;
    root.label = "EEPROM Vendor Specific Page";
    root.help = "The drive returns all of the EEPROM parameters that can be set.";
    for (const EepromParameter& p : parameters) {
        EepromTreeItem item;
        item.label = p.name;
        item.help = "Refers to the parameter name.";
        item.parameter = &p;
        item.children.push_back(plain("Type", "A=Ascii | d=Decimal | b=Binary", p.type));
        item.children.push_back(currentItem(p));
        item.children.push_back(plain("Default", "Default value of the parameter.", p.defaultValue));
        item.children.push_back(plain("Minimum", "Minimum value of the parameter.", p.minimum));
        item.children.push_back(plain("Maximum", "Maximum value of the parameter.", p.maximum));
        root.children.push_back(std::move(item));
    }
    return root;
}

bool eepromNumberInRange(const EepromParameter& parameter, std::string_view text) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end) return false;
    return value >= decimalValue(parameter.minimum) && value <= decimalValue(parameter.maximum);
}

}  // namespace vexal::diag
