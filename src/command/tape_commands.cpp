// The single commands of the Commands menu: CDBs, parameter lines and decoded results.
#include <array>
#include <vector>

#include <fmt/format.h>

#include "command/scsi_device.h"

namespace vexal::command {
namespace {

uint32_t be(const uint8_t* d, size_t n) {
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | d[i];
    return v;
}

uint8_t byteOf(uint32_t value, int shift) { return static_cast<uint8_t>(value >> shift); }

std::string_view pageControlName(uint8_t pc) {
    switch (pc & 0xC0) {
    case 0x00: return "Current";
    case 0x40: return "Changable";
    case 0x80: return "Default";
    default: return "Saved";
    }
}

std::string_view bufferModeText(uint8_t mode, bool read) {
    switch (mode) {
    case 0x0: return " (Header and Data)";
    case 0x2: return " (Data)";
    case 0x3: return read ? " (Descriptor)" : "";
    case 0x4: return read ? "" : " (Download Micro-code)";
    case 0x5: return read ? "" : " (Download Micro-code and Save)";
    case 0xA: return " (Echo Buffer)";
    case 0xB: return read ? " (Echo Buffer Descriptor)" : "";
    default: return "";
    }
}

std::string_view selfTestText(uint8_t code) {
    switch (code) {
    case 1: return "Self-Test Level 2/3";
    case 3: case 5: case 7: return "Self-Test Level 2";
    case 4: case 6: return "Self-Test Level 1";
    case 0: return "None";  // no self-test asked for
    default: return "Not a Self-Test Level";
    }
}

}  // namespace

ScsiResult CScsiDevice::RunFrame(const Frame& frame, const std::vector<uint8_t>& cdb, uint8_t* data, uint32_t length,
                                 bool toDevice, const std::function<void(ScsiResult)>& results) {
    LogCommandSent();
    Line(frame.name, frame.nameRule);
    for (const auto& p : frame.parameters) Line(p, frame.nameRule);
    if (frame.rawCdb) LogRawCdb(cdb.data(), static_cast<int>(cdb.size()), frame.cdbRule);
    ScsiResult result = ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), data, length, toDevice);
    if (results) results(result);
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

ScsiResult CScsiDevice::LoadUnload(int loadCode, bool immediate) {
    const std::string_view name = loadCode == 1 ? " Load" : loadCode == 3 ? " Retension" : " Unload";
    return RunFrame({name, {}, LineRule::Always, LineRule::FileAlwaysViewEngineering},
                    {0x1B, static_cast<uint8_t>(immediate), 0, 0, static_cast<uint8_t>(loadCode), 0}, nullptr, 0,
                    false);
}

ScsiResult CScsiDevice::Space(int spaceCode, int32_t count) {
    const uint32_t c = static_cast<uint32_t>(count) & 0xFFFFFF;
    return RunFrame({" Space", {fmt::format("  Code: {:02X}, Count = {}", spaceCode, count)}},
                    {0x11, static_cast<uint8_t>(spaceCode & 0x07), byteOf(c, 16), byteOf(c, 8), byteOf(c, 0), 0},
                    nullptr, 0, false);
}

ScsiResult CScsiDevice::Locate(const CommandRequest& r) {
    // Changing partition sends CP alone: the immediate and BT bits are not set then.
    const uint8_t flags = r.changePartition ? 0x02
                                            : static_cast<uint8_t>((r.immediate ? 0x01 : 0) | (r.blockAddressType ? 0x04 : 0));
    std::vector<std::string> params{fmt::format("  Block Number: {} (0x{:02X})", r.blockAddress, r.blockAddress)};
    if (r.changePartition) params.push_back(fmt::format("  Partition: {}", r.partition));
    const uint32_t a = r.blockAddress;
    return RunFrame({" Locate", params},
                    {0x2B, flags, 0, byteOf(a, 24), byteOf(a, 16), byteOf(a, 8), byteOf(a, 0), 0,
                     static_cast<uint8_t>(r.changePartition ? r.partition : 0), 0},
                    nullptr, 0, false);
}

ScsiResult CScsiDevice::ReadBlockLimits() {
    std::array<uint8_t, 6> d{};
    return RunFrame({" Read Block Limits"}, {0x05, 0, 0, 0, 0, 0}, d.data(), 6, false, [&](ScsiResult) {
        // Each field only when the drive sent its bytes.
        const size_t n = transferred();
        LogRawData(d.data(), n, LineRule::Always);
        if (n >= 1) Line(fmt::format("   Granularity: {}, (0x{:02X})", d[0] & 0x1F, d[0] & 0x1F), LineRule::Always);
        if (n >= 4)
            Line(fmt::format("   Maximum Block Length: {}, (0x{:02X}{:02X}{:02X})", be(&d[1], 3), d[1], d[2], d[3]),
                 LineRule::Always);
        if (n >= 6)
            Line(fmt::format("   Minimum Block Length: {}, (0x{:02X}{:02X})", be(&d[4], 2), d[4], d[5]),
                 LineRule::Always);
    });
}

ScsiResult CScsiDevice::ReadPosition(bool blockAddressType) {
    std::array<uint8_t, 20> d{};
    const std::vector<uint8_t> cdb{0x34, static_cast<uint8_t>(blockAddressType ? 1 : 0), 0, 0, 0, 0, 0, 0, 0, 0};
    return RunFrame({" Read Position"}, cdb, d.data(), 20, false, [&](ScsiResult) {
        const auto R = LineRule::Always;
        // Each field only when the drive sent its bytes.
        const size_t n = transferred();
        LogRawData(d.data(), n, R);
        Line(fmt::format("   BT: {}", blockAddressType ? "TRUE" : "FALSE"), R);
        if (n == 0) return;
        Line("   Data Returned: ", R);
        Line(fmt::format("   Flags: {}{}{}", (d[0] & 0x04) ? " PositionUnknown" : "", (d[0] & 0x40) ? " EOP" : "",
                         (d[0] & 0x80) ? " BOP" : ""),
             R);
        if (n >= 2) Line(fmt::format("   Partition Number: {}, (0x{:02X})", d[1], d[1]), R);
        if (n >= 8)
            Line(fmt::format("   First Block: {} (0x{:02X}{:02X}{:02X}{:02X})", be(&d[4], 4), d[4], d[5], d[6], d[7]),
                 R);
        if (n >= 12)
            Line(fmt::format("   Last Block: {} (0x{:02X}{:02X}{:02X}{:02X})", be(&d[8], 4), d[8], d[9], d[10], d[11]),
                 R);
        if (n >= 16)
            Line(fmt::format("   Blocks In Buffer: {} (0x{:02X}{:02X}{:02X})", be(&d[13], 3), d[13], d[14], d[15]), R);
        if (n >= 20)
            Line(fmt::format("   Bytes In Buffer: {} (0x{:02X}{:02X}{:02X}{:02X})", be(&d[16], 4), d[16], d[17],
                             d[18], d[19]),
                 R);
    });
}

ScsiResult CScsiDevice::Verify(const CommandRequest& r) {
    const uint32_t n = r.verifyLength & 0xFFFFFF;
    return RunFrame({" Verify", {fmt::format("  Byte Check = {}, Fixed = {}, VerifyLength = {}", int(r.byteCheck),
                                             int(r.fixed), n)}},
                    {0x13, static_cast<uint8_t>((r.fixed ? 1 : 0) | (r.byteCheck ? 2 : 0)), byteOf(n, 16), byteOf(n, 8),
                     byteOf(n, 0), 0},
                    nullptr, 0, false);
}

ScsiResult CScsiDevice::Erase(bool longErase) {
    return RunFrame({longErase ? " Long Erase" : " Short Erase"},
                    {0x19, static_cast<uint8_t>(longErase ? 1 : 0), 0, 0, 0, 0}, nullptr, 0, false);
}

ScsiResult CScsiDevice::ModeSense(const CommandRequest& r, std::vector<uint8_t>* buffer) {
    const bool ten = r.cdbSize == 10;
    const uint16_t length = ten ? r.allocationLength : static_cast<uint16_t>(std::min<uint16_t>(r.allocationLength, 255));
    std::vector<uint8_t> own;
    std::vector<uint8_t>& data = buffer ? *buffer : own;  // without a buffer, one is made for the command
    data.assign(length, 0);
    const uint8_t d = r.dbd ? 0x08 : 0x00;
    const uint8_t page = static_cast<uint8_t>((r.pageControl & 0xC0) | (r.pageCode & 0x3F));
    const std::vector<uint8_t> cdb = ten ? std::vector<uint8_t>{0x5A, d, page, 0, 0, 0, 0, byteOf(length, 8),
                                                                byteOf(length, 0), 0}
                                         : std::vector<uint8_t>{0x1A, d, page, 0, static_cast<uint8_t>(length), 0};
    return RunFrame({ten ? " ModeSense (10)" : " ModeSense (6)",
                     {fmt::format("  DBD = {}, PC = {}, Page Code = {:X}, Length = {}", int(r.dbd),
                                  pageControlName(r.pageControl), r.pageCode, length)}},
                    cdb, data.data(), length, false, [&](ScsiResult) {
                        // What the drive sent is what a caller may change and send back.
                        data.resize(transferred());
                        if (!data.empty()) LogRawData(data.data(), data.size(), LineRule::Always);
                    });
}

ScsiResult CScsiDevice::ModeSelect(const CommandRequest& r, std::vector<uint8_t>& buffer,
                                   const std::vector<std::string>& extraLines) {
    const bool ten = r.cdbSize == 10;
    const uint16_t length = static_cast<uint16_t>(std::min<size_t>(buffer.size(), ten ? 0xFFFF : 0xFF));
    const std::vector<uint8_t> cdb = ten ? std::vector<uint8_t>{0x55, 0x10, 0, 0, 0, 0, 0, byteOf(length, 8),
                                                                byteOf(length, 0), 0}
                                         : std::vector<uint8_t>{0x15, 0x10, 0, 0, static_cast<uint8_t>(length), 0};
    return RunFrame({ten ? " ModeSelect (10)" : " ModeSelect (6)", extraLines}, cdb, buffer.data(), length, true);
}

ScsiResult CScsiDevice::SetBlockSize(uint32_t blockSize) {
    CommandRequest sense;
    sense.allocationLength = 12;  // header and one block descriptor
    std::vector<uint8_t> data;
    ScsiResult result = ModeSense(sense, &data);
    if (result != 0) return result;
    if (data.size() < 12) return shortModeData(data.size(), 12);
    data[0] = 0;
    for (int i = 0; i < 4; ++i) data[8 + i] = byteOf(blockSize, 24 - 8 * i);
    return ModeSelect(sense, data, {fmt::format("  Fixed Block Size: {}", blockSize)});
}

ScsiResult CScsiDevice::Compression(bool enable) {
    CommandRequest sense;
    sense.dbd = true;
    sense.pageCode = 0x0F;
    sense.allocationLength = 20;
    std::vector<uint8_t> data;
    ScsiResult result = ModeSense(sense, &data);
    if (result != 0) return result;
    if (data.size() < 7) return shortModeData(data.size(), 7);
    data[0] = 0;
    data[6] = enable ? 0xC0 : 0x40;
    result = ModeSelect(sense, data);
    // Told only when the drive took the change.
    if (result == 0) out_.addToView(fmt::format("  Hardware Data Compression: {}", enable ? "Enabled" : "Disabled"));
    return result;
}

ScsiResult CScsiDevice::shortModeData(size_t got, size_t needed) {
    // A MODE SELECT built on bytes the drive never sent would set values nobody chose.
    Line(fmt::format("  [Vexal_ERROR: the drive sent {} bytes of mode data, {} are needed]", got, needed),
         LineRule::Always, 2);
    return kShortData;
}

ScsiResult CScsiDevice::ReadBuffer(const CommandRequest& r, std::vector<uint8_t>* out) {
    const uint32_t off = r.bufferOffset & 0xFFFFFF, len = r.bufferLength & 0xFFFFFF;
    std::vector<uint8_t> own;
    std::vector<uint8_t>& data = out ? *out : own;
    data.assign(len, 0);
    return RunFrame({" ReadBuffer",
                     {fmt::format("  Mode = 0x{:1X}{}", r.bufferMode, bufferModeText(r.bufferMode, true)),
                      fmt::format("  Buffer ID = 0x{:02X}", r.bufferId), fmt::format("  Offset = {}", off),
                      fmt::format("  Length = {}", len)}},
                    {0x3C, static_cast<uint8_t>(r.bufferMode & 0x1F), r.bufferId, byteOf(off, 16), byteOf(off, 8),
                     byteOf(off, 0), byteOf(len, 16), byteOf(len, 8), byteOf(len, 0), 0},
                    data.data(), len, false, [&](ScsiResult) {
                        data.resize(transferred());
                        LogRawData(data.data(), data.size(), LineRule::Always);
                    });
}

ScsiResult CScsiDevice::WriteBuffer(const CommandRequest& r) {
    const uint32_t off = r.bufferOffset & 0xFFFFFF;
    std::vector<uint8_t> data = r.data;
    data.resize(r.bufferLength & 0xFFFFFF, 0);
    const uint32_t len = static_cast<uint32_t>(data.size());
    return RunFrame({" WriteBuffer",
                     {fmt::format("  Mode = 0x{:1X}{}", r.bufferMode, bufferModeText(r.bufferMode, false)),
                      fmt::format("  Buffer ID = 0x{:02X}", r.bufferId), fmt::format("  Offset = {}", off),
                      fmt::format("  Length = {}", len)},
                     LineRule::EngineeringOnly, LineRule::EngineeringOnly},
                    {0x3B, static_cast<uint8_t>(r.bufferMode & 0x1F), r.bufferId, byteOf(off, 16), byteOf(off, 8),
                     byteOf(off, 0), byteOf(len, 16), byteOf(len, 8), byteOf(len, 0), 0},
                    data.data(), len, true);
}

ScsiResult CScsiDevice::SendDiagnostic(uint8_t selfTestCode) {
    return RunFrame({" SendDiagnostic", {fmt::format("  SelfTest = {}", selfTestText(selfTestCode))}},
                    {0x1D, selfTestCode, 0, 0, 0, 0}, nullptr, 0, false);
}

ScsiResult CScsiDevice::ReceiveDiagnostic(uint16_t length, std::vector<uint8_t>* out) {
    std::vector<uint8_t> own;
    std::vector<uint8_t>& data = out ? *out : own;
    data.assign(length, 0);
    return RunFrame({" GetDiagnosticResults"}, {0x1C, 0, 0, byteOf(length, 8), byteOf(length, 0), 0}, data.data(),
                    length, false, [&](ScsiResult) {
                        data.resize(transferred());
                        LogRawData(data.data(), data.size(), LineRule::Always);
                    });
}

ScsiResult CScsiDevice::PreventAllow(bool prevent) {
    return RunFrame({prevent ? " PreventMediumRemoval" : " AllowMediumRemoval"},
                    {0x1E, 0, 0, 0, static_cast<uint8_t>(prevent ? 1 : 0), 0}, nullptr, 0, false);
}

ScsiResult CScsiDevice::ReserveRelease(bool reserve) {
    return RunFrame({reserve ? " ReserveUnit" : " ReleaseUnit"},
                    {static_cast<uint8_t>(reserve ? 0x16 : 0x17), 0, 0, 0, 0, 0}, nullptr, 0, false);
}

ScsiResult CScsiDevice::InitElementStatus() {
    return RunFrame({" InitElementStatus"}, {0x07, 0, 0, 0, 0, 0}, nullptr, 0, false);
}

ScsiResult CScsiDevice::LogSelectReset() {
    return RunFrame({" LogSelect (ResetCounters)"}, {0x4C, 0x02, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr, 0, false);
}

ScsiResult CScsiDevice::Format(bool immediate, uint8_t formatCode) {
    Frame frame{" Format"};
    frame.rawCdb = false;
    return RunFrame(frame, {0x04, static_cast<uint8_t>(immediate ? 1 : 0), static_cast<uint8_t>(formatCode & 0x0F), 0, 0, 0},
                    nullptr, 0, false);
}

}  // namespace vexal::command
