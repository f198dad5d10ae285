// libFuzzer target: the EEPROM parameter page (mode page 3Eh) parser, the tree the window
// draws from it and the number rules. The input is parsed directly as a page, and then serves
// as a drive's replies while the page is read, kept in its file and parsed back. Checked:
// every field is one word of at most 63 characters, the tree has one item per record, and
// the decimal reading of a field agrees with the C library's strtol.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "diag/eeprom_page.h"
#include "diag/eeprom_tree.h"
#include "fuzz_drive.h"

namespace {

using namespace vexal;
using namespace vexal::diag;

void check(bool ok) {
    if (!ok) std::abort();
}

void checkField(const std::string& f) {
    check(f.size() <= kEepromFieldChars);
    check(f.find_first_of(std::string(" \t\r\n\0", 5)) == std::string::npos);
    check(decimalValue(f) == std::strtol(f.c_str(), nullptr, 10));
}

void checkRecords(const std::vector<EepromParameter>& records) {
    for (const EepromParameter& p : records) {
        check(!p.name.empty() && p.name != "*");
        check(p.type == "A" || p.type == "b" || p.type == "d");
        for (const std::string* f : {&p.name, &p.current, &p.defaultValue, &p.minimum, &p.maximum}) checkField(*f);
        (void)eepromNumberInRange(p, p.current);
        (void)eepromNumberInRange(p, p.defaultValue);
    }
    const EepromTreeItem root = buildEepromTree(records);
    check(root.children.size() == records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        check(root.children[i].parameter == &records[i] && root.children[i].children.size() == 5);
        const EepromTreeItem& current = root.children[i].children[1];
        if (current.editor == EepromEditor::NumberField)
            check(current.minimum == decimalValue(records[i].minimum) && current.maximum == decimalValue(records[i].maximum));
    }
}

void direct(std::span<const uint8_t> bytes) {
    std::vector<EepromParameter> records;
    if (!parseEepromPage(bytes, records)) {
        check(records.empty());
        return;
    }
    checkRecords(records);
    const std::string text(bytes.begin(), bytes.end());
    (void)decimalValue(text);
}

void exerciseDrive(fuzz::FuzzDrive& drive) {
    EepromParameterList list(drive.device, drive.op, fuzz::fuzzRoot());
    if (!list.Load()) return;
    std::vector<EepromParameter> again;
    check(parseEepromPage(list.rawPage(), again) && again.size() == list.parameters().size());
    checkRecords(list.parameters());
    long value = 0;
    for (const EepromParameter& p : list.parameters())
        if (list.FindValue(p.name, value)) check(value == decimalValue(list.find(p.name)->current));
}

}  // namespace

VEXAL_FUZZ_DRIVE_TARGET(direct, exerciseDrive, false, true)
