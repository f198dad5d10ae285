#include "command/status_names.h"

#include <gtest/gtest.h>

#include <set>

using namespace vexal::command;

namespace {

TEST(StatusNames, TableIsSortedUniqueAndCompleteInItsTwoKeyRanges) {
    const auto table = statusNameTable();
    EXPECT_EQ(table.size(), 294u);
    std::set<std::string_view> names;
    for (size_t i = 0; i < table.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].key, table[i].key) << i;
        }
        const uint16_t key = table[i].key;
        EXPECT_TRUE(key <= 0x83FF || (key >= 0xA981 && key <= 0xAD0F)) << std::hex << key;
        EXPECT_FALSE(table[i].name.empty()) << std::hex << key;
        EXPECT_TRUE(names.insert(table[i].name).second) << "duplicate name " << table[i].name;
        for (char c : table[i].name) EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') << table[i].name;
    }
}

TEST(StatusNames, EveryKeyIsReachableByItsResult) {
    for (const StatusName& e : statusNameTable()) {
        EXPECT_EQ(statusName(e.key), e.name) << std::hex << e.key;
        // Only the low 16 bits select the name.
        EXPECT_EQ(statusName(0x50000 | e.key), e.name) << std::hex << e.key;
    }
}

TEST(StatusNames, SpotChecksAtTheEdgesOfTheFamilies) {
    const struct {
        uint16_t key;
        const char* name;
    } cases[] = {
        {0x0000, "SCSI_GOOD"},
        {0x0001, "FILEMARK_DETECTED"},
        {0x00F0, "SS_NTSTATUS"},
        {0x0100, "NO_INDEX_SECTOR_SIGNAL"},
        {0x0400, "LOGICAL_UNIT_NOT_READY_CAUSE_NOT_REPORTABLE"},
        {0x0401, "LOGICAL_UNIT_IS_IN_PROCESS_OF_BECOMING_READY"},
        {0x0407, "NOT_READY_LOADER_OPERATION_IN_PROGRESS"},
        {0x0B01, "OVER_TEMPERATURE_CONDITION_ERROR"},
        {0x1100, "UNRECOVERED_READ_ERROR"},
        {0x1180, "READ_SCSI_FIFO_CRC_ERROR"},
        {0x2400, "INVALID_FIELD_IN_CDB"},
        {0x248E, "INVALID_PERSONALITY_FOR_CODE_UPDATE"},
        {0x2701, "HARDWARE_WRITE_PROTECTED"},
        {0x2780, "HARDWARE_WRITEPROTECTED"},
        {0x3005, "CANNOT_WRITE_MEDIUM_INCOMPATIBLE_ERROR"},
        {0x3B00, "SEQUENTIAL_POSITIONING_ERROR"},
        {0x3B0E, "MEDIUM_SOURCE_ELEMENT_EMPTY"},
        {0x4084, "DIAGNOSTIC_POST_FAILURE_POST_SOFT_FAILURE"},
        {0x4400, "INTERNAL_TARGET_FAILURE"},
        {0x44C2, "EEROM_COPY_2_AREA_BAD"},
        {0x5D00, "TAPE_ALERT_FAILURE_PREDICTION_THRESHOLD_EXCEEDED"},
        {0x5DFF, "FALSE_EXCEPTION_CONDITION"},
        {0x8001, "CLEANING_REQUIRED_USE_CLEANING_TAPE"},
        {0x8300, "CANNOT_RETRY_READ_WRITE_DATA_TRANSFER"},
        {0xA981, "END_OF_MEDIUM"},
        {0xA982, "INCORRECT_LENGTH_INDICATOR"},
        {0xA9DD, "ERROR_RESOURCE_FAILURE"},
        {0xA9FF, "UNKNOWN_ERROR"},
        {0xAA02, "SRB_STATUS_ABORTED"},
        {0xAAE6, "SRB_STATUS_BUFFER_TO_BIG"},
        {0xAB09, "SRB_HASTAT_TIMEOUT"},
        {0xAB10, "SRB_HASTAT_REQUEST_SENSE_FAILED"},
        {0xAB14, "SRB_HASTAT_PHASE_ERROR"},
        {0xAC02, "SRB_TARGSTAT_CHECK_CONDITION"},
        {0xAC28, "SRB_TARGSTAT_QUEUE_FULL"},
        {0xAD00, "SENSE_NO_SENSE"},
        {0xAD0C, "SENSE_EQUAL"},
        {0xAD0F, "SENSE_RESERVED"},
    };
    for (const auto& c : cases) EXPECT_EQ(statusName(c.key), c.name) << std::hex << c.key;
}

TEST(StatusNames, KeysOutsideTheTableGetTheFallbackText) {
    const struct {
        int32_t result;
        const char* hex;
    } cases[] = {
        {0x0406, "0406"},       // a gap inside a family
        {0x0007, "0007"},       // four digits, zero-padded
        {0x0B00, "0B00"},       // a family that does not start at 00
        {0x8400, "8400"},       // above the last ASC family
        {0xA980, "A980"},       // just below the command layer's own keys
        {0xAD10, "AD10"},       // just above them
        {0x12345, "12345"},     // wider than 16 bits: every digit is printed
        {-1, "FFFFFFFF"},       // negative: the 32-bit two's-complement form
    };
    for (const auto& c : cases) {
        EXPECT_EQ(statusName(c.result),
                  std::string("UNRECOGNIZED ERROR: 0x") + c.hex + " (VavURIR-32 DLL returned value)");
        EXPECT_FALSE(findStatusName(static_cast<uint16_t>(c.result)).has_value()) << c.hex;
    }
}

}  // namespace
