#include "script/keyword_table.h"

#include <array>
#include <unordered_map>

#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

// In opcode order; scripts write the misspelt keywords exactly so.
constexpr std::array<KeywordEntry, kKeywordCount> kKeywords{{
    {"ANDBUFFER", 0, stmtAndBuffer},
    {"ASK", 1, stmtAsk},
    {"ASKFORFILE", 2, stmtAskForFile},
    {"ASKFORNUMBER", 3, stmtAskForNumber},
    {"ASKFORTEXT", 4, stmtAskForText},
    {"BAUD", 5, stmtBaud},
    {"CALL", 6, stmtCall},
    {"COMPAREBUFFER", 7, stmtCompareBuffer},
    {"COPYBUFFER", 8, stmtCopyBuffer},
    {"DELTAFILTER", 9, stmtDeltaFilter},
    {"DESCRIPTION", 10, stmtDescription},
    {"BUSDEVICERESET", 11, stmtBusDeviceReset},
    {"DIMENSION", 12, stmtDimension},
    {"DUMPLOGPAGE", 13, stmtDumpLogPage},
    {"EXIT", 14, stmtExit},
    {"FAIL", 15, stmtFail},
    {"FILLBUFFER", 16, stmtFillBuffer},
    {"FORMATTIME", 17, stmtFormatTime},
    {"FUP", 18, stmtFup},
    {"FGETS", 19, stmtFGets},
    {"FWRITE", 20, stmtFWrite},
    {"FREAD", 21, stmtFRead},
    {"FSEEK", 22, stmtFSeek},
    {"GETDRIVETYPE", 23, stmtGetDriveType},
    {"GETFWIMGCHKSUM", 24, stmtGetFwImgChkSum},
    {"GETHASTATUS", 25, stmtGetHaStatus},
    {"GETINQINFO", 26, stmtGetInqInfo},
    {"GETNUMBEROFPACKETS", 27, stmtGetNumberOfPackets},
    {"GETSCSITIMEOUT", 28, stmtGetScsiTimeout},
    {"GETSENSE", 29, stmtGetSense},
    {"GETILISTATUS", 30, stmtGetIliStatus},
    {"GETEOMSTATUS", 31, stmtGetEomStatus},
    {"GETFMSTATUS", 32, stmtGetFmStatus},
    {"GETSUPPRESSSTATUS", 33, stmtGetSuppressStatus},
    {"IF", 34, stmtIf},
    {"IFNOSENSE", 35, stmtIfNoSense},
    {"IFSENSE", 36, stmtIfSense},
    {"IFTRUE", 37, stmtIfTrue},
    {"INSTRUCT", 38, stmtInstruct},
    {"JUMP", 39, stmtJump},
    {"LOADBUFFER", 40, stmtLoadBuffer},
    {"LOADPAGE", 41, stmtLoadPage},
    {"LOG", 42, stmtLog},
    {"LOGSENSEKEYS", 43, stmtLogSenseKeys},
    {"MODCDB", 44, stmtModCdb},
    {"MSG", 45, stmtMsg},
    {"ONCANCEL", 46, stmtOnCancel},
    {"ONERROR", 47, stmtOnError},
    {"ORBUFFER", 48, stmtOrBuffer},
    {"OPENFILE", 49, stmtOpenFile},
    {"CLOSEFILE", 50, stmtCloseFile},
    {"PASS", 51, stmtPass},
    {"PENCOLOR", 52, stmtPenColor},
    {"PEEK", 53, stmtPeek},
    {"PEEKW", 54, stmtPeekW},
    {"PEEKL", 55, stmtPeekL},
    {"POKE", 56, stmtPoke},
    {"PRINT", 57, stmtPrint},
    {"PRINTBUFFER", 58, stmtPrintBuffer},
    {"PRINTCDB", 59, stmtPrintCdb},
    {"PRINTPAGE", 60, stmtPrintPage},
    {"PRINTSENSEKEYS", 61, stmtPrintSenseKeys},
    {"READNOCOMPARE", 62, stmtReadNoCompare},
    {"READCOMPARE", 63, stmtReadCompare},
    {"RECORDPAGE", 64, stmtRecordPage},
    {"RETURN", 65, stmtReturn},
    {"SCSI", 66, stmtScsi},
    {"SERIAL", 67, stmtSerial},
    {"SETBUFFER", 68, stmtSetBuffer},
    {"SETPOH", 69, stmtSetPoh},
    {"SETSCSITIMEOUT", 70, stmtSetScsiTimeout},
    {"SLEEP", 71, stmtSleep},
    {"THUMBPRINT", 72, stmtThumbprint},
    {"TIME", 73, stmtTime},
    {"VERBOSE", 74, stmtVerbose},
    {"VERSION", 75, stmtVersion},
    {"WRITE", 76, stmtWrite},
    {"XORBUFFER", 77, stmtXorBuffer},
    {"#INCLUDE", 78, nullptr},
    {"ATON", 79, stmtAton},
    {"ATOLN", 80, stmtAtoln},
    {"BIGINDIAN", 81, stmtBigIndian},
    {"CLEAR1STWORD", 82, stmtClear1stWord},
    {"DETERMINNUMBERTYPE", 83, stmtDetermineNumberType},
    {"FETCH1STWORD", 84, stmtFetch1stWord},
    {"LEFTSTRING", 85, stmtLeftString},
    {"MIDSTRING", 86, stmtMidString},
    {"OCCURANCE", 87, stmtOccurance},
    {"REMOVECOMMENTS", 88, stmtRemoveComments},
    {"RIGHTSTRING", 89, stmtRightString},
    {"RIPREPLACE", 90, stmtRipReplace},
    {"STORE1STWORD", 91, stmtStore1stWord},
    {"SHRINK", 92, stmtShrink},
    {"STRINGC", 93, stmtStringC},
    {"STRINGABSC", 94, stmtStringAbsC},
    {"STRLEN", 95, stmtStrLen},
    {"UPPERCASE", 96, stmtUpperCase},
    {"WIPELEFT", 97, stmtWipeLeft},
    {"WIPERIGHT", 98, stmtWipeRight},
    {"DBOPEN", 99, stmtDbOpen},
    {"DBCLOSE", 100, stmtDbClose},
    {"DBSAVE", 101, stmtDbSave},
    {"DBPASS", 102, stmtDbPass},
    {"DBFAIL", 103, stmtDbFail},
    {"DBQUERYFOLDERCOUNT", 104, stmtDbQueryFolderCount},
    {"DBQUERYFOLDEREVENTCOUNT", 105, stmtDbQueryFolderEventCount},
    {"DBQUERYFOLDEREVENTTIMESTAMP", 106, stmtDbQueryFolderEventTimeStamp},
    {"DBQUERYFOLDEREVENTRESULT", 107, stmtDbQueryFolderEventResult},
    {"DBQUERYFOLDEREVENTDRIVESN", 108, stmtDbQueryFolderEventDriveSn},
    {"DBQUERYMEDIAID", 109, stmtDbQueryMediaId},
    {"DBQUERYFOLDERRUNCOUNT", 110, stmtDbQueryFolderRunCount},
    {"DBQUERYFOLDERPASSCOUNT", 111, stmtDbQueryFolderPassCount},
    {"DBQUERYFOLDERFAILCOUNT", 112, stmtDbQueryFolderFailCount},
    {"KDBQUERYFOLDERPERCENTAGE", 113, stmtDbQueryFolderPercentage},
    {"DBPRINTMEDIAINFORMATIOM", 114, stmtDbPrintMediaInformation},
    {"DBPRINTDATABASE", 115, stmtDbPrintDatabase},
    {"DBDELETEFOLDER", 116, stmtDbDeleteFolder},
    {"SETCHARTTYPE", 117, stmtSetChartType},
    {"SETCHARTTITLE", 118, stmtSetChartTitle},
    {"SETCHARTXLABEL", 119, stmtSetChartXLabel},
    {"SETCHARTYLABEL", 120, stmtSetChartYLabel},
    {"SETCHARTXAXIS", 121, stmtSetChartXAxis},
    {"SETCHARTYAXIS", 122, stmtSetChartYAxis},
    {"SETCHARTXSCALE", 123, stmtSetChartXScale},
    {"SETCHARTYSCALE", 124, stmtSetChartYScale},
    {"SETCHARTGRIDCOLOR", 125, stmtSetChartGridColor},
    {"SETCHARTWINDOWCOLOR", 126, stmtSetChartWindowColor},
    {"ADDCHARTLINE", 127, stmtAddChartLine},
    {"ADDCHARTDATAPOINT", 128, stmtAddChartDataPoint},
    {"OPENCHART", 129, stmtOpenChart},
    {"CLOSECHART", 130, stmtCloseChart},
    {"RESETCHART", 131, stmtResetChart},
}};

constexpr bool opcodesArePositions() {
    for (size_t i = 0; i < kKeywords.size(); ++i)
        if (kKeywords[i].opcode != static_cast<int32_t>(i)) return false;
    return true;
}
static_assert(opcodesArePositions(), "every keyword's opcode is its position");

}  // namespace

std::span<const KeywordEntry> keywordTable() { return kKeywords; }

const KeywordEntry* findKeyword(std::string_view upperKeyword) {
    static const auto index = [] {
        std::unordered_map<std::string_view, const KeywordEntry*> m;
        for (const auto& e : kKeywords) m.emplace(e.keyword, &e);
        return m;
    }();
    auto it = index.find(upperKeyword);
    return it == index.end() ? nullptr : it->second;
}

}  // namespace vexal::script
