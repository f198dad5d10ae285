// The script error table's rows, their message prefixes and the trail-file error line.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <set>
#include <string>

#include "script/script_error_table.h"

using vexal::script::ErrorMark;
using vexal::script::errorMessage;
using vexal::script::errorPrefix;
using vexal::script::findScriptError;
using vexal::script::FormatError;
using vexal::script::ScriptErrorRow;
using vexal::script::scriptErrorTable;

namespace {

// The prefix rules, written out independently of the table code: a mark other than Default
// fixes the prefix; a Default row takes the prefix of the range its code lies in.
struct MarkPrefix {
    ErrorMark mark;
    const char* prefix;
};
constexpr MarkPrefix kMarkPrefixes[] = {
    {ErrorMark::R, "Error : Run Time : "}, {ErrorMark::R1, "Error : RunTime : "},
    {ErrorMark::X, "Error : Exit : "},     {ErrorMark::P, "Error : Phase 2 : "},
    {ErrorMark::L, "Linker Error: "},      {ErrorMark::RE, "RunTime Error: "},
    {ErrorMark::N, ""},
};

struct RangePrefix {
    int32_t high;  // inclusive, the code nearer zero
    int32_t low;   // inclusive
    const char* prefix;
};
constexpr RangePrefix kRangePrefixes[] = {
    {-100, -4022, "Error : "},
    {-4050, INT32_MIN, "Error: "},
};

// The expected prefix of a table row, or null when a Default row lies outside both ranges.
const char* expectedPrefix(const ScriptErrorRow& row) {
    for (const MarkPrefix& m : kMarkPrefixes)
        if (m.mark == row.mark) return m.prefix;
    for (const RangePrefix& r : kRangePrefixes)
        if (row.code <= r.high && row.code >= r.low) return r.prefix;
    return nullptr;
}

// Every row whose mark is not Default, as the table lists them.
const std::map<int32_t, ErrorMark> kMarkedRows = {
    {-119, ErrorMark::X},   {-120, ErrorMark::X},   {-121, ErrorMark::X},
    {-140, ErrorMark::R},   {-161, ErrorMark::R},   {-162, ErrorMark::R},
    {-163, ErrorMark::R},   {-164, ErrorMark::R},   {-190, ErrorMark::R1},
    {-230, ErrorMark::R},   {-231, ErrorMark::R},   {-233, ErrorMark::R},
    {-234, ErrorMark::R},   {-247, ErrorMark::P},   {-265, ErrorMark::R},
    {-305, ErrorMark::R},   {-313, ErrorMark::R},   {-345, ErrorMark::R},
    {-346, ErrorMark::R},   {-347, ErrorMark::R},   {-383, ErrorMark::R},
    {-391, ErrorMark::R},   {-604, ErrorMark::R},   {-605, ErrorMark::R},
    {-3002, ErrorMark::R},  {-3008, ErrorMark::R},  {-3013, ErrorMark::R},
    {-3025, ErrorMark::R},  {-3036, ErrorMark::R},  {-3045, ErrorMark::R},
    {-3054, ErrorMark::R},  {-3063, ErrorMark::R},  {-3073, ErrorMark::R},
    {-3083, ErrorMark::R},  {-3093, ErrorMark::R},  {-3102, ErrorMark::R},
    {-3111, ErrorMark::R},  {-3121, ErrorMark::R},  {-3202, ErrorMark::R},
    {-3304, ErrorMark::R},  {-4030, ErrorMark::N},  {-4031, ErrorMark::N},
    {-4032, ErrorMark::N},  {-4040, ErrorMark::N},  {-4041, ErrorMark::N},
    {-4042, ErrorMark::N},  {-4043, ErrorMark::N},  {-4044, ErrorMark::N},
    {-4045, ErrorMark::N},  {-7080, ErrorMark::L},  {-7090, ErrorMark::RE},
    {-7091, ErrorMark::RE}, {-7093, ErrorMark::RE},
};

TEST(ScriptErrorTableTest, ShapeOfTheTable) {
    const auto table = scriptErrorTable();
    ASSERT_EQ(table.size(), 839u);
    EXPECT_EQ(table[0].code, 0);
    EXPECT_EQ(table[0].name, "Ok. No Error Present");

    std::map<int32_t, int> seen;
    for (size_t i = 1; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].code);
        EXPECT_LT(table[i].code, 0);
        EXPECT_FALSE(table[i].name.empty());
        ++seen[table[i].code];
    }
    // Only -260 is listed twice; every other code once.
    for (const auto& [code, count] : seen) EXPECT_EQ(count, code == -260 ? 2 : 1) << code;
    EXPECT_EQ(seen.size(), 837u);
}

TEST(ScriptErrorTableTest, MarksAreExactlyTheListedOnes) {
    size_t marked = 0;
    for (const ScriptErrorRow& row : scriptErrorTable()) {
        if (row.mark == ErrorMark::Default) continue;
        ++marked;
        const auto it = kMarkedRows.find(row.code);
        ASSERT_NE(it, kMarkedRows.end()) << row.code << " " << row.name;
        EXPECT_EQ(row.mark, it->second) << row.code;
    }
    EXPECT_EQ(marked, kMarkedRows.size());
}

// Every row through the formatter, with its prefix from the rules above.
TEST(ScriptErrorTableTest, EveryRowFormatsWithItsPrefix) {
    const auto table = scriptErrorTable();
    for (size_t i = 1; i < table.size(); ++i) {
        const ScriptErrorRow& row = table[i];
        SCOPED_TRACE(row.code);
        const char* prefix = expectedPrefix(row);
        ASSERT_NE(prefix, nullptr) << "Default row outside both prefix ranges";
        EXPECT_EQ(errorPrefix(row), prefix);
        const std::string message = std::string(prefix) + std::string(row.name);
        EXPECT_EQ(errorMessage(row), message);
        EXPECT_EQ(FormatError(row.code, "tests/a.scr", 42),
                  "Error In tests/a.scr @ Line 42 : " + message);
    }
}

TEST(ScriptErrorTableTest, LookupTakesTheFirstRowWithTheCode) {
    const auto table = scriptErrorTable();
    std::set<int32_t> earlier;
    for (const ScriptErrorRow& row : table) {
        const ScriptErrorRow* found = findScriptError(row.code);
        ASSERT_NE(found, nullptr) << row.code;
        if (earlier.insert(row.code).second) EXPECT_EQ(found, &row) << row.code;
        else EXPECT_LT(found, &row) << row.code;
    }
    // The duplicate sits on two neighbouring rows with the same name.
    const ScriptErrorRow* first = findScriptError(-260);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first[1].code, -260);
    EXPECT_EQ(first[1].name, first->name);
    EXPECT_EQ(first->name, "MODCDB_VALUE_VARIABLE_TYPE");

    for (int32_t code : {1, -1, -99, -4023, -4046, -4049, -6000, -9032, -10000, INT32_MIN, INT32_MAX})
        EXPECT_EQ(findScriptError(code), nullptr) << code;
}

// Rows typed from the table's listing: the first and last of each family, each mark, the
// prefix boundaries, the duplicate and the names that are not plain identifiers.
TEST(ScriptErrorTableTest, SpotChecks) {
    struct Case {
        int32_t code;
        const char* line;
    };
    const Case cases[] = {
        // Loading, declarations, symbols and core statements.
        {-100, "Error : ROPEN_ERROR_DETECTED"},
        {-432, "Error : K_FAIL_UNINITIALIZED_BUFFER_SPECIFED"},
        // Placeholders and run-time index errors; -500's name is a sentence.
        {-500, "Error : Operation Selected is Under Construction"},
        {-510, "Error : IFTRUE_SCSI_INVALID_ASCQ_FIELD"},
        {-550, "Error : GET_DRIVETYPE_INVALID_VARIABLE_SPECIFIED"},
        {-608, "Error : GET_NOF_PACKETS_UNKNOWN_VARIABLE_SPECIFIED"},
        {-700, "Error : VARIABLE_PG2_VALUE_FETCH_ERROR"},
        {-705, "Error : VARIABLE_PG32_VALUE_FETCH_ERROR"},
        {-800, "Error : K_OP_BYTE_INVALID_ASSIGNMENT"},
        {-803, "Error : K_OP_FLOAT_INVALID_ASSIGNMENT"},
        {-900, "Error : TIME_INVALID_VARIABLE_SPECIFIED"},
        {-976, "Error : STRLEN_INVALID_RESULT_VARIABLE_TYPE_SPECIFIED"},
        {-1000, "Error : K_KPAGES_ILLEGAL_LOGPAGE_ID"},
        {-1009, "Error : K_KPAGES_GET_PAGE_AT_INDEX_RANGE_ERROR"},
        {-2001, "Error : PHASE2_UNKNOWN_PG7_COMMAND_DETECTED"},
        {-2063, "Error : K_PHASE1_FILE_FINGERPRINT_ERROR"},
        {-3000, "Error : DB_OPEN_UNKNOWN_FILENAME_BUFFER"},
        {-3304, "Error : Run Time : DB_FAIL_INSERTION_ERROR"},
        {-4000, "Error : K_PG7_CREATE_MAP_MISSING_ARGUMENTS"},
        {-4022, "Error : IFNOSENSE_INVALID_IMPLIED_JUMP_SYMBOL_SPECIFIED"},
        {-4050, "Error: K_WRITE_MISSING_RETURN_COUNT_VARIABLE"},
        {-4071, "Error: PRINT_BACKSLASH_SPECIFIER_ERROR"},
        {-5000, "Error: COLOR_HANDLER_DUPLICATE_NAME_DETECTED"},
        {-5021, "Error: K_FILE_ADD_TO_LIST_ERROR"},
        {-7000, "Error: K_PRINT_TO_FILE_INVALID_DEST_FILE_SPECIFIED"},
        {-7300, "Error: K_CHART_DUPLICATE_CHART_TAG_SPECIFIED"},
        {-8000, "Error: K_SET_CHART_TYPE_PARSING_ERROR"},
        {-8213, "Error: K_PEEKL_INDEX_OUT_OF_RANGE"},
        {-8218, "Error: K_PEEKL_DEST_FIELD_MUST_BE_A_LONG_VARIABLE"},
        {-9000, "Error: K_SERIAL_PARSING_ERROR"},
        {-9031, "Error: K_GET_SUPPRESS_STATUS_INVALID_VARIABLE_TYPE"},
        // One of each mark.
        {-119, "Error : Exit : NO_VALUE_SPECIFIED"},
        {-140, "Error : Run Time : JUMP_INVALID_VECTOR_ERROR"},
        {-190, "Error : RunTime : AND_BUFFER_INDEX_OUT_OF_RANGE"},
        {-247, "Error : Phase 2 : NO_DESCRIPTION_SPECIFIED"},
        {-604, "Error : Run Time : KRT_DELTA_FILTER_1ST_LOGPAGE_NOT_LOADED"},
        {-7080, "Linker Error: K_PHASE3_UNINITIALIZED_VARIABLE_DETECTED"},
        {-7090, "RunTime Error: K_EXECUTE_BIT_MATH_DOUBLE_OPERATION_NOT_ALLOWED"},
        {-7093, "RunTime Error: KRT_ASK_FOR_FILE_BUFFER_TOO_SMALL_ERROR"},
        {-4030, "PHASE1_ILLEGAL_INTERNAL_ILI_VALUE_ASSIGNMENT"},
        {-4032, "PHASE1_ILLEGAL_INTERNAL_FM_VALUE_ASSIGNMENT"},
        {-4040, "K_GET_ILI_STATUS_INVALID_VARIABLE_SPECIFIED"},
        {-4045, "K_GET_FM_STATUS_INVALID_VARIABLE_TYPE"},
        // The same name as -190 but unmarked, in another family.
        {-501, "Error : AND_BUFFER_INDEX_OUT_OF_RANGE"},
        // Listed out of order in the first family.
        {-159, "Error : CALL_NO_VECTOR_SPECIFIED"},
        {-161, "Error : Run Time : CALL_DEPTH_EXCEEDED"},
        {-318, "Error : POKE_SOURCE_FIELD_MUST_BE_A_BYTE_TYPE_NUMBER"},
        {-260, "Error : MODCDB_VALUE_VARIABLE_TYPE"},
        // The listing keeps a blank at the end of this name.
        {-334, "Error : ASK4NUMBER_INVALID_MODE_ARG "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatError(c.code, "scripts/t.scr", 7), std::string("Error In scripts/t.scr @ Line 7 : ") + c.line)
            << c.code;
}

TEST(ScriptErrorTableTest, NoErrorUnknownCodeAndUnknownFile) {
    EXPECT_EQ(FormatError(0, "a.scr", 3), "*** No Error Condition Exists ***");
    EXPECT_EQ(FormatError(0, "", 0), "*** No Error Condition Exists ***");

    EXPECT_EQ(FormatError(-4023, "a.scr", 12), "*** Unknown Error Condition Detected : a.scr -4023 @ 12 ***");
    EXPECT_EQ(FormatError(5, "a.scr", 0), "*** Unknown Error Condition Detected : a.scr 5 @ 0 ***");
    EXPECT_EQ(FormatError(INT32_MIN, "a.scr", -1),
              "*** Unknown Error Condition Detected : a.scr -2147483648 @ -1 ***");

    EXPECT_EQ(FormatError(-135, "", 9), "Error In Unknown @ Line 9 : Error : CONTEXT_LINKER_ERROR");
    EXPECT_EQ(FormatError(-1, "", 9), "*** Unknown Error Condition Detected : Unknown -1 @ 9 ***");
}

// The prefix rules on rows that the table does not hold: a mark wins over the range, and the
// codes between the two ranges take the older statements' prefix.
TEST(ScriptErrorTableTest, PrefixRulesAtTheRangeEdges) {
    struct Case {
        ScriptErrorRow row;
        const char* prefix;
    };
    const Case cases[] = {
        {{-100, "A", ErrorMark::Default}, "Error : "},
        {{-4022, "A", ErrorMark::Default}, "Error : "},
        {{-4023, "A", ErrorMark::Default}, "Error : "},
        {{-4049, "A", ErrorMark::Default}, "Error : "},
        {{-4050, "A", ErrorMark::Default}, "Error: "},
        {{INT32_MIN, "A", ErrorMark::Default}, "Error: "},
        {{0, "A", ErrorMark::Default}, ""},
        {{-9000, "A", ErrorMark::R}, "Error : Run Time : "},
        {{-100, "A", ErrorMark::N}, ""},
        {{-100, "A", ErrorMark::L}, "Linker Error: "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorPrefix(c.row), c.prefix) << c.row.code;
        EXPECT_EQ(errorMessage(c.row), std::string(c.prefix) + "A") << c.row.code;
    }
    // The first row's name is its whole message.
    EXPECT_EQ(errorMessage(scriptErrorTable()[0]), "Ok. No Error Present");
}

}  // namespace
