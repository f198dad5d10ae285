#pragma once
// Every statement handler, by family. See statement_context.h for the handler contract.
#include "script/statement_context.h"

namespace vexal::script {

// Control flow and operator messages.
int stmtCall(StatementContext&);
int stmtJump(StatementContext&);
int stmtReturn(StatementContext&);
int stmtExit(StatementContext&);
int stmtOnError(StatementContext&);
int stmtOnCancel(StatementContext&);
int stmtSleep(StatementContext&);
int stmtVerbose(StatementContext&);
int stmtVersion(StatementContext&);
int stmtDescription(StatementContext&);
int stmtLog(StatementContext&);
int stmtMsg(StatementContext&);
int stmtPass(StatementContext&);
int stmtFail(StatementContext&);
int stmtInstruct(StatementContext&);
int stmtIf(StatementContext&);
int stmtIfSense(StatementContext&);
int stmtIfNoSense(StatementContext&);
int stmtIfTrue(StatementContext&);

// SCSI statements.
int stmtScsi(StatementContext&);
int stmtModCdb(StatementContext&);
int stmtReadNoCompare(StatementContext&);
int stmtReadCompare(StatementContext&);
int stmtWrite(StatementContext&);
int stmtGetSense(StatementContext&);
int stmtGetIliStatus(StatementContext&);
int stmtGetEomStatus(StatementContext&);
int stmtGetFmStatus(StatementContext&);
int stmtGetHaStatus(StatementContext&);
int stmtGetScsiTimeout(StatementContext&);
int stmtSetScsiTimeout(StatementContext&);
int stmtBusDeviceReset(StatementContext&);
int stmtGetDriveType(StatementContext&);
int stmtGetSuppressStatus(StatementContext&);
int stmtGetInqInfo(StatementContext&);
int stmtLogSenseKeys(StatementContext&);
int stmtPrintSenseKeys(StatementContext&);
int stmtGetFwImgChkSum(StatementContext&);
int stmtFup(StatementContext&);

// Buffers.
int stmtFillBuffer(StatementContext&);
int stmtSetBuffer(StatementContext&);
int stmtAndBuffer(StatementContext&);
int stmtOrBuffer(StatementContext&);
int stmtXorBuffer(StatementContext&);
int stmtPeek(StatementContext&);
int stmtPeekW(StatementContext&);
int stmtPeekL(StatementContext&);
int stmtPoke(StatementContext&);
int stmtCopyBuffer(StatementContext&);
int stmtCompareBuffer(StatementContext&);
int stmtDimension(StatementContext&);
int stmtLoadBuffer(StatementContext&);
int stmtThumbprint(StatementContext&);
int stmtTime(StatementContext&);
int stmtFormatTime(StatementContext&);

// Strings and conversions.
int stmtAton(StatementContext&);
int stmtAtoln(StatementContext&);
int stmtBigIndian(StatementContext&);
int stmtClear1stWord(StatementContext&);
int stmtDetermineNumberType(StatementContext&);
int stmtFetch1stWord(StatementContext&);
int stmtLeftString(StatementContext&);
int stmtMidString(StatementContext&);
int stmtOccurance(StatementContext&);
int stmtRemoveComments(StatementContext&);
int stmtRightString(StatementContext&);
int stmtRipReplace(StatementContext&);
int stmtStore1stWord(StatementContext&);
int stmtShrink(StatementContext&);
int stmtStringC(StatementContext&);
int stmtStringAbsC(StatementContext&);
int stmtStrLen(StatementContext&);
int stmtUpperCase(StatementContext&);
int stmtWipeLeft(StatementContext&);
int stmtWipeRight(StatementContext&);

// Files, PRINT and questions.
int stmtOpenFile(StatementContext&);
int stmtCloseFile(StatementContext&);
int stmtFRead(StatementContext&);
int stmtFWrite(StatementContext&);
int stmtFGets(StatementContext&);
int stmtFSeek(StatementContext&);
int stmtPrint(StatementContext&);
int stmtPrintBuffer(StatementContext&);
int stmtPrintCdb(StatementContext&);
int stmtPenColor(StatementContext&);
int stmtAsk(StatementContext&);
int stmtAskForText(StatementContext&);
int stmtAskForNumber(StatementContext&);
int stmtAskForFile(StatementContext&);

// Log pages and packets.
int stmtLoadPage(StatementContext&);
int stmtPrintPage(StatementContext&);
int stmtRecordPage(StatementContext&);
int stmtDumpLogPage(StatementContext&);
int stmtDeltaFilter(StatementContext&);
int stmtGetNumberOfPackets(StatementContext&);
int stmtSetPoh(StatementContext&);
// A line starting with a page-7 tag: the packet sub-statement after the tag (`args`
// starts at the sub-statement's word).
int stmtPacket(StatementContext&);

// Results database.
int stmtDbOpen(StatementContext&);
int stmtDbClose(StatementContext&);
int stmtDbSave(StatementContext&);
int stmtDbPass(StatementContext&);
int stmtDbFail(StatementContext&);
int stmtDbQueryFolderCount(StatementContext&);
int stmtDbQueryFolderEventCount(StatementContext&);
int stmtDbQueryFolderEventTimeStamp(StatementContext&);
int stmtDbQueryFolderEventResult(StatementContext&);
int stmtDbQueryFolderEventDriveSn(StatementContext&);
int stmtDbQueryMediaId(StatementContext&);
int stmtDbQueryFolderRunCount(StatementContext&);
int stmtDbQueryFolderPassCount(StatementContext&);
int stmtDbQueryFolderFailCount(StatementContext&);
int stmtDbQueryFolderPercentage(StatementContext&);
int stmtDbPrintMediaInformation(StatementContext&);
int stmtDbPrintDatabase(StatementContext&);
int stmtDbDeleteFolder(StatementContext&);

// Charts.
int stmtSetChartType(StatementContext&);
int stmtSetChartTitle(StatementContext&);
int stmtSetChartXLabel(StatementContext&);
int stmtSetChartYLabel(StatementContext&);
int stmtSetChartXAxis(StatementContext&);
int stmtSetChartYAxis(StatementContext&);
int stmtSetChartXScale(StatementContext&);
int stmtSetChartYScale(StatementContext&);
int stmtSetChartGridColor(StatementContext&);
int stmtSetChartWindowColor(StatementContext&);
int stmtAddChartLine(StatementContext&);
int stmtAddChartDataPoint(StatementContext&);
int stmtOpenChart(StatementContext&);
int stmtCloseChart(StatementContext&);
int stmtResetChart(StatementContext&);

// Serial port.
int stmtSerial(StatementContext&);
int stmtBaud(StatementContext&);

// Assignments: `args` is the text after the variable name; the record's target is set.
int validateAssignment(StatementContext&);
// The same statement at run time: 0, or 1 when the assignment cannot be done (the executor
// then reports that the variable could not be processed).
int executeAssignment(StatementContext&);

}  // namespace vexal::script
