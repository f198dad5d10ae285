#include "diag/load_count_threshold.h"

#include <string>

#include "diag/eeprom_page.h"
#include "diag/eeprom_write.h"

namespace vexal::diag {

bool loadCountThresholdInRange(long value) {
    return value >= kLoadCountThresholdMinimum && value <= kLoadCountThresholdMaximum;
}

std::optional<long> ReadLoadCountThreshold(command::CScsiDevice& device, ui::Operator& op,
                                           const std::filesystem::path& installPath) {
    EepromParameterList list(device, op, installPath);
    long value = 0;
    if (!list.Load() || !list.FindValue(kLoadCountParameter, value)) return std::nullopt;
    return value;
}

bool WriteLoadCountThreshold(command::CScsiDevice& device, long value) {
    return WriteEepromParameter(device, kLoadCountParameter, std::to_string(value)).ok();
}

}  // namespace vexal::diag
