// Log-page statements and the packet statements of page-7 objects: argument checks, then
// the decoding of the bound buffer and the work on its parameters or packets.
#include <fmt/printf.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "diag/event_packets.h"
#include "diag/event_page.h"
#include "diag/side_files.h"
#include "script/number_literals.h"
#include "script/run_data.h"
#include "script/script_values.h"
#include "script/packet_query.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"
#include "script/statement_handlers.h"

namespace vexal::script {
namespace {

const LogPageObject* page(StatementContext& ctx, std::string_view name) { return ctx.tables().logPages.find(name); }

int pageStatement(StatementContext& ctx, int32_t missingCode, int32_t unknownCode) {
    const std::string_view tag = trimBlanks(ctx.args);
    if (tag.empty()) return ctx.fail(missingCode);
    return page(ctx, tag) ? 0 : ctx.fail(unknownCode);
}

bool isByteOrWordLiteral(std::string_view w) {
    const int code = ClassifyNumber(w);
    return code == kNumberByte || code == kNumberWord;
}

// A hit index: a byte or word literal or a BYTE or WORD variable.
int checkHitIndex(StatementContext& ctx, std::string_view w, int32_t invalidCode, int32_t unknownCode) {
    if (isByteOrWordLiteral(w)) return 0;
    if (IsNumberLiteral(w)) return ctx.fail(invalidCode);
    const ScriptVariable* v = ctx.variable(w);
    if (!v) return ctx.fail(unknownCode);
    return (v->type == VarType::Byte || v->type == VarType::Word) ? 0 : ctx.fail(invalidCode);
}

bool isScreenLogBoth(std::string_view w) { return equalsUpper(w, "SCREEN") || equalsUpper(w, "LOG") || equalsUpper(w, "BOTH"); }

int checkDestination(std::string_view rest, StatementContext& ctx, int32_t missingCode, int32_t unknownCode) {
    const std::string_view w = firstWord(rest);
    if (w.empty()) return ctx.fail(missingCode);
    return isScreenLogBoth(w) ? 0 : ctx.fail(unknownCode);
}

enum Destination { kScreen = 1, kLog = 2, kBoth = 3 };

Destination destinationOf(std::string_view w) {
    if (equalsUpper(w, "LOG")) return kLog;
    if (equalsUpper(w, "BOTH")) return kBoth;
    return kScreen;
}

// The paths of PRINT SCREEN and PRINT LOG.
void send(StatementContext& ctx, Destination to, const std::string& line) {
    command::CommandOutput* out = ctx.engine.output();
    if (!out) return;
    if (to & kScreen) out->addToView(std::string(kScriptMessagePrefix) + line);
    if (to & kLog) out->writeLog(4, line);
}

DecodedPage* decoded(StatementContext& ctx, const LogPageObject* p) {
    auto& pages = runData(ctx.engine).pages;
    const auto it = pages.find(p);
    return it == pages.end() ? nullptr : &it->second;
}

// The page object a packet statement begins with.
const LogPageObject* packetPage(StatementContext& ctx) {
    std::string text = ctx.record.text;
    blankOutText(text, "->");
    return page(ctx, firstWord(text));
}

const std::vector<std::string>& pageLines(StatementContext& ctx, const LogPageObject* p) {
    static const std::vector<std::string> none;
    const DecodedPage* d = p ? decoded(ctx, p) : nullptr;
    return d ? d->lines : none;
}

// The bytes of the bound buffer, as far as the object's size and the storage reach.
std::span<const uint8_t> boundBytes(const LogPageObject& p) {
    if (!p.buffer) return {};
    return std::span<const uint8_t>(p.buffer->storage).first(std::min<size_t>(p.bufferSize, p.buffer->storage.size()));
}

bool isParameterPageCode(uint8_t code) {
    constexpr uint8_t kCodes[] = {0x00, 0x02, 0x03, 0x0D, 0x2E, 0x30, 0x32, 0x33, 0x3E};
    return std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes);
}

// Decodes the bound buffer; 0 or the decoder's error code.
int32_t decodePage(StatementContext& ctx, const LogPageObject& p) {
    const std::span<const uint8_t> bytes = boundBytes(p);
    DecodedPage& d = runData(ctx.engine).pages[&p];
    const std::filesystem::path folder = diag::workFolder();
    if (p.kind == LogPageKind::Parameters) {
        d.parameters = diag::LogPage{};
        if (bytes.empty() || !isParameterPageCode(bytes[0])) return err::K_KPAGES_ILLEGAL_LOGPAGE_ID;
        return diag::LoadLogPage(bytes[0], bytes, folder, d.parameters) == diag::PageError::None ? 0 : err::K_KPAGES_ILLEGAL_LOGPAGE_ID;
    }
    if (p.kind != LogPageKind::Packets) return err::K_KPAGES_ILLEGAL_LOGPAGE_ID;
    d.eventLoaded = false;
    d.lines.clear();
    if (std::find(bytes.begin(), bytes.end(), uint8_t{7}) == bytes.end()) {
        // Nothing from the drive: the text of an earlier load.
        std::ifstream in(folder / diag::kEventTextFile, std::ios::binary);
        if (!in) return err::KPG7_LOADING_INVALID_PAGE;
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        d.lines = diag::splitEventText(text);
        d.eventPageCode = 7;
        d.eventPageLength = 0;
        d.eventLoaded = true;
        return 0;
    }
    diag::EventText text;
    if (diag::LoadEventPage(bytes, folder, text) != diag::EventPageError::None) return err::KPG7_LOADING_INVALID_PAGE;
    d.lines = std::move(text.lines);
    d.eventPageCode = text.pageCode;
    d.eventPageLength = text.pageLength;
    d.eventLoaded = true;
    return 0;
}

std::string parameterLine(const diag::LogPage& page, const diag::LogParameter& param) {
    const diag::ParameterFlags f = param.flags();
    std::string line = fmt::sprintf("  Code : %04XH", param.code);
    line += fmt::sprintf("\tLP: %d  TMC: %d  ETC: %d  TSD: %d  DS: %d  DU: %d", int{f.lp}, int{f.tmc}, int{f.etc},
                         int{f.tsd}, int{f.ds}, int{f.du});
    const auto v = page.value(param);
    if (v.size() != param.length) return line;  // a value cut short by the page's end
    switch (param.length) {
        case 1: line += fmt::sprintf("\tValue:  %02XH", v[0]); break;
        case 2: line += fmt::sprintf("\tValue:  %04XH", diag::bigEndian(v)); break;
        case 4: line += fmt::sprintf("\tValue:  %08XH", diag::bigEndian(v)); break;
        case 8: line += fmt::sprintf("\tValue:  %0E", static_cast<double>(diag::bigEndian(v))); break;
        case 12:
            line += fmt::sprintf("\tValue:  %02X  %02X  %02X  %02X   %02X  %02X  %02X  %02X   %02X  %02X  %02X  %02X", v[0], v[1], v[2],
                                 v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]);
            break;
        default: break;
    }
    return line;
}

// The decoded page as PRINTPAGE and RECORDPAGE send it; empty when not loaded.
std::vector<std::string> pageLinesToShow(StatementContext& ctx, const LogPageObject& p) {
    const DecodedPage* d = decoded(ctx, &p);
    if (!d) return {};
    std::vector<std::string> out;
    if (p.kind == LogPageKind::Packets) {
        if (!d->eventLoaded) return {};
        diag::EventText text;
        text.pageCode = d->eventPageCode;
        text.pageLength = d->eventPageLength;
        text.lines = d->lines;
        return diag::eventDisplayLines(text);
    }
    const diag::LogPage& page = d->parameters;
    if (!page.loaded()) return {};
    out.push_back(fmt::sprintf("Page Code: %02XH\tLength: %04XH / %d", page.pageCode(), page.pageLength(), page.pageLength()));
    if (page.pageCode() == diag::page::SupportedPages) {
        std::string line = "Pages:  ";
        for (uint8_t code : page.supportedPages()) line += fmt::sprintf("%02XH   ", code);
        out.push_back(line);
        return out;
    }
    for (const diag::LogParameter& param : page.parameters()) out.push_back(parameterLine(page, param));
    return out;
}

uint32_t indexValue(StatementContext& ctx, std::string_view w) {
    if (const ScriptVariable* v = ClassifyNumber(w) > 0 ? nullptr : ctx.variable(w)) return integerValue(*v);
    return ParseWordValue(w);
}

const char* hitKindText(int kind) {
    switch (static_cast<PacketKind>(kind)) {
        case PacketKind::BugCheck: return "BUGCHK";
        case PacketKind::Event: return "EVENT";
        case PacketKind::DiagIlog: return "DIAG ILOG";
        case PacketKind::Diag4ChnWrite: return "DIAG 4 CHN WRITE";
        case PacketKind::Diag4ChnRead: return "DIAG 4 CHN READ";
        case PacketKind::DiagTest: return "DIAG TEST";
        case PacketKind::Cup: return "CUP";
        case PacketKind::OverTemp: return "OVERTEMP";
        case PacketKind::Post: return "POST";
        default: return "";
    }
}

std::string hitLine(const std::vector<PacketHit>& hits, size_t i) {
    const PacketHit& h = hits[i];
    // The repeat count: how many hits of the list have the same kind and code.
    const auto repeats = std::count_if(hits.begin(), hits.end(), [&](const PacketHit& o) { return o.kind == h.kind && o.code == h.code; });
    std::string kind;
    if (h.kind == static_cast<int>(PacketKind::Sense)) kind = fmt::sprintf("SENSE : %02X %02X %02X ", h.senseKey, h.asc, h.ascq);
    else if (h.kind == static_cast<int>(PacketKind::Scsi)) kind = fmt::sprintf("SCSI   : %02X %02X %02X ", h.senseKey, h.asc, h.ascq);
    else kind = hitKindText(h.kind);
    return fmt::sprintf("(%03d * %02d)[%10.3f] Packet # %d - %s: %04X  [%s %02d-%02d-%04d]  %03d:%02d:%02.3f  POH/PC= %d/%d",
                        static_cast<int>(i), static_cast<int>(repeats), h.timeHours, h.number, kind, h.code, h.name, h.month, h.day,
                        h.year, h.hours, h.minutes, h.seconds, h.poh, h.pc);
}

void storeCount(StatementContext& ctx, std::string_view name, size_t n) {
    if (ScriptVariable* v = ctx.variable(name)) storeInteger(*v, n);
}

int createList(StatementContext& ctx, std::string_view rest) {
    std::vector<std::string_view> w = splitWords(rest);
    if (w.empty()) return ctx.fail(err::PG7_CREATE_LIST_INVALID_NOF_VARIABLE_SPECIFIED);
    const std::string_view count = w.back();
    w.pop_back();
    size_t pos = 0;
    PacketQuery query;
    if (checkPacketQuery(ctx, w, pos, &query)) return 1;
    if (pos != w.size()) return ctx.fail(err::IFTRUE_INVALID_NUMBER_OF_COMMAND_ARGS);
    if (ctx.needVariable(count, {VarType::Word}, err::PG7_CREATE_LIST_INVALID_NOF_VARIABLE_SPECIFIED,
                         err::PG7_CREATE_LIST_INVALID_NOF_VARIABLE_TYPE_SPECIFIED))
        return 1;
    if (!ctx.executing()) return 0;
    auto& hits = runData(ctx.engine).hits;
    if (runPacketQuery(ctx, query, pageLines(ctx, packetPage(ctx)), hits)) return 1;
    storeCount(ctx, count, hits.size());
    return 0;
}

int filterList(StatementContext& ctx, std::string_view rest) {
    const auto w = splitWords(rest);
    const bool time = !w.empty() && equalsUpper(w[0], "TIME"), tape = !w.empty() && equalsUpper(w[0], "TAPE");
    if (!time && !tape) return ctx.fail(err::PG7_FILTER_LIST_INVALID_FILTER_TYPE_SPECIFIED);
    if (w.size() != 3) return ctx.fail(err::PG7_FILTER_LIST_MISSING_ARGUMENTS);
    if (time && !IsNumberLiteral(w[1]) && !ctx.variable(w[1])) return ctx.fail(err::PG7_FILTER_LIST_INVALID_TIME_SPECIFIED);
    if (tape && !equalsUpper(w[1], "SAME") && !equalsUpper(w[1], "DIFFERENT"))
        return ctx.fail(err::PG7_FILTER_LIST_INVALID_TAPE_TYPE_SPECIFIED);
    if (ctx.needVariable(w[2], {VarType::Word}, err::PG7_FILTER_LIST_INVALID_NOF_VARIABLE_SPECIFIED,
                         err::PG7_FILTER_LIST_INVALID_NOF_VARIABLE_TYPE_SPECIFIED))
        return 1;
    if (!ctx.executing()) return 0;
    ScriptRunData& data = runData(ctx.engine);
    if (time) {
        const ScriptVariable* v = ctx.variable(w[1]);
        const double window = v ? numericValue(*v) : std::strtod(std::string(w[1]).c_str(), nullptr);
        const bool finite = window > -1e15 && window < 1e15;
        keepHitsWithin(data.hits, data.referenceHours, finite ? static_cast<double>(static_cast<int64_t>(window)) : 0);
    }
    storeCount(ctx, w[2], data.hits.size());
    return 0;
}

// hitIndex destination field.mask [<< n | >> n] [+ field.mask ...]
int getValue(StatementContext& ctx, std::string_view rest) {
    std::string text(rest);
    std::string spaced;
    for (char c : text) {
        if (c == '+') spaced += " + ";
        else spaced.push_back(c);
    }
    const auto w = splitWords(spaced);
    if (w.empty() || checkHitIndex(ctx, w[0], err::PG7_GETVALUE_ILLEGAL_IDX_ARG_SPECIFIED, err::PG7_GETVALUE_UNKNOWN_IDX_VALUE))
        return w.empty() ? ctx.fail(err::PG7_GETVALUE_ILLEGAL_IDX_ARG_SPECIFIED) : 1;
    if (w.size() < 2 || ctx.needVariable(w[1], {VarType::Byte, VarType::Word, VarType::Long},
                                         err::PG7_GETVALUE_UNKNOWN_VARAIBLE_SPECIFIED, err::PG7_GETVALUE_UNKNOWN_VARAIBLE_SPECIFIED))
        return w.size() < 2 ? ctx.fail(err::PG7_GETVALUE_UNKNOWN_VARAIBLE_SPECIFIED) : 1;
    size_t points = 0, pluses = 0;
    for (size_t i = 2; i < w.size(); ++i) {
        points += static_cast<size_t>(std::count(w[i].begin(), w[i].end(), '.'));
        if (w[i] == "+") ++pluses;
    }
    if (points != pluses + 1) return ctx.fail(err::PG7_GETVALUE_UNBALANCED_FIELD_ARGS_TO_PLUSES);
    size_t i = 2;
    while (i < w.size()) {
        const std::string_view term = w[i++];
        const size_t dot = term.find('.');
        if (dot == std::string_view::npos || !isByteOrWordLiteral(term.substr(0, dot)))
            return ctx.fail(err::PG7_GETVALUE_ILLEGAL_FIELD_IDX_ARG_SPECIFIED);
        if (ClassifyNumber(term.substr(dot + 1)) != kNumberLong) return ctx.fail(err::PG7_GETVALUE_ILLEGAL_FIELD_MASK_ARG_SPECIFIED);
        if (i < w.size() && (w[i] == "<<" || w[i] == ">>")) {
            const bool left = w[i] == "<<";
            const std::string_view n = i + 1 < w.size() ? w[i + 1] : std::string_view();
            if (ClassifyNumber(n) != kNumberByte || ParseWordValue(n) >= 32)
                return ctx.fail(left ? err::PG7_GETVALUE_SHIFTLEFT_VALUE_OUT_OF_RANGE : err::PG7_GETVALUE_SHIFTRIGHT_VALUE_OUT_OF_RANGE);
            i += 2;
        }
        if (i < w.size()) {
            if (w[i] != "+") return ctx.fail(err::PG7_GETVALUE_UNBALANCED_FIELD_ARGS_TO_PLUSES);
            ++i;
        }
    }
    if (!ctx.executing()) return 0;

    const auto& hits = runData(ctx.engine).hits;
    if (hits.empty()) return ctx.fail(err::PG7_GETVALUE_NO_EMPTY_LIST_ERROR);
    const uint32_t hitIndex = indexValue(ctx, w[0]);
    if (hitIndex >= hits.size()) return ctx.fail(err::PG7_GETVALUE_IDX_OUT_OF_RANGE_ERROR);
    const PacketHit& hit = hits[hitIndex];
    uint64_t sum = 0;
    for (i = 2; i < w.size();) {
        const std::string_view term = w[i++];
        const size_t dot = term.find('.');
        uint32_t word = 0;
        switch (diag::packetDataWord(hit.after, ParseWordValue(term.substr(0, dot)), word)) {
            case diag::DataWordError::None: break;
            case diag::DataWordError::NoData: return ctx.fail(err::PG7_GETVALUE_UNEXPECTED_END_OF_PACKET_ERROR1);
            case diag::DataWordError::NextPacket: return ctx.fail(err::PG7_GETVALUE_UNEXPECTED_END_OF_PACKET_ERROR2);
            case diag::DataWordError::EndOfPage: return ctx.fail(err::PG7_GETVALUE_UNEXPECTED_END_OF_PACKET_ERROR3);
            case diag::DataWordError::NotHex: return ctx.fail(err::PG7_GETVALUE_INVALID_LONG_VALUE_FIELD_DETECTED);
        }
        uint64_t value = word & ParseLong(term.substr(dot + 1));
        if (i < w.size() && (w[i] == "<<" || w[i] == ">>")) {
            const uint32_t n = ParseWordValue(w[i + 1]);
            value = w[i] == "<<" ? (value << n) : (value >> n);
            i += 2;
        }
        sum += value;
        if (i < w.size()) ++i;  // the plus
    }
    storeInteger(*ctx.variable(w[1]), sum);
    return 0;
}

int removePacket(StatementContext& ctx, std::string_view rest) {
    const auto w = splitWords(rest);
    if (w.empty() || checkHitIndex(ctx, w[0], err::K_PG7_REMOVEPACKET_ILLEGAL_IDX_ARG_SPECIFIED, err::K_PG7_REMOVEPACKET_UNKNOWN_IDX_VALUE))
        return w.empty() ? ctx.fail(err::K_PG7_REMOVEPACKET_ILLEGAL_IDX_ARG_SPECIFIED) : 1;
    if (ctx.needVariable(w.size() > 1 ? w[1] : std::string_view(), {VarType::Word},
                         err::K_PG7_REMOVEPACKET_UNKNOWN_RET_VARAIBLE_SPECIFIED,
                         err::K_PG7_REMOVEPACKET_INVALID_RET_VARAIBLE_TYPE_SPECIFIED))
        return 1;
    if (!ctx.executing()) return 0;
    auto& hits = runData(ctx.engine).hits;
    const uint32_t index = indexValue(ctx, w[0]);
    if (index >= hits.size()) return ctx.fail(err::K_PG7_REMOVEPACKET_REMOVAL_FAILED);
    hits.erase(hits.begin() + index);
    storeCount(ctx, w[1], hits.size());
    return 0;
}

int printList(StatementContext& ctx, std::string_view rest) {
    if (checkDestination(rest, ctx, err::PG7_PRINT_LIST_MISSING_ARGUMENTS, err::PG7_PRINT_LIST_INVALID_DESTINATION_SPECIFIED))
        return 1;
    if (!ctx.executing()) return 0;
    const Destination to = destinationOf(firstWord(rest));
    const auto& hits = runData(ctx.engine).hits;
    if (hits.empty()) send(ctx, to, "*** No Hits In List ***");
    for (size_t i = 0; i < hits.size(); ++i) send(ctx, to, hitLine(hits, i));
    return 0;
}

// The sense triple decoded as PRINTSENSEKEYS shows it.
std::string senseText(StatementContext& ctx, uint8_t sk, uint8_t asc, uint8_t ascq) {
    const SenseKeyEntry* entry = ctx.tables().senseKeys.match(sk, asc, ascq);
    return fmt::sprintf("CC: %02X  ASC: %02X  ASCQ: %02X  = %s", sk, asc, ascq, entry ? entry->text : std::string("Unknown"));
}

int createMap(StatementContext& ctx, std::string_view rest) {
    if (checkDestination(rest, ctx, err::K_PG7_CREATE_MAP_MISSING_ARGUMENTS, err::K_PG7_CREATE_MAP_INVALID_DESTINATION_SPECIFIED))
        return 1;
    if (!ctx.executing()) return 0;
    const auto& lines = pageLines(ctx, packetPage(ctx));
    if (lines.empty()) return ctx.fail(err::K_MAP_ENGINE_DETECTED_NO_TEXT_FOR_LP7);
    // Items in the order they first appear, with their counts.
    std::vector<std::pair<std::string, int>> items;
    for (const diag::PacketRecord& p : diag::analysePackets(lines)) {
        diag::PacketHeader h;
        diag::parsePacketHeader(lines[p.firstLine], h);
        std::string item;
        if (p.kind == 4) item = fmt::sprintf("BUGCHK : %04X", h.code);
        else if (p.kind == 16) item = fmt::sprintf("EVENT  : %02X", h.code);
        else if (p.kind == 0)
            item = "SENSE  : " + senseText(ctx, static_cast<uint8_t>(h.code >> 16), static_cast<uint8_t>(h.code >> 8), static_cast<uint8_t>(h.code));
        else item = std::string(diag::packetKindWord(p.kind));
        const auto it = std::find_if(items.begin(), items.end(), [&](const auto& e) { return e.first == item; });
        if (it == items.end()) items.emplace_back(item, 1);
        else ++it->second;
    }
    const Destination to = destinationOf(firstWord(rest));
    if (items.empty()) send(ctx, to, "*** No Hits In List ***");
    for (const auto& [item, count] : items) send(ctx, to, fmt::sprintf("%2dx\t%s", count, item));
    return 0;
}

}  // namespace

int stmtLoadPage(StatementContext& ctx) {
    if (pageStatement(ctx, err::LOAD_PAGE_NO_PAGE_SPECIFIED, err::LOAD_PAGE_INVALID_PAGE_SPECIFIED)) return 1;
    if (!ctx.executing()) return 0;
    const int32_t code = decodePage(ctx, *page(ctx, trimBlanks(ctx.args)));
    if (code == 0) return 0;
    // A decoder failure goes to the error vector; without one the run ends with the cause.
    return ctx.engine.jumpToLabel(ctx.state().errorVector) ? 0 : ctx.fail(code);
}

int stmtRecordPage(StatementContext& ctx) {
    if (pageStatement(ctx, err::RECORD_PAGE_NO_PAGE_SPECIFIED, err::RECORD_PAGE_INVALID_PAGE_SPECIFIED)) return 1;
    if (!ctx.executing()) return 0;
    const auto lines = pageLinesToShow(ctx, *page(ctx, trimBlanks(ctx.args)));
    if (lines.empty()) return ctx.fail(err::RECORD_PAGE_LOGPAGE_NOT_LOADED);
    for (const std::string& line : lines) send(ctx, kLog, line);
    return 0;
}

int stmtPrintPage(StatementContext& ctx) {
    if (pageStatement(ctx, err::PRINT_PAGE_NO_PAGE_SPECIFIED, err::PRINT_PAGE_INVALID_PAGE_SPECIFIED)) return 1;
    const LogPageObject* p = page(ctx, trimBlanks(ctx.args));
    if (p->kind == LogPageKind::None) return ctx.fail(err::PRINT_PAGE_NO_DECODER);
    if (!ctx.executing()) return 0;
    const auto lines = pageLinesToShow(ctx, *p);
    if (lines.empty()) return ctx.fail(err::PRINT_PAGE_LOGPAGE_NOT_LOADED);
    for (const std::string& line : lines) send(ctx, kScreen, line);
    return 0;
}

int stmtDumpLogPage(StatementContext&) { return 0; }

int stmtDeltaFilter(StatementContext& ctx) {
    WordReader words(ctx.args);
    const LogPageObject* a = page(ctx, words.next());
    if (!a) return ctx.fail(err::DELTA_FILTER_INVALID_1ST_ARG_LOGPAGE_TAG_SPECIFIED);
    if (a->kind != LogPageKind::Packets) return ctx.fail(err::DELTA_FILTER_INVALID_1ST_ARG_LOGPAGE_TYPE_SPECIFIED);
    const LogPageObject* b = page(ctx, words.next());
    if (!b) return ctx.fail(err::DELTA_FILTER_INVALID_2ND_ARG_LOGPAGE_TAG_SPECIFIED);
    if (b->kind != LogPageKind::Packets) return ctx.fail(err::DELTA_FILTER_INVALID_2ND_LOGPAGE_TYPE_SPECIFIED);
    if (!ctx.executing()) return 0;
    // A copy: A and B may be the same page.
    const std::vector<std::string> headersA = [&] {
        std::vector<std::string> h;
        for (const std::string& line : pageLines(ctx, a))
            if (diag::isPacketHeader(line)) h.push_back(line);
        return h;
    }();
    if (pageLines(ctx, a).empty()) return ctx.fail(err::KRT_DELTA_FILTER_1ST_LOGPAGE_NOT_LOADED);
    DecodedPage* db = decoded(ctx, b);
    if (!db || db->lines.empty()) return ctx.fail(err::KRT_DELTA_FILTER_2ND_LOGPAGE_NOT_LOADED);
    auto& lines = db->lines;
    for (const std::string& header : headersA) {
        const auto at = std::find(lines.begin(), lines.end(), header);
        if (at == lines.end()) continue;
        const auto end = std::find_if(at + 1, lines.end(), [](const std::string& l) { return diag::isPacketHeader(l); });
        lines.erase(at, end);
    }
    return 0;
}

int stmtGetNumberOfPackets(StatementContext& ctx) {
    WordReader words(ctx.args);
    const LogPageObject* p = page(ctx, words.next());
    if (!p) return ctx.fail(err::GET_NOF_PACKETS_INVALID_1ST_ARG_LOGPAGE_TAG_SPECIFIED);
    if (p->kind != LogPageKind::Packets) return ctx.fail(err::GET_NOF_PACKETS_INVALID_1ST_ARG_LOGPAGE_TYPE_SPECIFIED);
    ScriptVariable* v = ctx.variable(words.next());
    if (!v) return ctx.fail(err::GET_NOF_PACKETS_UNKNOWN_VARIABLE_SPECIFIED);
    if (ctx.executing()) storeInteger(*v, diag::countPacketHeaders(pageLines(ctx, p)));
    return 0;
}

int stmtSetPoh(StatementContext& ctx) {
    std::vector<std::string> w;
    if (!splitQuotedWords(ctx.args, w)) return ctx.fail(err::K_SETPOH_PARSING_ERROR);
    if (w.size() != 1) return ctx.fail(err::K_SETPOH_ILLEGAL_NUMBER_OF_ARGS_DETECTED);
    const int code = ClassifyNumber(w[0]);
    const ScriptVariable* v = (code == kNumberByte || code == kNumberWord || code == kNumberLong) ? nullptr : ctx.variable(w[0]);
    if (!v && code != kNumberByte && code != kNumberWord && code != kNumberLong) return ctx.fail(err::K_SETPOH_INVALID_HOURS_ARG);
    if (v && v->type == VarType::Double) return ctx.fail(err::K_SETPOH_INVALID_HOURS_ARG);
    if (ctx.executing()) {
        uint32_t hours = 0;
        if (v) hours = integerValue(*v);
        else literalValue(w[0], hours);
        runData(ctx.engine).referenceHours = hours & 0xFFFF;
    }
    return 0;
}

int stmtPacket(StatementContext& ctx) {
    const std::string_view sub = firstWord(ctx.args);
    const std::string_view rest = afterFirstWord(ctx.args);
    if (equalsUpper(sub, "CREATELIST")) return createList(ctx, rest);
    if (equalsUpper(sub, "FILTERLIST")) return filterList(ctx, rest);
    if (equalsUpper(sub, "PRINTLIST")) return printList(ctx, rest);
    if (equalsUpper(sub, "GETVALUE")) return getValue(ctx, rest);
    if (equalsUpper(sub, "REMOVEPACKET")) return removePacket(ctx, rest);
    if (equalsUpper(sub, "CREATEMAP")) return createMap(ctx, rest);
    return ctx.fail(err::PHASE2_UNKNOWN_PG7_COMMAND_DETECTED);
}

}  // namespace vexal::script
