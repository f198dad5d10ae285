// Phase-2 checks of the statement families: SCSI, buffers and strings, files and PRINT,
// questions, log pages and packets, the results database, charts and the serial port.
#include "script/keyword_table.h"
#include "script/script_error_codes.h"
#include "script_fixture.h"

namespace vexal::script::testing {
namespace {

struct FamilyCase {
    const char* body;
    int32_t code;  // 0: accepted
};

struct FamilyTest : ScriptTest {
    static constexpr const char* kPrelude =
        "DESCRIPTION d\nStart:\nBYTE b\nBYTE b2\nBYTE b3\nWORD w\nWORD w2\nLONG l\nLONG l2\nDOUBLE d\nDOUBLE d2\n"
        "BUFFER B [ 16 ]\nBUFFER B2 [ 16 ]\nBUFFER Small [ 4 ]\nBUFFER Name [ 300 ]\n"
        "CDB Inq { 6 TOHOST B SCSI_INQUIRY 0 0 0 16 0 }\n"
        "SENSEKEYS Medium 03 11H 00 Medium error\nBUFFER PB [ 64 ]\nLOGPAGE Errs { 2 PB }\nLOGPAGE Events { 7 PB }\n"
        "LOGPAGE Events2 { 7 PB }\nFILE F\nCOLOR Red 255 0 0\nCHART C\nOther:\n";
    void check(const std::vector<FamilyCase>& cases) {
        for (const auto& c : cases) {
            const bool ok = load(std::string(kPrelude) + c.body + "\n");
            EXPECT_EQ(ok, c.code == 0) << c.body;
            EXPECT_EQ(onlyCode(), c.code) << c.body;
        }
    }
};

TEST_F(FamilyTest, ScsiStatements) {
    write("fw.img", "image");
    check({
        {"SCSI Inq", 0},
        {"SCSI Nope", err::SCSI_UNKNOWN_CDB_SPECIFIED},
        {"MODCDB Inq 5 0", 0},
        {"MODCDB Inq 4 b", 0},
        {"MODCDB", err::MODCDB_CDB_IDX_VALUE_MISSING},
        {"MODCDB Nope 1 1", err::MODCDB_INVALID_CDB_SPECIFIED},
        {"MODCDB Inq", err::MODCDB_IDX_VALUE_MISSING},
        {"MODCDB Inq 100H 1", err::MODCDB_INVALID_TYPE_INDEX_SPECIFIED},
        {"MODCDB Inq 0 5", err::MODCDB_IDX_RANGE_SPECIFIED},
        {"MODCDB Inq 6 0", err::MODCDB_IDX_RANGE_SPECIFIED},
        {"MODCDB Inq 1", err::MODCDB_CDB_VALUE_MISSING},
        {"MODCDB Inq 1 nope", err::MODCDB_INVALID_VALUE_TYPE_SPECIFIED},
        {"MODCDB Inq 1 w", err::MODCDB_VALUE_VARIABLE_TYPE},
        {"READNOCOMPARE Inq 10 l", 0},
        {"READNOCOMPARE Inq w l", 0},
        {"READNOCOMPARE Nope 10 l", err::READ_UNKNOWN_CDB_SPECIFIED},
        {"READNOCOMPARE Inq many l", err::READ_UNKNOWN_ITERATION_COUNT_SPECIFIED},
        {"READNOCOMPARE Inq 10", err::K_READ_MISSING_RETURN_LONG_VARIABLE_ARGUMENT},
        {"READNOCOMPARE Inq 10 nope", err::K_READ_UNKNOWN_RETURN_LONG_VARIABLE_SPECIFIED},
        {"READNOCOMPARE Inq 10 w", err::K_READ_UNKNOWN_RETURN_ARGUMENT_NOT_A_LONG},
        {"READCOMPARE Inq 10 b l l2 b2 b3", 0},
        {"READCOMPARE Nope 10 b l l2 b2 b3", err::READ_COMPARE_UNKNOWN_CDB_SPECIFIED},
        {"READCOMPARE Inq x b l l2 b2 b3", err::READ_COMPARE_UNKNOWN_ITERATION_SPECIFIED},
        {"READCOMPARE Inq 10 w l l2 b2 b3", err::READ_COMPARE_INVALID_STATUS_BYTE_TYPE_SPECIFIED},
        {"READCOMPARE Inq 10 b x l2 b2 b3", err::READ_COMPARE_UNKNOWN_ERROR_AT_LONG_VARIABLE},
        {"READCOMPARE Inq 10 b l b2 b2 b3", err::READ_COMPARE_INVALID_ADDRESS_LONG_TYPE_SPECIFIED},
        {"READCOMPARE Inq 10 b l l2 b2", err::READ_COMPARE_UNKNOWN_WROTE_BYTE_VARIABLE},
        {"WRITE Inq 10 l", 0},
        {"WRITE #Inq l2 l", 0},
        {"WRITE Nope 10 l", err::SCSI_UNKNOWN_CDB_SPECIFIED},
        {"WRITE Inq nope l", err::WRITE_UNKNOWN_ITERATION_COUNT_SPECIFIED},
        {"WRITE Inq w l", err::K_WRITE_INVALID_COUNT_VARIABLE_TYPE_SPECIFIED},
        {"WRITE Inq 10", err::K_WRITE_MISSING_RETURN_COUNT_VARIABLE},
        {"WRITE Inq 10 nope", err::K_WRITE_UNKNOWN_RETURN_VARIABLE_SPECIFIED},
        {"WRITE Inq 10 b", err::K_WRITE_INVALID_RETURN_VARIABLE_TYPE_SPECIFIED},
        {"GETSENSE b b2 b3", 0},
        {"GETSENSE", err::GETSENSE_MISSING_ARGS_1_2_3},
        {"GETSENSE b", err::GETSENSE_MISSING_ARGS_2_3},
        {"GETSENSE b b2", err::GETSENSE_MISSING_ARG_3},
        {"GETSENSE x b2 b3", err::GETSENSE_INVALID_V1_ARG},
        {"GETSENSE b w b3", err::GETSENSE_V2_ARG_MUST_BE_A_BYTE},
        {"GETSENSE b b2 l", err::GETSENSE_V3_ARG_MUST_BE_A_BYTE},
        {"GETILISTATUS b", 0},
        {"GETILISTATUS x", err::K_GET_ILI_STATUS_INVALID_VARIABLE_SPECIFIED},
        {"GETEOMSTATUS w", err::K_GET_EOM_STATUS_INVALID_VARIABLE_TYPE},
        {"GETFMSTATUS l", err::K_GET_FM_STATUS_INVALID_VARIABLE_TYPE},
        {"GETHASTATUS l", 0},
        {"GETHASTATUS b", err::GET_HA_STATUS_INVALID_VARIABLE_TYPE},
        {"GETSCSITIMEOUT x", err::GET_SCSI_TO_INVALID_VARIABLE_SPECIFIED},
        {"SETSCSITIMEOUT 600", 0},
        {"SETSCSITIMEOUT l", 0},
        {"SETSCSITIMEOUT w", err::SET_SCSI_TO_INVALID_VARIABLE_TYPE},
        {"SETSCSITIMEOUT 1.5", err::SET_SCSI_TO_INVALID_NUMBER_SPECIFIED},
        {"SETSCSITIMEOUT", err::SET_SCSI_TO_INVALID_NUMBER_SPECIFIED},
        {"BUSDEVICERESET w", 0},
        {"BUSDEVICERESET", err::K_BUSDEVICERESET_MISSING_RETURN_ARGUMENT},
        {"BUSDEVICERESET b", err::K_BUSDEVICERESET_VARIABLE_NOT_A_WORD},
        {"GETDRIVETYPE w", err::GET_DRIVETYPE_INVALID_VARIABLE_TYPE_SPECIFIED},
        {"GETSUPPRESSSTATUS", err::K_GET_SUPPRESS_STATUS_NO_VARIABLE_SPECIFIED},
        {"GETSUPPRESSSTATUS w", err::K_GET_SUPPRESS_STATUS_INVALID_VARIABLE_TYPE},
        {"GETINQINFO PRINTER", 0},
        {"LOGSENSEKEYS", 0},
        {"PRINTSENSEKEYS", 0},
        {"GETFWIMGCHKSUM B 1", 0},
        {"GETFWIMGCHKSUM Nope 1", err::GET_FW_IMG_CHKSUM_INVALID_BUFFER_SPECIFIED},
        {"GETFWIMGCHKSUM B", err::GET_FW_IMG_CHKSUM_INVALID_NUMBER_OF_ARGS},
        {"ONERROR Other\nONCANCEL Other\nFUP \"fw.img\"", 0},
        {"ONERROR Other\nONCANCEL Other\nFUP Name", 0},
        {"ONERROR Other\nONCANCEL Other\nFUP", err::FUP_NO_FILE_SPECIFIED},
        {"ONERROR Other\nONCANCEL Other\nFUP Small", err::FUP_BUFFER_SPECIFIED_REQUIRED_TO_BE_AT_LEAST_260},
        {"ONERROR Other\nONCANCEL Other\nFUP missing.img", err::FUP_UNABLE_TO_OPEN_FILE_SPECIFIED},
    });
}

TEST(UncheckedKeywordsTest, ListsOnlyWhatPhaseTwoDoesNotCheck) {
    const auto unchecked = uncheckedKeywords();
    for (std::string_view keyword : unchecked) EXPECT_NE(findKeyword(keyword), nullptr) << keyword;
    for (std::string_view checked : {"JUMP", "IF", "IFTRUE", "SCSI", "FUP"})
        EXPECT_EQ(std::count(unchecked.begin(), unchecked.end(), checked), 0) << checked;
}

}  // namespace
}  // namespace vexal::script::testing
