// The keyword table, the core statements' checks, the whole-script rules and linking.
#include "script/keyword_table.h"
#include "script/script_error_codes.h"
#include "script_fixture.h"

namespace vexal::script::testing {
namespace {

struct StatementCase {
    const char* body;
    int32_t code;  // 0: accepted
};

struct StatementTest : ScriptTest {
    // Declarations every case may use, then the case's lines.
    static constexpr const char* kPrelude =
        "DESCRIPTION d\nStart:\nBYTE b\nBYTE xy\nWORD w\nLONG l\nDOUBLE d\nBUFFER B [ 16 ]\n"
        "SENSEKEYS Medium 03 11H 00 Medium error\nBUFFER PB [ 64 ]\nLOGPAGE Errs { 2 PB }\nLOGPAGE Events { 7 PB }\n"
        "Other:\n";
    void check(const std::vector<StatementCase>& cases) {
        for (const auto& c : cases) {
            const bool ok = load(std::string(kPrelude) + c.body + "\n");
            EXPECT_EQ(ok, c.code == 0) << c.body;
            EXPECT_EQ(onlyCode(), c.code) << c.body;
        }
    }
};

TEST(KeywordTableTest, HasEveryKeywordAtItsOpcode) {
    const auto table = keywordTable();
    ASSERT_EQ(table.size(), 132u);
    const std::pair<const char*, int32_t> spotChecks[] = {
        {"ANDBUFFER", 0}, {"CALL", 6}, {"IF", 34}, {"JUMP", 39}, {"PRINT", 57}, {"WRITE", 76}, {"#INCLUDE", 78},
        {"ATON", 79}, {"DETERMINNUMBERTYPE", 83}, {"OCCURANCE", 87}, {"BIGINDIAN", 81}, {"WIPERIGHT", 98},
        {"DBOPEN", 99}, {"KDBQUERYFOLDERPERCENTAGE", 113}, {"DBPRINTMEDIAINFORMATIOM", 114},
        {"DBDELETEFOLDER", 116}, {"SETCHARTTYPE", 117}, {"RESETCHART", 131},
    };
    for (const auto& [keyword, opcode] : spotChecks) {
        const KeywordEntry* e = findKeyword(keyword);
        ASSERT_NE(e, nullptr) << keyword;
        EXPECT_EQ(e->opcode, opcode) << keyword;
    }
    EXPECT_EQ(findKeyword("include"), nullptr);  // lookups take the upper-cased word
    EXPECT_EQ(findKeyword("DETERMINENUMBERTYPE"), nullptr);
}

TEST_F(ScriptTest, EveryKeywordIsRecognisedInAnyCase) {
    for (const KeywordEntry& e : keywordTable()) {
        if (!e.handler) continue;  // #INCLUDE never reaches phase 2
        std::string lower(e.keyword);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        load("DESCRIPTION d\nStart:\n" + lower + " x\n");
        const auto& s = engine.tables().statements;
        ASSERT_EQ(s.size(), 2u) << e.keyword;
        EXPECT_EQ(s[1].opcode, e.opcode) << e.keyword;
    }
}

TEST_F(StatementTest, ControlFlow) {
    check({
        {"JUMP Other", 0},
        {"JUMP", err::JUMP_NO_VALUE_SPECIFIED},
        {"JUMP Nowhere", err::JUMP_UNKNOWN_VECTOR_ERROR},
        {"JUMP other", err::JUMP_UNKNOWN_VECTOR_ERROR},
        {"CALL Other", 0},
        {"CALL", err::CALL_NO_VECTOR_SPECIFIED},
        {"CALL Nowhere", err::CALL_UNKNOWN_VECTOR_ERROR},
        {"RETURN", 0},
        {"EXIT 1", 0},
        {"EXIT b", 0},
        {"EXIT w", 0},
        {"EXIT", err::NO_VALUE_SPECIFIED},
        {"EXIT nothing", err::UNABLE_TO_IDENTIFY_EXIT_SPECIFIER},
        {"EXIT l", err::VARIABLE_TYPE_ERROR},
        {"EXIT d", err::VARIABLE_TYPE_ERROR},
        {"ONERROR Other", 0},
        {"ONERROR Nowhere", err::ONERROR_UNKNOWN_VECTOR_ERROR},
        {"ONCANCEL Other", 0},
        {"ONCANCEL", err::ONCANCEL_UNKNOWN_VECTOR_ERROR},
        {"SLEEP 1500", 0},
        {"SLEEP w", 0},
        {"SLEEP", err::SLEEP_NO_VALUE_SPECIFIED},
        {"SLEEP soon", err::SLEEP_UNABLE_TO_IDENTIFY_SLEEP_SPECIFIER},
        {"SLEEP l", err::SLEEP_VARIABLE_TYPE_ERROR},
        {"VERBOSE on", 0},
        {"VERBOSE OFF", 0},
        {"VERBOSE maybe", err::VERBOSE_FLAG_UNKNOWN},
        {"VERSION 1.5", 0},
        {"VERSION", err::VERSION_NO_VALUE_SPECIFIED},
    });
}

TEST_F(StatementTest, OperatorMessages) {
    check({
        {"LOG a line", 0},
        {"LOG", err::LOG_NO_VALUE_SPECIFIED},
        {"MSG a line", 0},
        {"MSG", err::MSG_NO_VALUE_SPECIFIED},
        {"PASS \"All good\"", 0},
        {"PASS B", 0},
        {"FAIL B", 0},
        {"INSTRUCT Load a tape ONOK Other", 0},
        {"INSTRUCT Load a tape oncancel Other", 0},
        {"INSTRUCT", err::INSTRUCT_NO_VALUE_SPECIFIED},
        {"INSTRUCT ONOK Other", err::INSTRUCT_NO_VALUE_SPECIFIED},
        {"INSTRUCT Load a tape", err::INSTRUCT_NO_VECTOR_DETECTED},
        {"INSTRUCT Load ONOK a tape ONCANCEL Other", err::INSTRUCT_TOO_MANY_VECTORS_SPECIFIED},
        {"INSTRUCT Load a tape ONOK Nowhere", err::INSTRUCT_INVALID_VECTOR_SPECIFIED},
    });
}

TEST_F(ScriptTest, PassAndFailRefuseABufferTextLongerThan1023Characters) {
    // Only a buffer that already holds text can be too long in phase 2; buffers start empty.
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nBUFFER Long [ 2000 ]\nPASS Long\nFAIL Long\n"));
    engine.tables().buffers.find("Long")->storage.assign(2000, 'x');
    // (Checked again when the statement runs.)
}

TEST_F(StatementTest, Conditions) {
    check({
        {"IF b == 1 JUMP Other", 0},
        {"IF b == 1 CALL Other", 0},
        {"IF b < 5 RETURN", 0},
        {"IF b == 1 AND w != 2 OR l >= 3 JUMP Other", 0},
        {"IF d <= 1.5 w > 0FFH JUMP Other", 0},  // a comparison without a connective keeps the last one
        {"IF b == 1", err::IF_MISSING_CALL_OR_JUMP_OR_RETURN_VECTOR_PHRASE},
        {"IF JUMP Other", err::IF_MISSING_CALL_OR_JUMP_OR_RETURN_VECTOR_PHRASE},
        {"IF b == 1 JUMP Nowhere", err::IF_INVALID_SYMBOL_VECTOR_SPECIFIED},
        {"IF nothing == 1 JUMP Other", err::IF_UNKNOWN_ARG1_SPECIFIED},
        {"IF b = 1 JUMP Other", err::IF_MISSING_EVALUATOR},
        {"IF b JUMP Other", err::IF_MISSING_EVALUATOR},
        {"IF b == nothing JUMP Other", err::IF_UNKNOWN_ARG2_SPECIFIED},
        {"IF b == 1 AND JUMP Other", err::IF_AND_AT_END_OFLINE_WITHOUT_AN_EXPRESSION},
        {"IF b == 1 or JUMP Other", err::IF_OR_AT_END_OFLINE_WITHOUT_AN_EXPRESSION},
        {"IFSENSE ANY JUMP Other", 0},
        {"IFSENSE Medium CALL Other", 0},
        {"IFSENSE 03 11H XX Other", 0},
        {"IFSENSE 03 XX XX RETURN", 0},
        {"IFSENSE ZZ 11H 00 JUMP Other", err::IFSENSE_VALUE_1_ERROR},
        {"IFSENSE 03 ZZ 00 JUMP Other", err::IFSENSE_VALUE_2_ERROR},
        {"IFSENSE 03 11H ZZ JUMP Other", err::IFSENSE_VALUE_3_ERROR},
        {"IFSENSE 03 XX 00 JUMP Other", err::IFSENSE_VALUE_3_ERROR},
        {"IFSENSE ANY JUMP Nowhere", err::IFSENSE_UNKNOWN_VECTOR_ERROR},
        {"IFSENSE ANY Nowhere", err::IFSENSE_UNKNOWN_VECTOR_ERROR},
        {"IFSENSE ANY", err::IFSENSE_UNKNOWN_VECTOR_ERROR},
        {"IFNOSENSE JUMP Other", 0},
        {"IFNOSENSE Other", 0},
        {"IFNOSENSE RETURN", 0},
        {"IFNOSENSE JUMP Nowhere", err::IFNOSENSE_INVALID_JUMP_SYMBOL_SPECIFIED},
        {"IFNOSENSE CALL Nowhere", err::IFNOSENSE_INVALID_CALL_SYMBOL_SPECIFIED},
        {"IFNOSENSE Nowhere", err::IFNOSENSE_INVALID_IMPLIED_JUMP_SYMBOL_SPECIFIED},
    });
}

TEST_F(StatementTest, PacketQueries) {
    check({
        {"IFTRUE Events w BUGCHECK 1234H == 0 JUMP Other", 0},
        {"IFTRUE Events w EVENT 10 TO 20 CALL Other >= 2 WITHIN 24 WITH SAME", 0},
        {"IFTRUE Events w SENSE 03 XX XX > 0 JUMP Other", 0},
        {"IFTRUE Events w SCSI Medium != w JUMP Other", 0},
        {"IFTRUE Events w POST ANY DW [ 2 ] L 0000FFFFH == 1 2 3 JUMP Other", 0},
        {"IFTRUE", err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS},
        {"IFTRUE Nope w POST == 1 JUMP Other", err::IFTRUE_INVALID_LOGPAGE_TAG},
        {"IFTRUE Errs w POST == 1 JUMP Other", err::IFTRUE_INVALID_LOGPAGE_NUMBER},
        {"IFTRUE Events nope POST == 1 JUMP Other", err::K_IFTRUE_INVALID_RETURN_COUNT_VARIABLE_SPECIFIED},
        {"IFTRUE Events b POST == 1 JUMP Other", err::K_IFTRUE_INVALID_RETURN_COUNT_VARIABLE_TYPE_SPECIFIED},
        {"IFTRUE Events w PACKETS == 1 JUMP Other", err::IFTRUE_INVALID_QUERY_TYPE},
        {"IFTRUE Events w POST == 1", err::IFTRUE_NO_CALL_OR_JUMP_SPECIFIED},
        {"IFTRUE Events w POST == 1 JUMP Nowhere", err::IFTRUE_INVALID_JUMP_VECTOR_SYMBOL_DETECTED},
        {"IFTRUE Events w POST == 1 CALL Nowhere", err::IFTRUE_INVALID_CALL_VECTOR_SYMBOL_DETECTED},
        {"IFTRUE Events w SENSE 100H 11H 00 == 1 JUMP Other", err::IFTRUE_SENSE_INVALID_SK_NUMBER},
        {"IFTRUE Events w SENSE 03 100H 00 == 1 JUMP Other", err::IFTRUE_SENSE_INVALID_ASC_NUMBER},
        {"IFTRUE Events w SCSI 03 ZZ 00 == 1 JUMP Other", err::IFTRUE_SCSI_INVALID_ASC_FIELD},
        {"IFTRUE Events w SENSE 03 XX 00 == 1 JUMP Other", err::IFTRUE_XX_USED_AS_ASC_CODE},
        {"IFTRUE Events w SENSE NoTag == 1 JUMP Other", err::IFTRUE_INVALID_SENSEKEYS_TAG},
        {"IFTRUE Events w BUGCHECK nope == 1 JUMP Other", err::IFTRUE_BUGCHK_INVALID_VALUE_FIELD},
        {"IFTRUE Events w BUGCHECK b == 1 JUMP Other", err::IFTRUE_BUGCHK_VARIABLE_NOT_A_WORD},
        {"IFTRUE Events w BUGCHECK 20 TO 10 == 1 JUMP Other", err::K_IFTRUE_BUGCHECK_RANGE_ERROR_SPECIFIED},
        {"IFTRUE Events w EVENT b == 1 JUMP Other", err::K_IFTRUE_EVET_VARIABLE_NOT_A_WORD},
        {"IFTRUE Events w EVENT 1 TO b == 1 JUMP Other", err::IFTRUE_EVENT_VARIABLE_NOT_A_WORD},
        {"IFTRUE Events w EVENT 5 TO 5 == 1 JUMP Other", err::K_IFTRUE_EVENT_RANGE_ERROR_SPECIFIED},
        {"IFTRUE Events w CUP == 1 JUMP Other", err::UNDER_CONSTRUCTION},
        {"IFTRUE Events w POST ~ 1 JUMP Other", err::IFTRUE_INVALID_OPERATOR_DETECTED},
        {"IFTRUE Events w POST WITHIN 3 == 1 JUMP Other", err::IFTRUE_WITHIN_PHRASE_PRECIDENT_ERROR},
        {"IFTRUE Events w POST == 10000H JUMP Other", err::IFTRUE_INVALID_NUMBER_VALUE_FIELD},
        {"IFTRUE Events w POST == l JUMP Other", err::IFTRUE_LIMIT_FIELD_VARIABLE_NOT_A_WORD},
        {"IFTRUE Events w POST ANY QW 1 L 1 == 1 JUMP Other", err::K_IFTRUE_HANDLEANY_MISSING_DW_PHRASE},
        {"IFTRUE Events w POST ANY DW 1 Q 1 == 1 JUMP Other", err::K_IFTRUE_HANDLEANY_UNKNOWN_DW_IDX_DETECTED},
        {"IFTRUE Events w POST ANY DW 1 L 1 < 1 JUMP Other", err::K_IFTRUE_HANDLEANY_UNKNOWN_EVALUATOR},
        {"IFTRUE Events w POST ANY DW 1 L 1 == JUMP Other", err::K_IFTRUE_HANDLEANY_NO_ARGS_SPECIFIED},
        {"IFTRUE Events w POST ANY DW 1 L 1 == x JUMP Other", err::K_IFTRUE_HANDLEANY_INVALID_ARG_TYPE},
        {"IFTRUE Events w POST == 1 WITHIN nope JUMP Other", err::IFTRUE_UNKNOWN_WITHIN_TIME_ARG},
        {"IFTRUE Events w POST == 1 WITHIN b JUMP Other", err::IFTRUE_WITHIN_TIME_VARIABLE_NOT_A_WORD},
        {"IFTRUE Events w POST == 1 WITH OTHER JUMP Other", err::IFTRUE_INVALID_WITH_ARG},
        {"IFTRUE Events w POST == 1 WITH SAME WITHIN 2 JUMP Other", err::IFTRUE_WITHIN_PHRASE_PRECIDENT_ERROR},
    });
}

TEST_F(StatementTest, Assignments) {
    check({
        {"b = 5", 0},
        {"xy", 0},  // no operator, no operand: does nothing
        {"b", err::CONTEXT_LINKER_ERROR},  // a one-character line is skipped: Other names nothing
        {"w = 70000", 0},  // code 4 passes phase 2; the run decides
        {"b += w", 0},
        {"d |= 1", 0},  // refused only when it runs
        {"l <<= 33", 0},
        {"b ! 5", err::VARI_MISSING_OPERATOR},
        {"b =", err::VARI_MISSING_ARGUMENT},
        {"b = nothing", err::VARI_UNABLE_TO_PROCESS_VARIABLE},
        {"b = 0x5", err::VARI_UNABLE_TO_PROCESS_VARIABLE},
        {"b=5", err::UNRECOGNIZABLE_LINE},  // one word: no variable name
        {"l = Errs->0001", 0},
        {"l = Errs 0001", 0},
        {"l = Errs->nope", err::VARI_INVALID_PAGE_PARM_VALUE},
        {"l = Events anything", 0},
        {"JUMP = 5", err::JUMP_UNKNOWN_VECTOR_ERROR},  // a keyword always wins
    });
}

TEST_F(ScriptTest, AssignmentsAreEncodedInTheirStatement) {
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nBYTE b\nWORD w\nLONG l\nDOUBLE d\n"
                     "b = FFH\nw += 1234H\nl *= 70000\nd /= 2.5\nb -= w\nl >>= 3\nd = l\n"));
    const auto& s = engine.tables().statements;
    struct Expect {
        size_t index;
        AssignOp op;
        uint16_t kind;
    };
    const Expect expected[] = {
        {5, AssignOp::Set, 0x51},  {6, AssignOp::Add, 0x62}, {7, AssignOp::Mul, 0x73},
        {8, AssignOp::Div, 0x84},  {9, AssignOp::Sub, 0x21}, {10, AssignOp::ShiftRight, 0x53},
        {11, AssignOp::Set, 0x34},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(s[e.index].op, e.op) << s[e.index].text;
        EXPECT_EQ(s[e.index].kind, e.kind) << s[e.index].text;
        EXPECT_EQ(s[e.index].opcode, kNoOpcode);
    }
    EXPECT_EQ(s[5].byteLiteral, 0xFF);
    EXPECT_EQ(s[6].wordLiteral, 0x1234);
    EXPECT_EQ(s[7].longLiteral, 70000u);
    EXPECT_DOUBLE_EQ(s[8].doubleLiteral, 2.5);
    EXPECT_EQ(s[9].source, engine.tables().variables.find("w"));
    EXPECT_EQ(s[9].target, engine.tables().variables.find("b"));
}

TEST_F(StatementTest, LogPageLines) {
    check({
        {"Errs 0001", 0},
        {"Errs->0001 += 5", 0},
        {"Errs 0001 = l", 0},
        {"Nope 0001", err::UNRECOGNIZABLE_LINE},
        {"Errs xyz", err::PHASE2_LOGPAGE_INVALID_PARMCODE_DETECTED},
        {"Errs 0001 ~ 5", err::PHASE2_LOGPAGE_MISSING_OPERATOR},
        {"Errs 0001 =", err::PHASE2_LOGPAGE_MISSING_ARGUMENT},
        {"Errs 0001 = nope", err::PHASE2_LOGPAGE_VARIABLE_SPECIFIER_UNKNOWN},
    });
}

TEST_F(ScriptTest, OneLoadReportsEveryBadStatement) {
    ASSERT_FALSE(load("Start:\nJUMP A\nMSG fine\nCALL B\nVERBOSE loud\n"));
    EXPECT_EQ(trail(), (std::vector<std::string>{
                           "Phase 1 : Collection...", "Phase 1 Completed.", "Phase 2 : Validation...",
                           errorLine(err::JUMP_UNKNOWN_VECTOR_ERROR, scripts / "T.SCS", 2),
                           errorLine(err::CALL_UNKNOWN_VECTOR_ERROR, scripts / "T.SCS", 4),
                           errorLine(err::VERBOSE_FLAG_UNKNOWN, scripts / "T.SCS", 5),
                           errorLine(err::NO_DESCRIPTION_SPECIFIED, scripts / "T.SCS", 5),
                           "Phase 2 Complete."}));
    EXPECT_EQ(trail()[6], "Error In " + (scripts / "T.SCS").string() + " @ Line 5 : Error : Phase 2 : NO_DESCRIPTION_SPECIFIED");
}

TEST_F(ScriptTest, WholeScriptRules) {
    ASSERT_FALSE(load("Start:\nMSG valid\n"));
    EXPECT_EQ(onlyCode(), err::NO_DESCRIPTION_SPECIFIED);
    EXPECT_EQ(engine.state().onErrorCount, 0);

    const std::string fup = "FUP image.img\n";
    write("image.img", "firmware");
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\nONCANCEL Start\n" + fup));
    EXPECT_EQ(onlyCode(), err::PHASE2_FUP_COMMAND_USED_WITH_NO_ONCANCEL_SPECIFIED);
    EXPECT_NE(trail().back(), "Phase 2 Complete.");  // ends phase 2 at once
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\nONERROR Start\n" + fup));
    EXPECT_EQ(onlyCode(), err::K_PHASE2_FUP_COMMAND_USED_WITH_NO_ONCANCEL_SPECIFIED);
    EXPECT_TRUE(load("DESCRIPTION d\nStart:\nONERROR Start\nONCANCEL Start\n" + fup));
}

TEST_F(ScriptTest, DescriptionAndVersionKeepTheirValuesInPhaseTwo) {
    ASSERT_TRUE(load("DESCRIPTION  Drive   check\nVERSION 2.25\nStart:\nVERBOSE ON\n"));
    EXPECT_EQ(engine.state().description, "Drive check");
    EXPECT_FLOAT_EQ(engine.state().version, 2.25f);
    EXPECT_FALSE(engine.state().verbose);  // acts only when it runs
}

TEST_F(ScriptTest, ALastLineThatIsALabelCannotBeLinked) {
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\nMSG a\nEnd:\n// nothing follows\n"));
    EXPECT_EQ(trail(), (std::vector<std::string>{
                           "Phase 1 : Collection...", "Phase 1 Completed.", "Phase 2 : Validation...",
                           "Phase 2 Complete.", "Phase 3 : Linking...",
                           errorLine(err::CONTEXT_LINKER_ERROR, scripts / "T.SCS", 4)}));
    EXPECT_EQ(trail().back(), "Error In " + (scripts / "T.SCS").string() + " @ Line 4 : Error : CONTEXT_LINKER_ERROR");
}

TEST_F(ScriptTest, AScriptWithoutLabelsCannotBeLinked) {
    ASSERT_FALSE(load("DESCRIPTION d\nMSG a\n"));
    EXPECT_EQ(onlyCode(), err::NO_CONTEXTS_SPECIFIED);
}

TEST_F(ScriptTest, LabelsNameTheNextStatement) {
    ASSERT_TRUE(load("DESCRIPTION d\nFirst:\nSecond:\nBUFFER B [ 4 ]\n// comment\nMSG target\nThird:\nMSG last\n"));
    const auto& sym = engine.tables().symbols;
    EXPECT_EQ(sym.find("First")->target, 1);
    EXPECT_EQ(sym.find("Second")->target, 1);
    EXPECT_EQ(sym.find("Second")->line, 6);  // the target's line replaces the label's
    EXPECT_EQ(sym.find("Third")->target, 2);
}

TEST_F(ScriptTest, StatementsNamingALabelGetItsStatement) {
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nBYTE b = 1\nIF b == 1 JUMP Target\nIF b == 2 RETURN\n"
                     "CALL Target\nONERROR Target\nIFSENSE ANY Target\nIFNOSENSE RETURN\n"
                     "INSTRUCT Go ONOK Target\nMSG not a jump\nTarget:\nMSG here\n"));
    const auto& s = engine.tables().statements;
    const int32_t target = engine.tables().symbols.find("Target")->target;
    ASSERT_EQ(s[target].text, "MSG here");
    for (size_t i : {2u, 4u, 5u, 6u, 8u}) EXPECT_EQ(s[i].vector, target) << s[i].text;
    EXPECT_EQ(s[3].vector, kNoStatement);  // RETURN
    EXPECT_EQ(s[7].vector, kNoStatement);
    EXPECT_EQ(s[9].vector, kNoStatement);  // MSG names no label
    EXPECT_EQ(s[2].action, BranchAction::Jump);
    EXPECT_EQ(s[3].action, BranchAction::Return);
}

TEST_F(ScriptTest, IfTrueTakesItsLabelFromWhereverItsActionStands) {
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nWORD n\nBUFFER P [ 64 ]\nLOGPAGE Ev { 7 P }\n"
                     "IFTRUE Ev n EVENT 5 JUMP Hit > 0 WITHIN 24\nHit:\nMSG hit\n"));
    EXPECT_EQ(engine.tables().statements[2].vector, engine.tables().symbols.find("Hit")->target);
}

TEST_F(ScriptTest, JumpToAnUndeclaredLabelFailsInPhaseTwo) {
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\nJUMP Elsewhere\n"));
    EXPECT_EQ(onlyCode(), err::JUMP_UNKNOWN_VECTOR_ERROR);
    for (const auto& line : trail()) EXPECT_EQ(line.find("Phase 3"), std::string::npos);
}

}  // namespace
}  // namespace vexal::script::testing

namespace vexal::script::testing {
namespace {

TEST(CallStackTest, NinetyNineCallsMayBePending) {
    CallStack calls;
    for (int32_t i = 0; i < 99; ++i) ASSERT_TRUE(calls.push(i)) << i;
    EXPECT_FALSE(calls.push(99));
    int32_t top = -1;
    ASSERT_TRUE(calls.pop(top));
    EXPECT_EQ(top, 98);
    calls.clear();
    EXPECT_FALSE(calls.pop(top));
    EXPECT_TRUE(LastSense{}.none());
}

}  // namespace
}  // namespace vexal::script::testing
