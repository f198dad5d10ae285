#pragma once
// The document's single pending command: its code and parameters.
#include <cstdint>
#include <string>
#include <vector>

namespace vexal::command {

// Command codes of the interactive commands.
namespace code {
inline constexpr int None = 0;
inline constexpr int EraseLong = 2;
inline constexpr int EraseShort = 3;
// No menu item sends it; the terminal's format command does.
inline constexpr int Format = 4;
inline constexpr int CompressionOn = 5;
inline constexpr int CompressionOff = 6;
inline constexpr int TestUnitReady = 7;
inline constexpr int Inquiry = 8;
inline constexpr int FirmwareBuild = 9;
inline constexpr int Load = 10;
inline constexpr int Locate = 11;
inline constexpr int ModeSelect = 12;
inline constexpr int ModeSense = 13;
inline constexpr int Read = 14;
inline constexpr int Retension = 15;
inline constexpr int ReadBlockLimits = 16;
inline constexpr int ReadPosition = 17;
inline constexpr int ReadBuffer = 18;
inline constexpr int Rewind = 19;
inline constexpr int RequestSense = 20;
inline constexpr int SetBlockSize = 21;
inline constexpr int Space = 22;
inline constexpr int Unload = 23;
inline constexpr int WriteFilemarks = 24;
inline constexpr int Write = 25;
inline constexpr int WriteBuffer = 26;
inline constexpr int ScriptWrite = 27;
inline constexpr int ScriptRead = 28;
inline constexpr int CreateCdb = 29;
inline constexpr int LogSelect = 36;
inline constexpr int WriteReadTest = 39;
// The numbered canned tests 1 to 4.
inline constexpr int CannedTest1 = 40;
inline constexpr int CannedTest2 = 41;
inline constexpr int CannedTest3 = 42;
inline constexpr int CannedTest4 = 43;
inline constexpr int PreventAllow = 49;
inline constexpr int Reserve = 51;
inline constexpr int Release = 52;
inline constexpr int BusReset = 53;
inline constexpr int InitElementStatus = 54;
inline constexpr int LogSense = 55;
inline constexpr int Verify = 56;
inline constexpr int SendDiagnostic = 57;
inline constexpr int ReceiveDiagnostic = 58;
}  // namespace code

// Data patterns of the read and write commands.
namespace pattern {
inline constexpr int IncrementalByte = 0;
inline constexpr int IncrementalWord = 1;
inline constexpr int Zeros = 2;
inline constexpr int PseudoRandom = 3;
inline constexpr int NoCompare = 4;
inline constexpr int BlockNumberOnly = 5;
}  // namespace pattern

// What a script's repeated READ or WRITE reports back (see CScsiDevice::ScriptTransfer).
struct ScriptTransferResult {
    uint32_t commands = 0;   // commands that ended GOOD
    uint8_t status = 0;      // 0 good, 1 miscompare, 2 a command failed, 3 the request was refused
    uint32_t errorAt = 0;    // the command (counted from 0) that miscompared or failed
    uint32_t address = 0;    // byte offset of the first miscompare in that command's data
    uint8_t readByte = 0;    // the byte read there
    uint8_t wroteByte = 0;   // the byte expected there
};

struct CommandRequest {
    int code = code::None;
    bool immediate = false;
    bool vpd = false;

    // Read, Write and the Write/Read test.
    bool fixed = false;
    bool sili = false;
    uint32_t blockSize = 0;
    uint32_t transferLength = 0;
    long count = 1;  // consecutive commands; 0 runs to the end of medium
    bool compare = false;
    int dataPattern = pattern::IncrementalByte;
    uint32_t filemarks = 0;
    // How a canned test's READ or WRITE step differs from the menu command: no RAW_CDB
    // line; a compare error dumps this many bytes from the difference (0: the row that
    // holds it); the pattern starts at this command number (a read after a locate).
    bool rawCdbLine = true;
    uint32_t compareDumpBytes = 0;
    uint64_t patternStart = 0;

    // Canned tests
    long repeatCount = 1;
    bool compression = false;
    uint32_t minBlockSize = 4;
    uint32_t maxBlockSize = 4;
    uint32_t blockIncrement = 2;

    // Space, Locate, Read Position
    int spaceCode = 0;
    int32_t spaceCount = 0;
    uint32_t blockAddress = 0;
    uint8_t partition = 0;
    bool changePartition = false;
    bool blockAddressType = false;  // BT

    // Mode Sense / Select, Set Block Size, Compression
    bool dbd = false;
    uint8_t pageControl = 0;  // 0x00, 0x40, 0x80 or 0xC0
    uint8_t pageCode = 0;
    uint16_t allocationLength = 0;
    int cdbSize = 6;
    uint32_t newBlockSize = 0;

    // Read / Write Buffer
    uint8_t bufferMode = 2;
    uint8_t bufferId = 0;
    uint32_t bufferOffset = 0;
    uint32_t bufferLength = 0;

    // Verify, Send Diagnostic, Prevent, Format
    bool byteCheck = false;
    uint32_t verifyLength = 0;
    uint8_t selfTestCode = 0;
    bool prevent = false;
    uint8_t formatCode = 0;

    // Script repeated transfers (ScriptRead/ScriptWrite): `cdb` is sent `count` times with
    // the script's buffer; the outcome lands in `scriptResult`.
    uint8_t* scriptBuffer = nullptr;
    uint32_t scriptBufferSize = 0;
    ScriptTransferResult* scriptResult = nullptr;

    // Create CDB
    std::vector<uint8_t> cdb;
    bool toDevice = false;
    std::vector<uint8_t> data;
};

}  // namespace vexal::command
