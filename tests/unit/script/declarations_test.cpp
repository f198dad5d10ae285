// Every declaration handler's errors, and what the good declarations put in the tables.
#include "script/script_error_codes.h"
#include "script_fixture.h"

namespace vexal::script::testing {
namespace {

struct DeclarationCase {
    const char* lines;
    std::vector<int32_t> codes;  // every code the load reports, in order
};

struct DeclarationTest : ScriptTest {
    void check(const std::vector<DeclarationCase>& cases) {
        for (const auto& c : cases) {
            const bool ok = load(std::string("DESCRIPTION d\nStart:\n") + c.lines + "\nEXIT 0\n");
            EXPECT_EQ(ok, c.codes.empty()) << c.lines;
            EXPECT_EQ(codes(), c.codes) << c.lines;
        }
    }
};

TEST_F(DeclarationTest, Scalars) {
    check({
        {"BYTE b = 5", {}},
        {"BYTE b = 0x05", {}},
        {"BYTE b = 0FFH", {err::K_OP_BYTE_INVALID_ASSIGNMENT}},
        {"BYTE b = 100H", {err::K_OP_BYTE_INVALID_ASSIGNMENT}},
        {"BYTE b = 0x5", {err::VARI_UNABLE_TO_PROCESS_VARIABLE}},  // no number, no variable: phase 2
        {"BYTE b junk", {err::BYTE_INVALID_STATEMENT_DETECTED}},
        {"BYTE", {err::BYTE_INVALID_STATEMENT_DETECTED}},
        {"WORD w = 100H", {}},
        {"WORD w = 70000", {err::K_OP_WORD_INVALID_ASSIGNMENT}},
        {"WORD w junk", {err::WORD_INVALID_STATEMENT_DETECTED}},
        {"LONG l = FFFFFFFFH", {}},
        {"LONG l = 2147483647", {err::K_OP_LONG_INVALID_ASSIGNMENT}},
        {"LONG l junk", {err::LONG_INVALID_STATEMENT_DETECTED}},
        {"DOUBLE d = 5", {err::K_OP_FLOAT_INVALID_ASSIGNMENT}},
        {"DOUBLE d = 5.0", {}},
        {"DOUBLE d = 2147483647", {}},
        {"DOUBLE d junk", {err::DBL_INVALID_STATEMENT_DETECTED}},
        {"LONG x\nBYTE x", {err::BYTE_DUPLICATE_NAME_DETECTED}},
        {"BYTE x\nWORD x", {err::WORD_DUPLICATE_NAME_DETECTED}},
        {"BYTE x\nLONG x", {err::LONG_DUPLICATE_NAME_DETECTED}},
        {"BYTE x\nDOUBLE x", {err::DBL_DUPLICATE_NAME_DETECTED}},
        {"BYTE a = 1\nBYTE c = a", {}},  // a name as initial value: assigned at run time
        {"BYTE b = 300\nWORD w junk\nLONG l = 1.5", {err::K_OP_BYTE_INVALID_ASSIGNMENT, err::WORD_INVALID_STATEMENT_DETECTED,
                                                     err::K_OP_LONG_INVALID_ASSIGNMENT}},
    });
}

TEST_F(DeclarationTest, ScalarValuesAndTheirStatements) {
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nBYTE b = 0x2A\nWORD w = 1234H\nLONG l = 70000\nDOUBLE d = 1.5\nBYTE z\n"));
    const auto& vars = engine.tables().variables;
    EXPECT_EQ(vars.find("b")->byteSlot, 0x2A);
    EXPECT_EQ(vars.find("w")->wordSlot, 0x1234);
    EXPECT_EQ(vars.find("l")->longSlot, 70000u);
    EXPECT_DOUBLE_EQ(vars.find("d")->doubleSlot, 1.5);
    EXPECT_EQ(vars.find("z")->byteSlot, 0);
    EXPECT_FALSE(vars.find("b")->set);
    EXPECT_EQ(vars.find("B"), nullptr);  // case counts
    // Each declaration is also a statement assigning the value again at every run.
    const auto& s = engine.tables().statements;
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[1].text, "b = 0x2A");
    EXPECT_EQ(s[1].opcode, kNoOpcode);
    EXPECT_EQ(s[1].kind, 0x51);
    EXPECT_EQ(s[1].byteLiteral, 0x2A);
    EXPECT_EQ(s[5].text, "z");
    EXPECT_EQ(s[5].op, AssignOp::None);
}

TEST_F(DeclarationTest, Buffers) {
    check({
        {"BUFFER B [ 10 ]", {}},
        {"BUFFER B [10]", {}},
        {"BUFFER B[10]", {err::BUFF_HANDLER_INVALID_SIZE_SPECIFIER}},  // the name is the whole word
        {"BUFFER B 10", {err::BUFF_HANDLER_INVALID_SIZE_SPECIFIER}},
        {"BUFFER B ] 10 [", {err::BUFF_HANDLER_INVALID_SIZE_SPECIFIER}},
        {"BUFFER B [ 1.5 ]", {err::BUFF_HANDLER_INVALID_SIZE_SPECIFIER}},
        {"BUFFER B [ ]", {err::BUFF_HANDLER_INVALID_SIZE_SPECIFIER}},
        {"BUFFER B [ 10 ]\nBUFFER B [ 2 ]", {err::BUFF_HANDLER_DUPLICATE_NAME_DETECTED}},
        {"BUFFER B [ FFFFFFFFH ]", {err::BUFF_HANDLER_ADD_BUFFER_ERROR}},
    });
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nBUFFER Big [ 10000H ]\nEXIT 0\n"));
    const ScriptBuffer* big = engine.tables().buffers.find("Big");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->size(), 0x10000u);
    EXPECT_FALSE(big->primed);
    EXPECT_EQ(std::count(big->storage.begin(), big->storage.end(), 0), 0x10000);
}

TEST_F(DeclarationTest, Cdbs) {
    check({
        {"CDB c { 6 , TOHOST , 0 , SCSI_INQUIRY , 0 , 0 , 0 , 36 , 0 }", {}},
        {"CDB c { 6 , TOHOST , 0 , SCSI_INQUIRY , 0 , 0 , 0 , 36 }", {err::CDB_INVALID_NUMBER_OF_CDB_BYTES}},
        {"CDB c { 16 , TOHOST , 0 , 0 , 0 , 0 , 0 , 0 , 0 }", {err::CDB_INVALID_CDB_LENGTH_SPECIFIED}},
        {"CDB c { 6 , SIDEWAYS , 0 , 0 , 0 , 0 , 0 , 0 , 0 }", {err::CDB_INVALID_DIRECTION_SPECIFIED}},
        {"CDB c { 6 , NONE , NoBuf , 0 , 0 , 0 , 0 , 0 , 0 }", {err::CDB_HANDLER_UNKNOWN_BUFFER_SPECIFIED}},
        {"CDB c { 6 , NONE , 0 , SCSI_FOO , 0 , 0 , 0 , 0 , 0 }", {err::CDB_INVALID_SCSI_COMMAND_SPECIFIER}},
        {"CDB c { 6 , NONE , 0 , 100H , 0 , 0 , 0 , 0 , 0 }", {err::CDB_INVALID_SCSI_COMMAND_SPECIFIER}},
        {"CDB c { 6 , NONE , 0 , 0 , 0 , 100H , 0 , 0 , 0 }", {err::CDB_INVALID_SCSI_VALUE_TYPE_SPECIFIER}},
        {"CDB c  6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 }", {err::CDB_MISSING_LEFT_BRACE}},
        {"CDB c { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0", {err::CDB_MISSING_RIGHT_BRACE}},
        {"CDB c { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 , DATA , 1 , 2 , 3 , 4 }", {}},
        {"CDB c { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 , DATA , 1 , 2 , 3 }", {err::CDB_INVALID_NUMBER_OF_ACTION_VALUES}},
        {"CDB c { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 , CHECK , 1 , 2 , 3 }", {}},
        {"CDB c { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 , CHECK , 1 , 2 , 3 , 4 }", {err::CDB_UNKNOWN_TEXT_AFTER_ACTION_DETECTED}},
        {"CDB c { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 , SOMETIMES , 1 }", {err::CDB_INVALID_ACTION_SPECIFIED}},
        {"CDB c { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 }\nCDB c { 6 , NONE , 0 , 0 , 0 , 0 , 0 , 0 , 0 }",
         {err::CDB_DUPLICATE_NAME_DETECTED}},
    });
}

TEST_F(DeclarationTest, CdbContents) {
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nBUFFER Data [ 512 ]\n"
                     "CDB Inq { 6 , TOHOST , 0 , SCSI_INQUIRY , 0 , 0 , 0 , 36 , 0 }\n"
                     "CDB Wr { 10 , fromhost , Data , 0AH , 1 , word , 0 , 0 , 0 , 0 , 0 , 2 , 0 , CHECK , 3 , 11H , 0 }\n"
                     "EXIT 0\n"));
    const ScriptCdb* inq = engine.tables().cdbs.find("Inq");
    ASSERT_NE(inq, nullptr);
    EXPECT_EQ(inq->length, 6);
    EXPECT_EQ((std::vector<uint8_t>(inq->bytes.begin(), inq->bytes.begin() + 6)),
              (std::vector<uint8_t>{0x12, 0, 0, 0, 0x24, 0}));
    EXPECT_FALSE(inq->dataOut);
    EXPECT_TRUE(inq->bufferName.empty());
    EXPECT_EQ(inq->action, CdbAction::None);

    const ScriptCdb* wr = engine.tables().cdbs.find("Wr");
    ASSERT_NE(wr, nullptr);
    EXPECT_TRUE(wr->dataOut);
    EXPECT_EQ(wr->bufferName, "Data");
    EXPECT_EQ(wr->bufferSize, 512u);
    EXPECT_EQ(wr->bytes[0], 0x0A);
    EXPECT_EQ(wr->bytes[2], 0);  // a word that is no number leaves its byte 0
    EXPECT_EQ(wr->bytes[8], 2);
    EXPECT_EQ(wr->action, CdbAction::Check);
    EXPECT_EQ(wr->actionValues[1], 0x11);
}

TEST_F(DeclarationTest, SenseKeys) {
    check({
        {"SENSEKEYS 03 11 00 Unrecovered read error", {}},
        {"SENSEKEYS 03 XX 00 text", {err::SENSEKEY_HANDLER_3RD_SPEC_WITH_2ND_NOT}},
        {"SENSEKEYS 03 11 XX text", {}},
        {"SENSEKEYS 03 XX XX text", {}},
        {"SENSEKEYS 03 11 00", {err::SENSE_KEY_HANDLER_MISSING_TEXT_FIELD}},
        {"SENSEKEYS 100H 11 00 text", {err::SENSE_KEY_HANDLER_1ST_VALUE_ERROR}},
        {"SENSEKEYS Tag ZZ 11 00 text", {err::SENSE_KEY_HANDLER_1ST_VALUE_ERROR}},
        {"SENSEKEYS Tag", {err::SENSE_KEY_HANDLER_1ST_VALUE_ERROR}},
        {"SENSEKEYS 03 ZZ 00 text", {err::SENSE_KEY_HANDLER_2ND_VALUE_ERROR}},
        {"SENSEKEYS 03 11 ZZ text", {err::SENSE_KEY_HANDLER_3RD_VALUE_ERROR}},
        {"SENSEKEYS Tag, 03, 11, 00, a\nSENSEKEYS Tag 04 11 00 b", {err::SK_HANDLER_DUPLICATE_TAG_DETECTED}},
        {"SENSEKEYS 03 11 00 a\nSENSEKEYS 03 11 00 b", {err::SENSE_KEY_HANDLER_DUPLICATE_SENSE_KEY_DETECTED}},
        {"SENSEKEYS 03 XX XX a\nSENSEKEYS 03 11 00 b", {err::SENSE_KEY_HANDLER_DUPLICATE_SENSE_KEY_DETECTED}},
        {"SENSEKEYS 03 11 XX a\nSENSEKEYS 03 11 00 b", {err::SENSE_KEY_HANDLER_DUPLICATE_SENSE_KEY_DETECTED}},
        {"SENSEKEYS 03 11 XX a\nSENSEKEYS 03 11 01 b", {}},
        {"SENSEKEYS 03 11 00 a\nSENSEKEYS 03 XX XX b", {}},
    });
}

TEST_F(DeclarationTest, SenseKeyEntriesMatchByTheirRule) {
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nSENSEKEYS Medium, 03, 11H, XX, Medium   error\n"
                     "SENSEKEYS 05 XX XX Illegal request\nEXIT 0\n"));
    const SenseKeyTable& table = engine.tables().senseKeys;
    const SenseKeyEntry* medium = table.findTag("Medium");
    ASSERT_NE(medium, nullptr);
    EXPECT_EQ(medium->text, "Medium   error");
    EXPECT_TRUE(medium->everyAscq);
    ASSERT_NE(table.match(3, 0x11, 0), nullptr);
    EXPECT_EQ(table.match(3, 0x11, 1), nullptr);  // "XX" after a numeric ASC matches only 00h
    EXPECT_EQ(table.match(3, 11, 0), nullptr);    // literals are decimal unless written with H
    ASSERT_NE(table.match(5, 0x24, 0), nullptr);
    EXPECT_EQ(table.match(5, 0x24, 0)->text, "Illegal request");
}

TEST_F(DeclarationTest, LogPagesColorsFilesCharts) {
    check({
        {"BUFFER B [ 64 ]\nLOGPAGE P { 2 , B }", {}},
        {"BUFFER B [ 64 ]\nLOGPAGE P 2 , B }", {err::LOGPAGE_HANDLER_LEFT_BRACKET_MISSING}},
        {"BUFFER B [ 64 ]\nLOGPAGE P {{ 2 , B }", {err::LOGPAGE_HANDLER_LEFT_BRACKET_MISSING}},
        {"BUFFER B [ 64 ]\nLOGPAGE P { 2 , B", {err::LOGPAGE_HANDLER_RIGHT_BRACKET_MISSING}},
        {"BUFFER B [ 64 ]\nLOGPAGE P { ZZ , B }", {err::LOGPAGE_HANDLER_UNKNOWN_PAGEID_SPECIFIED}},
        {"LOGPAGE P { 2 , B }", {err::LOGPAGE_HANDLER_INVALID_BUFFER_SPECIFIED}},
        {"BUFFER B [ 64 ]\nLOGPAGE P { 2 , B }\nLOGPAGE P { 3 , B }", {err::LOGPAGE_HANDLER_DUPLICATE_NAME_DETECTED}},
        {"COLOR Red , 255 , 0 , 0", {}},
        {"COLOR", {err::COLOR_HANDLER_MISSING_NAME_TAG_ARGUMENT}},
        {"COLOR c", {err::COLOR_HANDLER_MISSING_RED_ARGUMENT}},
        {"COLOR c 1", {err::COLOR_HANDLER_MISSING_GREEN_ARGUMENT}},
        {"COLOR c 1 2", {err::COLOR_HANDLER_MISSING_BLUE_ARGUMENT}},
        {"COLOR c 100H 1 2", {err::COLOR_HANDLER_INVALID_RED_ARGUMENT}},
        {"COLOR c 1 1FFH 2", {err::COLOR_HANDLER_INVALID_GREEN_ARGUMENT}},
        {"COLOR c 1 2 300", {err::COLOR_HANDLER_INVALID_BLUE_ARGUMENT}},
        {"COLOR c 1 2 3\nCOLOR c 4 5 6", {err::COLOR_HANDLER_DUPLICATE_NAME_DETECTED}},
        {"FILE Out extra words ignored", {}},
        {"FILE Out\nFILE Out", {err::K_FILE_DUPLICATE_FILE_TAG_SPECIFIED}},
        {"CHART Plot 1 2", {}},
        {"CHART Plot\nCHART Plot", {err::K_CHART_DUPLICATE_CHART_TAG_SPECIFIED}},
    });
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nBUFFER B [ 64 ]\nLOGPAGE P { 7 , B }\nLOGPAGE Q { 2EH B }\n"
                     "COLOR Red 255 0 10H\nEXIT 0\n"));
    EXPECT_EQ(engine.tables().logPages.find("P")->kind, LogPageKind::Packets);
    EXPECT_EQ(engine.tables().logPages.find("Q")->pageCode, 0x2E);
    EXPECT_EQ(engine.tables().logPages.find("Q")->kind, LogPageKind::Parameters);
    EXPECT_EQ(engine.tables().colors.find("Red")->colorRef(), 0x1000FFu);
}

TEST_F(DeclarationTest, Labels) {
    check({
        {"EXTERNAL Second:\nEXIT 1", {}},
        {"Second extra:", {err::INVALID_SYMBOL_USAGE_DETECTED}},
        {"Start:", {err::SYMBOL_DUPLICATION_DETECTED}},
        {"Second: extra", {err::UNRECOGNIZABLE_LINE}},  // no colon at the end: no label
        {"start:\nJUMP start", {}},                      // case counts
    });
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nEXTERNAL Second:\nEXIT 0\n"));
    EXPECT_TRUE(engine.tables().symbols.find("Second")->published);
    EXPECT_FALSE(engine.tables().symbols.find("Start")->published);
}

TEST_F(DeclarationTest, InternalSenseLines) {
    check({
        {"* SK 03\n* asc 11H\n* ASCQ 0\n* ILI 1\n* EOM 0\n* FM 1", {}},
        {"* SK", {err::K_PHASE1_INTERNAL_TRIGGER_MISSING_ARG}},
        {"* SK 100H", {err::K_PHASE1_ILLEGAL_INTERNAL_SK_VALUE_ASSIGNMENT}},
        {"* ASC 300", {err::K_PHASE1_ILLEGAL_INTERNAL_ASC_VALUE_ASSIGNMENT}},
        {"* ASCQ 1FFH", {err::K_PHASE1_ILLEGAL_INTERNAL_ASCQ_VALUE_ASSIGNMENT}},
        {"* ILI x", {err::PHASE1_ILLEGAL_INTERNAL_ILI_VALUE_ASSIGNMENT}},
        {"* EOM 256", {err::PHASE1_ILLEGAL_INTERNAL_EOM_VALUE_ASSIGNMENT}},
        {"* FM 0x123", {err::PHASE1_ILLEGAL_INTERNAL_FM_VALUE_ASSIGNMENT}},
        {"* KEY 1", {err::K_PHASE1_UNKNOWN_INTERNAL_TRIGGER_DETECTED}},
    });
    // A bad internal sense line ends phase 1 at once.
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\n* SK 100H\nBYTE b = 300\n"));
    EXPECT_EQ(codes(), (std::vector<int32_t>{err::K_PHASE1_ILLEGAL_INTERNAL_SK_VALUE_ASSIGNMENT}));
    EXPECT_EQ(trail().size(), 2u);
}

TEST_F(DeclarationTest, NamesAreSharedByEveryIncludedFile) {
    write("DECL.SCS", "BUFFER Shared [ 8 ]\nBYTE x = 1\n");
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\nPEEK Shared [ 0 ] x\n#INCLUDE DECL.SCS\nBUFFER Shared [ 4 ]\n"));
    ASSERT_EQ(engine.errors().size(), 1u);
    EXPECT_EQ(engine.errors()[0].code, err::BUFF_HANDLER_DUPLICATE_NAME_DETECTED);
    EXPECT_EQ(engine.errors()[0].line, 5);
}

}  // namespace
}  // namespace vexal::script::testing
