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

TEST_F(FamilyTest, IndexedBufferStatements) {
    check({
        {"SETBUFFER B [ 15 ] 1", 0},
        {"SETBUFFER B[l] b", 0},
        {"SETBUFFER B [ 15 1", err::SET_BUFFER_INDEX_BRACING_ERROR_SPECIFIED},
        {"SETBUFFER B [[ 1 ] 1", err::SET_BUFFER_INDEX_BRACING_ERROR_SPECIFIED},
        {"SETBUFFER Nope [ 1 ] 1", err::SET_BUFFER_INVALID_BUFFER_SPECIFIED},
        {"SETBUFFER B [ ]", err::SET_BUFFER_MISSING_INDEX_AND_VALUE_FIELDS},
        {"SETBUFFER B [ 16 ] 1", err::SET_BUFFER_INDEX_OUT_OF_RANGE},
        {"SETBUFFER B [ nope ] 1", err::SET_BUFFER_INDEX_SPECIFIER_UNRECOGNIZABLE},
        {"SETBUFFER B [ w ] 1", err::SET_BUFFER_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG},
        {"SETBUFFER B [ 1 ]", err::SET_BUFFER_MISSING_VALUE_FIELD},
        {"SETBUFFER B [ 1 ] nope", err::SET_BUFFER_VALUE_SPECIFIER_UNRECOGNIZABLE},
        {"SETBUFFER B [ 1 ] w", err::SET_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE},
        {"ANDBUFFER B [ 16 ] 1", err::AND_BUFFER_LITERAL_INDEX_OUT_OF_RANGE},
        {"ANDBUFFER B [ 1 ] w", err::AND_BUFFER_VALUE_VARIABLE_SPECIFIER_NOT_A_BYTE},
        {"ORBUFFER B [ 16 ] 1", err::OR_BUFFER_INDEX_OUT_OF_RANGE},
        {"ORBUFFER B 1 1", err::OR_BUFFER_INDEX_BRACING_ERROR_SPECIFIED},
        {"XORBUFFER B [ 16 ] 1", err::XOR_BUFFER_LITERAL_INDEX_OUT_OF_RANGE},
        {"XORBUFFER Nope [ 1 ] 1", err::XOR_BUFFER_INVALID_BUFFER_SPECIFIED},
        {"PEEK B [ 15 ] b", 0},
        {"PEEK B [ 16 ] b", err::PEEK_LITERAL_INDEX_OUT_OF_RANGE},
        {"PEEK B [ 1 ]", err::PEEK_MISSING_DESTINATION_FIELD},
        {"PEEK B [ 1 ] w", err::PEEK_DEST_FIELD_MUST_BE_A_BYTE_VARIABLE},
        {"PEEK B [ 1 ] 5", err::PEEK_DEST_FIELD_MUST_BE_A_BYTE_VARIABLE},
        {"PEEKW B [ 14 ] w", 0},
        {"PEEKW B [ 15 ] w", err::K_PEEKW_INDEX_OUT_OF_RANGE},
        {"PEEKW B [ 1 ] b", err::K_PEEKW_DEST_FIELD_MUST_BE_A_WORD_VARIABLE},
        {"PEEKL B [ 12 ] l", 0},
        {"PEEKL B [ 13 ] l", err::K_PEEKL_INDEX_OUT_OF_RANGE},
        {"PEEKL B [ w ] l", err::K_PEEKL_INDEX_VARIABLE_SPECIFIER_NOT_A_LONG},
        {"PEEKL B [ d ] l", err::K_PEEKL_INDEX_OUT_OF_RANGE},  // "d" looks like a number: the literal DH
        {"POKE B [ 1 ] 255", 0},
        {"POKE B [ 1 ] FFH", 0},
        {"POKE B [ 1 ] b", 0},
        {"POKE B [ 1 ] 256", err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_TYPE_NUMBER},
        {"POKE B [ 1 ] 100H", err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_TYPE_NUMBER},
        {"POKE B [ 1 ] w", err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_VARIABLE},
        {"POKE B [ 16 ] 1", err::POKE_LITERAL_INDEX_OUT_OF_RANGE},
        {"POKE B [ 1 ]", err::POKE_MISSING_SOURCE_FIELD},
    });
}

TEST_F(FamilyTest, WholeBufferStatements) {
    write("pattern.bin", "\x01\x02\x03");
    check({
        {"FILLBUFFER B INCR", 0},
        {"FILLBUFFER B RAND 7", 0},
        {"FILLBUFFER B rand b", 0},
        {"FILLBUFFER B 1FFH", 0},
        {"FILLBUFFER Nope INCR", err::FILL_BUFFER_INVALID_BUFFER_SPECIFIED},
        {"FILLBUFFER B RAND", err::FILL_BUFFER_NO_RAND_SEED},
        {"FILLBUFFER B RAND nope", err::FILL_BUFFER_INVALID_RAND_SEED_VALUE},
        {"FILLBUFFER B RAND w", err::FILL_BUFFER_RAND_SEED_VALUE_MUST_BE_BYTE_TYPE},
        {"FILLBUFFER B ZEROS", err::FILL_BUFFER_INVALID_FILL_TYPE},
        {"COPYBUFFER B B2", 0},
        {"COPYBUFFER Nope B2", err::COPYBUFFER_INVALID_1ST_BUFFER_DETECTED},
        {"COPYBUFFER B Nope", err::COPYBUFFER_INVALID_2ND_BUFFER_DETECTED},
        {"COPYBUFFER B Small", err::COPYBUFFER_BUFFER_SIZE_MISMATCH_DETECTED},
        {"COMPAREBUFFER B Small b l b2 b3", 0},  // sizes are compared when it runs
        {"COMPAREBUFFER B Nope b l b2 b3", err::COMPARE_BUFFER_INVALID_2ND_BUFFER_DETECTED},
        {"COMPAREBUFFER B B2 w l b2 b3", err::COMPARE_BUFFER_INVALID_STATUS_BYTE_TYPE_SPECIFIED},
        {"COMPAREBUFFER B B2 b b l b3", err::COMPARE_BUFFER_INVALID_ADDRESS_LONG_TYPE_SPECIFIED},
        {"COMPAREBUFFER B B2 b l b2", err::COMPARE_BUFFER_UNKNOWN_WROTE_BYTE_VARIABLE},
        {"DIMENSION B 32", 0},
        {"DIMENSION B w", 0},
        {"DIMENSION Nope 32", err::K_DIMENSION_INVALID_BUFFER_DETECTED},
        {"DIMENSION B 0", err::K_DIMENSION_SIZE_RANGE_ERROR},
        {"DIMENSION B 1.5", err::K_DIMENSION_SIZE_NUMBER_ERROR},
        {"DIMENSION B d", err::K_DIMENSION_SIZE_VARIABLE_ERROR},
        {"LOADBUFFER B pattern.bin", 0},
        {"LOADBUFFER ONCE B \"pattern.bin\"", 0},
        {"LOADBUFFER B", err::LOAD_BUFFER_NO_FILE_SPECIFIED},
        {"LOADBUFFER Nope pattern.bin", err::LOAD_BUFFER_INVALID_BUFFER_SPECIFIED},
        {"LOADBUFFER B missing.bin", err::LOAD_BUFFER_UNABLE_TO_OPEN_FILE_SPECIFIED},
        {"TIME d", 0},
        {"TIME l", err::TIME_INVALID_VARIABLE_TYPE_SPECIFIED},
        {"FORMATTIME d w b d2", 0},
        {"FORMATTIME d b b d2", err::FORMATTIME_INVALID_HOURS_VARIABLE_TYPE_SPECIFIED},
        {"FORMATTIME d w b", err::FORMATTIME_INVALID_SECONDS_VARIABLE_SPECIFIED},
        {"THUMBPRINT whatever at all", 0},
    });
}

TEST_F(FamilyTest, StringStatements) {
    check({
        {"ATON B b", 0},
        {"ATON B w", 0},
        {"ATON Nope w", err::ATON_INVALID_BUFFER_VARIABLE_SPECIFIED},
        {"ATON B l", err::ATON_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED},
        {"ATOLN B w", err::ATOLN_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED},
        {"BIGINDIAN w", err::BIG_INDIAN_INVALID_VARIABLE_TYPE_SPECIFIED},
        {"BIGINDIAN nope", err::BIG_INDIAN_INVALID_VARIABLE_SPECIFIED},
        {"CLEAR1STWORD Nope", err::CLEAR1STWORD_INVALID_BUFFER_VARIABLE_SPECIFIED},
        {"DETERMINNUMBERTYPE B b", 0},
        {"DETERMINNUMBERTYPE B w", err::DETERMINENUMBERTYPE_INVALID_VARIABLE_TYPE_SPECIFIED},
        {"FETCH1STWORD B", 0},
        {"LEFTSTRING B B2 w", 0},
        {"LEFTSTRING B Nope w", err::LEFTSTRING_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED},
        {"MIDSTRING B B2 w w2", 0},
        {"MIDSTRING B B2 w b", err::MIDSTRING_INVALID_SWATH_VARIABLE_TYPE_SPECIFIED},
        {"MIDSTRING B B2 5 w", err::MIDSTRING_INVALID_START_VARIABLE_SPECIFIED},  // variables only
        {"OCCURANCE B B2 b", err::OCCUANCE_INVALID_COUNT_TYPE_SPECIFIED},
        {"REMOVECOMMENTS Nope", err::REMOVECOMMENTSE_INVALID_BUFFER_VARIABLE_SPECIFIED},
        {"RIGHTSTRING B B2 nope", err::RIGHTSTRING_INVALID_SWATH_VARIABLE_SPECIFIED},
        {"RIPREPLACE B B2 Name", 0},
        {"RIPREPLACE b b2 Name", 0},
        {"RIPREPLACE B b2 Name", err::RIPREPLACE_MIXING_ARGUMENTS_ERROR},
        {"RIPREPLACE w b2 Name", err::RIPREPLACE_INVALID_FIND_VARIABLE_TYPE_SPECIFIED},
        {"RIPREPLACE b nope Name", err::RIPREPLACE_INVALID_REPLACE_VARIABLE_SPECIFIED},
        {"RIPREPLACE B B2 nope", err::RIPREPLACE_INVALID_STRING_BUFFER_VARIABLE_SPECIFIED},
        {"STORE1STWORD B Nope", err::STORE1STWORD_INVALID_DESTINATION_BUFFER_VARIABLE_SPECIFIED},
        {"SHRINK B", 0},
        {"STRINGC B B2 w w2", 0},
        {"STRINGC B B2 w l", err::STRINGC_INVALID_INDEX_VARIABLE_TYPE_SPECIFIED},
        {"STRINGABSC B B2 b", 0},
        {"STRINGABSC B B2 w", err::STRINGABSC_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED},
        {"STRLEN B w", 0},
        {"STRLEN B", err::STRLEN_INVALID_RESULT_VARIABLE_SPECIFIED},
        {"UPPERCASE Nope", err::UPPERCASE_INVALID_BUFFER_VARIABLE_SPECIFIED},
        {"WIPELEFT Nope", err::WIPELEFT_INVALID_BUFFER_VARIABLE_SPECIFIED},
        {"WIPERIGHT B", 0},
    });
}

TEST_F(FamilyTest, FileStatements) {
    write("in.txt", "data");
    check({
        {"OPENFILE F in.txt READ TEXT l", 0},
        {"OPENFILE ( F , \"out.txt\" , WRITE , BINARY , APPEND , l )", 0},
        {"OPENFILE F Name READ l", 0},
        {"OPENFILE Nope in.txt READ l", err::K_OPENFILE_INVALID_FILE_TAG_SPECIFIED},
        {"OPENFILE F in.txt READ w", err::K_OPENFILE_INVALID_RESULT_ARG},
        {"OPENFILE F", err::K_OPENFILE_INVALID_RESULT_ARG},
        {"OPENFILE F WRITE l", err::K_OPENFILE_MODE_SPECIFICATION_ERROR},
        {"OPENFILE F missing.txt READ l", err::K_OPENFILE_FILE_SPECIFIED_NOT_PRESENT},
        {"OPENFILE F missing.txt l", err::K_OPENFILE_FILE_SPECIFIED_NOT_PRESENT},
        {"OPENFILE F missing.txt WRITE l", 0},
        {"CLOSEFILE F", 0},
        {"CLOSEFILE Nope", err::K_CLOSEFILE_INVALID_FILE_TAG_SPECIFIED},
        {"FREAD F B 16 l", 0},
        {"FREAD F B 65537 w", 0},  // the low 16 bits: 1
        {"FREAD F B w b", 0},
        {"FREAD F B \"16 l", err::K_FREAD_PARSING_ERROR},
        {"FREAD F B 16", err::K_FREAD_ILLEGAL_NUMBER_OF_ARGS_DETECTED},
        {"FREAD Nope B 16 l", err::K_FREAD_INVALID_FILE_SPECIFIED},
        {"FREAD F Nope 16 l", err::K_FREAD_INVALID_BUFFER_SPECIFIED},
        {"FREAD F B 17 l", err::K_FREAD_LIMIT_EXCEEDS_BUFFER_SIZE},
        {"FREAD F B many l", err::K_FREAD_UNRECOGNIZABLE_LIMIT_ARG},
        {"FREAD F B d l", err::K_FREAD_ILLEGAL_LIMIT_VARIABLE_TYPE_SPECIFIED},
        {"FREAD F B 16 nope", err::K_FREAD_INVALID_RD_OK_VARIABLE_SPECIFIED},
        {"FREAD F B 16 d", err::K_FREAD_ILLEGAL_RD_OK_VARIABLE_TYPE_SPECIFIED},
        {"FWRITE F B 16", 0},
        {"FWRITE F B 16 l", err::K_FWRITE_LINE_ILLEGAL_NUMBER_OF_ARGS_DETECTED},
        {"FWRITE F Small 5", err::K_FWRITE_LIMIT_EXCEEDS_BUFFER_SIZE},
        {"FGETS F B 16 w", 0},
        {"FGETS F B l w", err::K_FGETS_ILLEGAL_LIMIT_VARIABLE_TYPE_SPECIFIED},
        {"FGETS F B 10000H w", err::K_FGETS_UNRECOGNIZABLE_LIMIT_ARG},
        {"FGETS F B 16 l", err::K_FGETS_ILLEGAL_RD_OK_VARIABLE_TYPE_SPECIFIED},
        {"FSEEK F 0 SEEK_SET", 0},
        {"FSEEK F l seek_end", 0},
        {"FSEEK F 0", err::K_FSEEK_ILLEGAL_NUMBER_OF_ARGS_DETECTED},
        {"FSEEK Nope 0 SEEK_SET", err::K_FSEEK_INVALID_FILE_SPECIFIED},
        {"FSEEK F there SEEK_SET", err::K_FSEEK_UNRECOGNIZABLE_WHERE_ARG},
        {"FSEEK F d SEEK_SET", err::K_FSEEK_ILLEGAL_WHERE_VARIABLE_TYPE_SPECIFIED},
        {"FSEEK F 0 START", err::K_SEEK_ILLEGAL_FROM_PHRASE_SPECIFIED},
    });
}

TEST_F(FamilyTest, PrintStatements) {
    check({
        {"PRINT 'Value %x' b", 0},
        {"PRINT   ' padded '  ", 0},
        {"PRINT LOG 'a\\tb\\n\\'q\\' \\\\ %d %s %f' w Name 1.5", 0},
        {"PRINT BUFFER B [ 4 ] 'xyz'", 0},
        {"PRINT BUFFER B [ l ] 'xyz'", 0},
        {"PRINT FILE F 'a\\nb'", 0},
        {"PRINT Value", err::PRINT_INVALID_FORMAT_STR_SPECIFIER},
        {"PRINT 'unclosed", err::PRINT_INVALID_FORMAT_STR_SPECIFIER},
        {"PRINT BUFFER Nope 'x'", err::PRINT_INVALID_DEST_BUFFER_SPECIFIED},
        {"PRINT BUFFER B [ 4 'x'", err::PRINT_MISSING_END_OFFSET_BRACKET},
        {"PRINT BUFFER B [ far ] 'x'", err::PRINT_UNKNOWN_BUFFER_INDEX_SPECIFIED},
        {"PRINT FILE Nope 'x'", err::K_PRINT_TO_FILE_INVALID_DEST_FILE_SPECIFIED},
        {"PRINT 'end\\'", err::PRINT_INVALID_FORMAT_STR_SPECIFIER},
        {"PRINT 'end \\' x", err::PRINT_INVALID_FORMAT_STR_SPECIFIER},
        {"PRINT 'a \\q'", err::PRINT_BACKSLASH_SPECIFIER_ERROR},
        {"PRINT 'a %q' b", err::PRINT_UNKNOWN_FORMAT_SPECIFIER_DETECTED},
        {"PRINT 'a %'", err::PRINT_UNKNOWN_FORMAT_SPECIFIER_DETECTED},
        {"PRINT 'a %d'", err::PRINT_FORMAT_SPECIFIED_WITHOUT_VALUE_FIELD},
        {"PRINT 'a %d' nope", err::PRINT_UNKNOWN_VALUE_FIELD},
        {"PRINT 'a %d' Name", err::PRINT_STR_SPECIFIED_ARG_ISNT_A_BUFFER},
        {"PRINTBUFFER B", 0},
        {"PRINTBUFFER LOG B 4 8", 0},
        {"PRINTBUFFER B 8 4", err::PRINTBUFFER_START_END_RANGE_ERROR},
        {"PRINTBUFFER B 0 4", 0},
        {"PRINTBUFFER B 16", err::PRINTBUFFER_START_RANGE_ERROR},
        {"PRINTBUFFER Nope", err::PRINTBUFFER_INVALID_BUFFER_SPECIFIED},
        {"PRINTBUFFER B d", err::PRINTBUFFER_INVALID_START_ARG},
        {"PRINTBUFFER B 0 nope", err::PRINTBUFFER_INVALID_END_ARG},
        {"PRINTCDB BOTH Inq", 0},
        {"PRINTCDB Nope", err::PRINTCDB_INVALID_CDB_SPECIFIED},
        {"PENCOLOR Red", 0},
        {"PENCOLOR Blue", err::K_PENCOLOR_ILLEGAL_PENNAME_DETECTED},
    });
}

TEST_F(FamilyTest, Questions) {
    check({
        {"ASK 'Write the tape?' ONYES Other", 0},
        {"ASK Go on ONNO Other", 0},
        {"ASK", err::ASK_NO_QUESTION_SPECIFIED},
        {"ASK Go on ONYES Nowhere", err::ASK_INVALID_VECTOR_SPECIFIED},
        {"ASK Go on Other", err::ASK_NO_VECTOR_DETECTED},
        {"ASK ONYES Other", err::ASK_NO_QUESTION_SPECIFIED},
        {"ASKFORTEXT 'Serial?' Name 20 ONOK Other", 0},
        {"ASKFORTEXT Name 20 ONOK Other", err::ASK4TEXT_INVALID_NUMBER_OF_ARGS},
        {"ASKFORTEXT 'Serial?' Name 20 ONOK Nowhere", err::ASK4TEXT_INVALID_SYMBOL_ARG},
        {"ASKFORTEXT 'Serial?' Name 20 ONYES Other", err::ASK4TEXT_INVALID_TRIGGER_ARG},
        {"ASKFORTEXT 'Serial?' Name 256 ONOK Other", err::ASK4TEXT_INVALID_LIMIT_ARG},
        {"ASKFORTEXT 'Serial?' Nope 20 ONOK Other", err::ASK4TEXT_INVALID_BUFFER_SPECIFIED},
        {"ASKFORNUMBER 'Count?' w DEC ONCANCEL Other", 0},
        {"ASKFORNUMBER w HEX ONOK Other", err::ASK4NUMBER_INVALID_NUMBER_OF_ARGS},
        {"ASKFORNUMBER 'Count?' w OCT ONOK Other", err::ASK4NUMBER_INVALID_MODE_ARG},
        {"ASKFORNUMBER 'Count?' nope HEX ONOK Other", err::ASK4NUMBER_INVALID_BUFFER_SPECIFIED},
        {"ASKFORNUMBER 'Count?' w HEX ONNO Other", err::ASK4NUMBER_INVALID_TRIGGER_ARG},
        {"ASKFORNUMBER 'Count?' w HEX ONOK Nowhere", err::ASK4NUMBER_INVALID_SYMBOL_ARG},
        {"ASKFORFILE Name ONOK Other", 0},
        {"ASKFORFILE Name ONOK", err::ASK4FILE_INVALID_NUMBER_OF_ARGS},
        {"ASKFORFILE Nope ONOK Other", err::ASK4FILE_INVALID_BUFFER_SPECIFIED},
        {"ASKFORFILE Name ONYES Other", err::ASK4FILE_INVALID_TRIGGER_ARG},
        {"ASKFORFILE Name ONCANCEL Nowhere", err::ASK4FILE_INVALID_SYMBOL_ARG},
    });
}

TEST_F(ScriptTest, PenColorTakesEffectInPhaseTwo) {
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nCOLOR Teal 0 128 128\nPENCOLOR Teal\n"));
    EXPECT_EQ(engine.state().penColor, 0x808000u);
}

TEST(UncheckedKeywordsTest, ListsOnlyWhatPhaseTwoDoesNotCheck) {
    const auto unchecked = uncheckedKeywords();
    for (std::string_view keyword : unchecked) EXPECT_NE(findKeyword(keyword), nullptr) << keyword;
    for (std::string_view checked : {"JUMP", "IF", "IFTRUE", "SCSI", "FUP"})
        EXPECT_EQ(std::count(unchecked.begin(), unchecked.end(), checked), 0) << checked;
}

}  // namespace
}  // namespace vexal::script::testing
