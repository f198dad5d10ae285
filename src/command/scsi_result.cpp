#include "command/scsi_result.h"

#include <array>

namespace vexal::command {
namespace {

struct Mapping {
    int lastError;
    ScsiResult result;
};

constexpr std::array<Mapping, 14> kMappings{{
    {0x02, 0xAA02}, {0x03, 0xAA03}, {0xE0, 0xAAE0}, {0xE1, 0xAAE1}, {0xE6, 0xAAE6},
    {0x09, 0xAB09}, {0x0B, 0xAB0B}, {0x0D, 0xAB0D}, {0x0E, 0xAB0E}, {0x0F, 0xAB0F},
    {0x11, 0xAB11}, {0x12, 0xAB12}, {0x13, 0xAB13}, {0x14, 0xAB14},
}};

}  // namespace

ScsiResult resultFromLibrary(int executeFailed, int lastError) {
    if (executeFailed == 0) return 0;
    if (lastError == 0) return 1;
    for (const Mapping& m : kMappings)
        if (m.lastError == lastError) return m.result;
    return 0xAB10;
}

}  // namespace vexal::command
