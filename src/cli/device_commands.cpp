#include "cli/device_commands.h"

#include <iostream>

#include "cli/hex_bytes.h"
#include "cli/number_option.h"
#include "cli/space_code.h"
#include "cli/json_result.h"
#include "command/data_pattern.h"
#include "command/locate_address.h"
#include "command/sense_decoder.h"
#include "command/status_names.h"
#include "command/transfer_limits.h"
#include "device/device_library.h"
#include "device/stored_timeouts.h"

namespace vexal::cli {
namespace {

namespace code = command::code;

using command::kLongEraseQuestion;
using command::kMaxOperatorTransfer;
// The largest command count the frame's "%d" count line can show; a larger number (the
// option parser turns digits past the type's range into its maximum) is refused, not cut.
constexpr long kMaxCount = 2147483647;

constexpr const char* kTimeoutQuestion = "Are you sure you want to modify the command timeout value for this device?";
// The desktop has no Format command to borrow a question from; the long erase's tells the
// same kind of news.
constexpr const char* kFormatQuestion =
    "Format Medium erases everything on the tape and can take many hours.  Click 'OK' to continue.";

int checkTransfer(command::CommandRequest& request, const TransferOptions& t) {
    if (!command::parsePatternName(t.pattern, request.dataPattern)) {
        std::cerr << "Unknown pattern '" << t.pattern << "': use incr, word, zeros, random, nocompare or blocknum.\n";
        return kExitUsage;
    }
    const uint64_t total = t.fixed ? uint64_t{t.transferLength} * t.blockSize : t.transferLength;
    if (total == 0 || t.transferLength > 0xFFFFFF || t.blockSize > 0xFFFFFF) {
        std::cerr << command::kTransferRangeText << "\n";
        return kExitUsage;
    }
    if (total > kMaxOperatorTransfer) {
        std::cerr << command::kTransferTooLargeText << "\n";
        return kExitUsage;
    }
    if (t.count < 0 || t.count > kMaxCount) {
        std::cerr << "--count takes 0 (to the end of medium) to " << kMaxCount << ".\n";
        return kExitUsage;
    }
    request.fixed = t.fixed;
    request.sili = t.sili;
    request.blockSize = t.blockSize;
    request.transferLength = t.transferLength;
    request.count = t.count;
    request.compare = t.compare && request.dataPattern != command::pattern::NoCompare;
    return kExitDone;
}

// The Locate address in the forms every number takes; what is refused is told with the
// Locate dialog's sentences (bounds: 0 up to, not including, FFFFFFh), then the forms.
int parseAddress(const std::string& text, uint32_t& address) {
    constexpr NumberRange kAddresses{0, 0xFFFFFE};
    const auto value = parseNumber(text, kAddresses);
    if (value && *value <= kAddresses.max) {
        address = static_cast<uint32_t>(*value);
        return kExitDone;
    }
    uint32_t ignored = 0;
    const auto error = value ? command::AddressError::OutOfBounds : command::parseLocateAddress(text, ignored);
    std::cerr << "ADDRESS: "
              << command::addressErrorText(error == command::AddressError::None ? command::AddressError::OutOfBounds
                                                                                : error)
              << "  Give 0 to 16777214 (0xFFFFFE) as decimal (31), 0x1F or 1FH.\n";
    return kExitUsage;
}

}  // namespace

DeviceCommands::Entry& DeviceCommands::add(CLI::App& app, const char* name, const char* help, int commandCode,
                                           std::function<int(Entry&, CliSession&)> prepare) {
    Entry& e = entries_.emplace_back();
    e.sub = app.add_subcommand(name, help);
    e.request.code = commandCode;
    e.prepare = std::move(prepare);
    return e;
}

void DeviceCommands::addTransfer(CLI::App& app, const char* name, const char* help, int commandCode, bool isRead) {
    Entry& e = add(app, name, help, commandCode, [](Entry& entry, CliSession&) {
        return checkTransfer(entry.request, entry.transfer);
    });
    auto& t = e.transfer;
    e.sub->add_flag("--fixed", t.fixed, "Fixed-block transfers");
    if (isRead) e.sub->add_flag("--sili", t.sili, "Suppress the incorrect-length indicator");
    addNumber(e.sub, "--block-size", t.blockSize, "Logical block size (fixed mode)", {0, 0xFFFFFF, true});
    addNumber(e.sub, "--transfer-length", t.transferLength, "Blocks (fixed) or bytes (variable)", {0, 0xFFFFFF, true})
        ->required();
    addNumber(e.sub, "--count", t.count, "Consecutive commands (0: to the end of medium)", kAnyNumber);
    e.sub->add_option("--pattern", t.pattern, "incr, word, zeros, random, nocompare or blocknum");
    if (isRead) e.sub->add_flag("--compare", t.compare, "Compare the data with the pattern");
}

DeviceCommands::DeviceCommands(CLI::App& app) {
    add(app, "tur", "TEST UNIT READY", code::TestUnitReady);
    add(app, "request-sense", "REQUEST SENSE (29 bytes, decoded)", code::RequestSense);
    add(app, "inquiry", "INQUIRY, decoded (--serial: the unit serial number page)", code::Inquiry)
        .sub->add_flag("--serial", entries_.back().request.vpd, "Read VPD page 80h and store the serial number");
    for (auto [name, help, c] : {std::tuple{"rewind", "REWIND", code::Rewind},
                                 std::tuple{"load", "LOAD", code::Load},
                                 std::tuple{"unload", "UNLOAD", code::Unload},
                                 std::tuple{"retension", "LOAD with retension", code::Retension}})
        add(app, name, help, c).sub->add_flag("--immediate", entries_.back().request.immediate,
                                              "Return before the tape has moved");
    {
        Entry& e = add(app, "write-filemarks", "WRITE FILEMARKS", code::WriteFilemarks);
        addNumber(e.sub, "N", e.request.filemarks, "Number of filemarks (0 flushes the buffer)", {0, 0xFFFFFF})
            ->required();
    }
    addTransfer(app, "read", "READ, once or repeatedly, with compare", code::Read, true);
    addTransfer(app, "write", "WRITE, once or repeatedly, with a data pattern", code::Write, false);
    add(app, "read-block-limits", "READ BLOCK LIMITS", code::ReadBlockLimits);
    add(app, "read-position", "READ POSITION", code::ReadPosition)
        .sub->add_flag("--bt", entries_.back().request.blockAddressType, "Block address type");
    {
        Entry& e = add(app, "space",
                       "SPACE CODE [COUNT]: blocks (0), filemarks (1), sequential-filemarks (2), eod (3; no count)",
                       code::Space);
        e.sub->add_option("CODE", e.request.spaceCode, kSpaceCodeHelp)->required()->transform(spaceCodeOption());
        auto* count = addNumber(e.sub, "COUNT", e.request.spaceCount, "How many (negative: backwards; none for eod)",
                                {-8388608, 8388607});
        e.prepare = [count](Entry& entry, CliSession&) {
            if (count->count() > 0 || entry.request.spaceCode == kSpaceEndOfData) return kExitDone;
            std::cerr << "COUNT is needed: how many to space over (negative: backwards); only eod goes without.\n";
            return kExitUsage;
        };
    }
    {
        Entry& e = add(app, "locate", "LOCATE ADDRESS (decimal, 0x1F or 1FH)", code::Locate,
                       [](Entry& entry, CliSession&) { return parseAddress(entry.text, entry.request.blockAddress); });
        e.sub->add_option("ADDRESS", e.text, "Block address: decimal, 0x1F or 1FH")->required();
        auto* partition = addNumber(e.sub, "--partition", e.request.partition, "Change to this partition", {0, 255});
        e.sub->add_flag("--immediate", e.request.immediate, "Return before the tape has moved");
        e.sub->add_flag("--bt", e.request.blockAddressType, "Block address type");
        e.prepare = [partition, prepare = e.prepare](Entry& entry, CliSession& s) {
            entry.request.changePartition = partition->count() > 0;
            return prepare(entry, s);
        };
    }
    for (auto [name, help, c] : {std::tuple{"mode-sense", "MODE SENSE", code::ModeSense}}) {
        Entry& e = add(app, name, help, c);
        e.request.allocationLength = 255;
        addNumber(e.sub, "--page", e.request.pageCode, "Page code (0x3F or 63: all pages)", {0, 63});
        addNumber(e.sub, "--length", e.request.allocationLength, "Transfer length", {1, 65535, true});
        addNumber(e.sub, "--cdb-size", e.request.cdbSize, "6 or 10", {6, 10})->check(CLI::IsMember({6, 10}));
        e.sub->add_flag("--dbd", e.request.dbd, "Disable block descriptors");
        e.sub->add_option("--pc", e.text, "current, changeable, default or saved")
            ->check(CLI::IsMember({"current", "changeable", "default", "saved"}));
        e.prepare = [](Entry& entry, CliSession&) {
            const std::string& pc = entry.text;
            entry.request.pageControl = pc == "changeable" ? 0x40 : pc == "default" ? 0x80 : pc == "saved" ? 0xC0 : 0;
            return kExitDone;
        };
    }
    {
        Entry& e = add(app, "mode-select", "MODE SELECT with the given parameter list", code::ModeSelect,
                       [](Entry& entry, CliSession&) {
                           std::string error;
                           if (parseHexBytes(entry.text, entry.request.data, error) && !entry.request.data.empty())
                               return kExitDone;
                           std::cerr << "Bad parameter list: " << (error.empty() ? "it is empty." : error) << "\n";
                           return kExitUsage;
                       });
        e.sub->add_option("DATA", e.text, "The parameter list as hex bytes")->required();
        addNumber(e.sub, "--cdb-size", e.request.cdbSize, "6 or 10", {6, 10})->check(CLI::IsMember({6, 10}));
    }
    {
        Entry& e = add(app, "set-block-size", "Set the fixed block size (0: variable)", code::SetBlockSize);
        addNumber(e.sub, "N", e.request.newBlockSize, "Block size in bytes (0: variable blocks)", {0, 0xFFFFFF, true})
            ->required();
    }
    {
        Entry& e = add(app, "compression", "Hardware data compression on or off", code::CompressionOn,
                       [](Entry& entry, CliSession&) {
                           entry.request.code = entry.text == "on" ? code::CompressionOn : code::CompressionOff;
                           return kExitDone;
                       });
        e.sub->add_option("STATE", e.text, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
    }
    {
        Entry& e = add(app, "verify", "VERIFY", code::Verify);
        e.sub->add_flag("--fixed", e.request.fixed, "Fixed-block verify");
        e.sub->add_flag("--byte-check", e.request.byteCheck, "Byte compare");
        addNumber(e.sub, "--length", e.request.verifyLength, "Verification length", {0, 0xFFFFFF, true})->required();
    }
    {
        Entry& e = add(app, "erase", "ERASE (--long asks first: it can take hours)", code::EraseShort,
                       [](Entry& entry, CliSession& session) {
                           if (entry.text != "long") return kExitDone;
                           entry.request.code = code::EraseLong;
                           if (session.context().op().hazardQuestion(kLongEraseQuestion, "Vexal", ui::Icon::Question,
                                                                     ui::Buttons::OkCancel,
                                                                     ui::Button::Cancel) == ui::Button::Ok)
                               return kExitDone;
                           return kExitFailed;
                       });
        auto* group = e.sub->add_option_group("kind");
        group->add_flag_callback("--long", [&e] { e.text = "long"; }, "Long erase: to the end of the tape");
        group->add_flag_callback("--short", [&e] { e.text = "short"; }, "Short erase: an end-of-data mark");
        group->require_option(1);
    }
    for (auto [name, help, c] : {std::tuple{"read-buffer", "READ BUFFER", code::ReadBuffer},
                                 std::tuple{"write-buffer", "WRITE BUFFER", code::WriteBuffer}}) {
        Entry& e = add(app, name, help, c);
        addNumber(e.sub, "--mode", e.request.bufferMode,
                  c == code::WriteBuffer
                      ? "Mode: 0 header and data, 2 data (default), 10 echo buffer; 4 download microcode and 5 "
                        "download microcode and save change the firmware: for an update use 'vexal-cli firmware IMAGE'"
                      : "Mode: 0 header and data, 2 data (default), 3 descriptor, 10 echo buffer, 11 echo buffer "
                        "descriptor",
                  {0, 31});
        addNumber(e.sub, "--id", e.request.bufferId, "Buffer ID", {0, 255});
        addNumber(e.sub, "--offset", e.request.bufferOffset, "Buffer offset in bytes", {0, 0xFFFFFF, true});
        addNumber(e.sub, "--length", e.request.bufferLength, "Transfer length in bytes", {0, 0xFFFF, true});
        if (c == code::WriteBuffer) {
            e.sub->add_option("--data", e.text, "Data as hex bytes (zeros when absent)");
            e.prepare = [](Entry& entry, CliSession&) {
                std::string error;
                if (!entry.text.empty() && !parseHexBytes(entry.text, entry.request.data, error)) {
                    std::cerr << "Bad --data: " << error << "\n";
                    return kExitUsage;
                }
                if (entry.request.bufferLength == 0) entry.request.bufferLength = static_cast<uint32_t>(entry.request.data.size());
                return kExitDone;
            };
        }
    }
    {
        Entry& e = add(app, "format", "FORMAT MEDIUM (asks first: it erases the whole tape)", code::Format,
                       [](Entry&, CliSession& session) {
                           return session.context().op().hazardQuestion(kFormatQuestion, "Vexal", ui::Icon::Question,
                                                                        ui::Buttons::OkCancel,
                                                                        ui::Button::Cancel) == ui::Button::Ok
                                      ? kExitDone
                                      : kExitFailed;
                       });
        addNumber(e.sub, "--code", e.request.formatCode, "Format code (0 to 15)", {0, 15});
        e.sub->add_flag("--immediate", e.request.immediate, "Return before the format has finished");
    }
    {
        Entry& e = add(app, "send-diagnostic", "SEND DIAGNOSTIC", code::SendDiagnostic);
        addNumber(e.sub, "--self-test", e.request.selfTestCode,
                  "Self-test code: 1 level 2/3; 3, 5 or 7 level 2; 4 or 6 level 1; 0 none (the default)", {0, 255});
    }
    {
        Entry& e = add(app, "receive-diagnostic", "RECEIVE DIAGNOSTIC RESULTS", code::ReceiveDiagnostic);
        e.request.allocationLength = 64;
        addNumber(e.sub, "--length", e.request.allocationLength, "Allocation length (default 64)", {1, 65535, true});
    }
    add(app, "prevent", "PREVENT MEDIUM REMOVAL", code::PreventAllow).request.prevent = true;
    add(app, "allow", "ALLOW MEDIUM REMOVAL", code::PreventAllow);
    add(app, "reserve", "RESERVE UNIT", code::Reserve);
    add(app, "release", "RELEASE UNIT", code::Release);
    add(app, "init-element-status", "INITIALIZE ELEMENT STATUS", code::InitElementStatus);
    add(app, "log-select", "LOG SELECT: reset the log counters", code::LogSelect)
        .sub->add_flag("--reset", entries_.back().request.immediate, "Reset the log counters")->required();
    add(app, "bus-reset", "Reset the device", code::BusReset);
    timeout_ = app.add_subcommand("timeout", "Show or set the command time-out of the device");
    addNumber(timeout_, "--set", timeoutSeconds_,
              "New time-out in seconds, kept for this drive in later runs (--timeout: one run only)", {1, 4294967});
}

bool DeviceCommands::run(CliContext& context, int& rc) {
    if (*timeout_) {
        CliSession session(context);
        if (const int open = session.open(); open != kExitDone) {
            rc = session.finish(open);
            return true;
        }
        const int handle = session.doc().device().handle;
        const bool json = context.options().json;
        auto& out = JsonResult::run();
        const int current = device::DevTimeout(handle, 0, 0);
        if (json) out["timeout"] = current;
        else std::cout << "Current Timeout: " << current << "\n";
        rc = kExitDone;
        if (timeout_->get_option("--set")->count() > 0) {
            if (json) out["set"] = false;
            if (context.op().hazardQuestion(kTimeoutQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo,
                                            ui::Button::No) == ui::Button::Yes) {
                const int now = device::DevTimeout(handle, 1, static_cast<int>(timeoutSeconds_));
                if (json) {
                    out["timeout"] = now;
                    out["set"] = now == static_cast<int>(timeoutSeconds_);
                } else {
                    std::cout << "Timeout: " << now << "\n";
                }
                if (now != static_cast<int>(timeoutSeconds_)) {
                    rc = kExitFailed;
                } else if (device::DeviceEntry entry; !context.scanner().BindDevice(handle, entry) ||
                                                      !device::storeTimeout(entry, now)) {
                    std::cerr << "The time-out holds for this run only: it could not be kept in the profile.\n";
                    rc = kExitTransport;
                }
            }
        }
        rc = session.finish(rc);
        return true;
    }
    for (Entry& e : entries_) {
        if (!*e.sub) continue;
        CliSession session(context);
        if (const int open = session.open(); open != kExitDone) {
            rc = session.finish(open);
            return true;
        }
        if (e.prepare) {
            if (const int checked = e.prepare(e, session); checked != kExitDone) {
                rc = session.finish(checked);
                return true;
            }
        }
        session.doc().request() = e.request;
        auto& device = session.doc().device();
        // A command that fails without sense data leaves the status name alone: start from
        // none, so that such a failure is named from its result instead of shown blank.
        device.status.lastStatus.clear();
        device.status.lastSense.clear();  // the sense shown is this command's or none
        const command::ScsiResult result = session.run();
        session.recordResult(result, e.request.code == code::RequestSense);
        const bool named = !device.status.lastStatus.empty();
        // In customer mode the frame writes no status line: say how it ended, what was done
        // about a time-out, and why the pass-through failed when it did.
        const std::string systemError = result != 0 ? device::DevSystemErrorText(device.handle) : std::string();
        if (context.options().json) {
            auto& out = JsonResult::run();
            if (!systemError.empty()) out["system_error"] = systemError;
            if (e.request.code == code::Read || e.request.code == code::Write) {
                out["requested"] = e.request.count;
                out["completed"] = device.completedCommands;
                if (e.request.code == code::Read) out["compare_errors"] = device.compareErrors;
            }
            device::TimeoutReport timeouts;
            device::DevGetTimeoutReport(device.handle, &timeouts);
            if (const auto note = command::timeoutNote(timeouts))
                out["timeout_note"] = note->substr(note->find_first_not_of(' '));
        } else if (!session.app().engineeringMode) {
            std::cout << "Status: " << (named ? device.status.lastStatus : command::statusName(result)) << "\n";
            if (!systemError.empty()) std::cout << "System error: " << systemError << "\n";
            device::TimeoutReport timeouts;
            device::DevGetTimeoutReport(device.handle, &timeouts);
            if (const auto note = command::timeoutNote(timeouts))
                std::cerr << note->substr(note->find_first_not_of(' ')) << "\n";
        } else if (!named && result != 0) {
            std::cerr << "The command ended with " << command::statusName(result) << " and no sense data"
                      << (systemError.empty() ? "" : ": " + systemError) << ".\n";
        }
        rc = session.finish(result != 0 || device.compareErrors > 0 ? kExitFailed : kExitDone);
        return true;
    }
    return false;
}

}  // namespace vexal::cli
