#include "gui/command_params.h"

#include <cctype>
#include <sstream>

#include "command/locate_address.h"
#include "command/transfer_limits.h"
#include "gui/param_dialog.h"

namespace vexal::gui {
namespace {

namespace code = command::code;

constexpr long kMax24 = 0xFFFFFF;
using command::kLongEraseQuestion;
using command::kMaxOperatorTransfer;
using command::kTransferRangeText;
using command::kTransferTooLargeText;
constexpr const char* kCustomCdbTooLong = "Sorry: Data transfers over 64 bytes are not ready for custom CDB yet.";

// The data patterns offered, in the order of their codes.
const QStringList kPatterns = {"Incremental Byte", "Incremental Word (32-bit)", "Zeros", "Pseudo Random",
                               "No Compare", "Compare Block Number Only"};

bool transfer(command::CommandRequest& r, QWidget* parent, ui::Operator& op, bool isRead) {
    ParamDialog d(isRead ? "Read" : "Write", parent);
    const int fixed = d.addCheck("Fixed Block Transfers", r.fixed);
    const int sili = isRead ? d.addCheck("SILI (Supress Incorrect Length Indicator)", r.sili) : -1;
    const int size = d.addNumber("Logical Block Size:", 1, kMax24, r.blockSize ? r.blockSize : 512);
    const int length = d.addNumber("Transfer Length:", 1, kMax24, r.transferLength ? r.transferLength : 512);
    const int count = d.addNumber("Count (0 = to the end of medium):", 0, 0x7FFFFFFF, r.count);
    const int pattern = d.addChoice("Data Pattern:", kPatterns, r.dataPattern);
    const int compare = isRead ? d.addCheck("Compare", r.compare) : -1;
    if (d.exec() != QDialog::Accepted) return false;
    r.fixed = d.checked(fixed);
    r.sili = isRead && d.checked(sili);
    r.blockSize = uint32_t(d.number(size));
    r.transferLength = uint32_t(d.number(length));
    r.count = d.number(count);
    r.dataPattern = d.choice(pattern);
    r.compare = isRead && d.checked(compare) && r.dataPattern != command::pattern::NoCompare;
    const uint64_t total = r.fixed ? uint64_t{r.transferLength} * r.blockSize : r.transferLength;
    if (total == 0) {
        op.message(kTransferRangeText, "Vexal", ui::Icon::Exclamation);
        return false;
    }
    if (total > kMaxOperatorTransfer) {
        op.message(kTransferTooLargeText, "Vexal", ui::Icon::Exclamation);
        return false;
    }
    return true;
}

bool locate(command::CommandRequest& r, QWidget* parent, ui::Operator& op) {
    for (QString address = "0";;) {
        ParamDialog d("Locate", parent);
        const int a = d.addText("Address:", address);
        const int change = d.addCheck("Change Partition", r.changePartition);
        const int partition = d.addNumber("Partition:", 0, 255, r.partition);
        if (d.exec() != QDialog::Accepted) return false;
        uint32_t value = 0;
        const auto error = command::parseLocateAddress(d.text(a).toStdString(), value);
        if (error == command::AddressError::None) {
            r.blockAddress = value;
            r.changePartition = d.checked(change);
            r.partition = uint8_t(d.number(partition));
            return true;
        }
        op.message(command::addressErrorText(error), "Locate",
                   error == command::AddressError::OutOfBounds ? ui::Icon::Exclamation : ui::Icon::Information);
        address = "0";  // the field is reset and asked again
    }
}

bool customCdb(command::CommandRequest& r, QWidget* parent, ui::Operator& op) {
    ParamDialog d("Custom CDB", parent);
    const int bytes = d.addText("CDB bytes (hex):", "12 00 00 00 40 00");
    const int direction = d.addChoice("Data:", {"No Data Transfer", "Target to Host", "Host to Target"}, 1);
    const int length = d.addNumber("Data Length:", 0, 0xFFFF, 64);
    const int out = d.addText("Data to send (hex):", "");
    if (d.exec() != QDialog::Accepted) return false;
    std::vector<uint8_t> cdb;
    if (!parseHexWords(d.text(bytes).toStdString(), cdb) ||
        (cdb.size() != 6 && cdb.size() != 10 && cdb.size() != 12 && cdb.size() != 16)) {
        op.message("A CDB has 6, 10, 12 or 16 bytes written in hexadecimal.", "Custom CDB", ui::Icon::Exclamation);
        return false;
    }
    std::vector<uint8_t> data;
    const int dir = d.choice(direction);
    if (dir == 2 && !parseHexWords(d.text(out).toStdString(), data)) {
        op.message("The data to send must be written in hexadecimal bytes.", "Custom CDB", ui::Icon::Exclamation);
        return false;
    }
    const size_t size = dir == 0 ? 0 : dir == 1 ? size_t(d.number(length)) : data.size();
    if (size > 64) {
        op.message(kCustomCdbTooLong, "Custom CDB", ui::Icon::Stop);
        return false;
    }
    data.resize(size);
    r.cdb = std::move(cdb);
    r.toDevice = dir == 2;
    r.data = std::move(data);
    return true;
}

}  // namespace

bool parseHexWords(const std::string& text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        if (word.size() > 2) return false;
        unsigned value = 0;
        for (char c : word) {
            const int digit = std::isdigit(static_cast<unsigned char>(c))  ? c - '0'
                              : (c >= 'a' && c <= 'f')                     ? c - 'a' + 10
                              : (c >= 'A' && c <= 'F')                     ? c - 'A' + 10
                                                                           : -1;
            if (digit < 0) return false;
            value = value * 16 + unsigned(digit);
        }
        bytes.push_back(uint8_t(value));
    }
    return true;
}

bool commandHasParameters(int c) {
    switch (c) {
    case code::Space: case code::Locate: case code::ModeSense: case code::SetBlockSize: case code::Read:
    case code::Write: case code::WriteFilemarks: case code::Verify: case code::ReadBuffer: case code::WriteBuffer:
    case code::SendDiagnostic: case code::LogSense: case code::CreateCdb: case code::EraseLong:
    case code::WriteReadTest:
        return true;
    default: return false;
    }
}

bool askCommandParameters(int c, command::CommandRequest& r, QWidget* parent, ui::Operator& op) {
    switch (c) {
    case code::Space: {
        ParamDialog d("Space", parent);
        const int kind = d.addChoice("Code:", {"Blocks", "Filemarks", "Sequential Filemarks", "EOD"}, r.spaceCode);
        const int count = d.addNumber("Count:", -0x800000, 0x7FFFFF, r.spaceCount);
        if (d.exec() != QDialog::Accepted) return false;
        r.spaceCode = d.choice(kind);
        r.spaceCount = int32_t(d.number(count));
        return true;
    }
    case code::Locate: return locate(r, parent, op);
    case code::ModeSense: {
        ParamDialog d("Mode Sense", parent);
        const int pc = d.addChoice("Values:", {"Current Values", "Changable Values", "Default Values"}, 0);
        const int size = d.addChoice("CDB:", {"6 byte CDB", "10 byte CDB"}, 0);
        const int dbd = d.addCheck("Disable Block Descriptors", r.dbd);
        const int page = d.addNumber("Page Code (decimal):", 0, 63, r.pageCode);
        const int length = d.addNumber("Transfer Length:", 1, 255, r.allocationLength ? r.allocationLength : 255);
        if (d.exec() != QDialog::Accepted) return false;
        r.pageControl = uint8_t(d.choice(pc) * 0x40);
        r.cdbSize = d.choice(size) == 0 ? 6 : 10;
        r.dbd = d.checked(dbd);
        r.pageCode = uint8_t(d.number(page));
        r.allocationLength = uint16_t(d.number(length));
        return true;
    }
    case code::SetBlockSize: {
        ParamDialog d("Mode Select", parent);
        const int size = d.addNumber("Set Block Size:", 0, kMax24, r.newBlockSize);
        if (d.exec() != QDialog::Accepted) return false;
        r.newBlockSize = uint32_t(d.number(size));
        return true;
    }
    case code::Read: return transfer(r, parent, op, true);
    case code::Write: return transfer(r, parent, op, false);
    case code::WriteFilemarks: {
        ParamDialog d("Write Filemarks", parent);
        const int n = d.addNumber("Number of Filemarks to Write:", 0, kMax24, r.filemarks ? r.filemarks : 1);
        if (d.exec() != QDialog::Accepted) return false;
        r.filemarks = uint32_t(d.number(n));
        return true;
    }
    case code::Verify: {
        ParamDialog d("Verify", parent);
        const int check = d.addCheck("Byte Check", r.byteCheck);
        const int fixed = d.addCheck("Fixed", r.fixed);
        const int length = d.addNumber("Verification Length (decimal):", 0, kMax24, r.verifyLength);
        if (d.exec() != QDialog::Accepted) return false;
        r.byteCheck = d.checked(check);
        r.fixed = d.checked(fixed);
        r.verifyLength = uint32_t(d.number(length));
        return true;
    }
    case code::ReadBuffer:
    case code::WriteBuffer: {
        const bool read = c == code::ReadBuffer;
        const QStringList modes = read ? QStringList{"Combined Header & Data", "Data", "Descriptor", "Echo Buffer",
                                                     "Echo Buffer Descriptor"}
                                       : QStringList{"Write Combined Header & Data", "Write Data",
                                                     "Download Microcode & Save", "Echo Buffer"};
        const std::vector<uint8_t> codes = read ? std::vector<uint8_t>{0, 2, 3, 0x0A, 0x0B}
                                                : std::vector<uint8_t>{0, 2, 5, 0x0A};
        ParamDialog d(read ? "Read Buffer" : "Write Buffer", parent);
        const int mode = d.addChoice("Mode:", modes, 1);
        const int id = d.addChoice("Buffer ID:", read ? QStringList{"0", "1", "2"} : QStringList{"0"}, 0);
        const int offset = d.addNumber("Buffer Offset:", 0, 0xFFFF, r.bufferOffset);
        const int length = d.addNumber("Transfer Length:", 0, 0xFFFF, r.bufferLength ? r.bufferLength : 64);
        if (d.exec() != QDialog::Accepted) return false;
        r.bufferMode = codes[size_t(d.choice(mode))];
        r.bufferId = uint8_t(d.choice(id));
        r.bufferOffset = uint32_t(d.number(offset));
        r.bufferLength = uint32_t(d.number(length));
        return true;
    }
    case code::SendDiagnostic: {
        ParamDialog d("Send Diagnostic", parent);
        const int level = d.addChoice("Self-Test:", {"Self-Test Level 1 (device off-line)", "Self-Test Level 1 (device on-line)",
                                                     "Self-Test Level 2 (device off-line)", "Self-Test Level 2 (device on-line)",
                                                     "Self-Test Level 2/3 (default parameters)"}, 0);
        if (d.exec() != QDialog::Accepted) return false;
        static constexpr uint8_t kCodes[] = {4, 6, 5, 7, 1};
        r.selfTestCode = kCodes[d.choice(level)];
        return true;
    }
    case code::LogSense: {
        ParamDialog d("Log Sense", parent);
        const int pc = d.addChoice("Page Control:", {"Threshold", "Cumulative", "Default Threshold", "Default Cumulative"}, 1);
        const int page = d.addNumber("Page Code (decimal):", 0, 63, r.pageCode);
        if (d.exec() != QDialog::Accepted) return false;
        r.pageControl = uint8_t(d.choice(pc) * 0x40);
        r.pageCode = uint8_t(d.number(page));
        return true;
    }
    case code::CreateCdb: return customCdb(r, parent, op);
    case code::EraseLong:
        return op.message(kLongEraseQuestion, "Vexal", ui::Icon::Question, ui::Buttons::OkCancel,
                          ui::Button::Cancel) == ui::Button::Ok;
    case code::WriteReadTest: {
        ParamDialog d("Write/Read Test", parent);
        const int fixed = d.addCheck("Fixed Block Transfers", r.fixed);
        const int size = d.addNumber("Logical Block Size:", 1, kMax24, r.blockSize ? r.blockSize : 512);
        const int length = d.addNumber("Transfer Length:", 1, kMax24, r.transferLength ? r.transferLength : 512);
        const int count = d.addNumber("Count (0 = to the end of medium):", 0, 0x7FFFFFFF, r.count ? r.count : 10);
        const int pattern = d.addChoice("Data Pattern:", kPatterns, r.dataPattern);
        const int compare = d.addCheck("Compare", true);
        const int repeat = d.addNumber("Repeat:", 1, 0x7FFFFFFF, r.repeatCount);
        if (d.exec() != QDialog::Accepted) return false;
        r.fixed = d.checked(fixed);
        r.blockSize = uint32_t(d.number(size));
        r.transferLength = uint32_t(d.number(length));
        r.count = d.number(count);
        r.dataPattern = d.choice(pattern);
        r.compare = d.checked(compare);
        r.repeatCount = d.number(repeat);
        const uint64_t total = r.fixed ? uint64_t{r.transferLength} * r.blockSize : r.transferLength;
        if (total > kMaxOperatorTransfer) {
            op.message(kTransferTooLargeText, "Vexal", ui::Icon::Exclamation);
            return false;
        }
        return true;
    }
    default: return true;
    }
}

}  // namespace vexal::gui
