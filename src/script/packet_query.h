#pragma once
// The packet query shared by IFTRUE and CREATELIST: a packet kind and its criteria over the
// event packets of a page-7 log page.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/statement_context.h"

namespace vexal::script {

enum class PacketKind {
    Sense = 0, BugCheck, Event, Scsi, DiagIlog, Diag4ChnWrite, Diag4ChnRead, DiagTest, Cup, OverTemp, Post
};

// The kind of an upper-cased-compared word, or -1.
int packetKindOf(std::string_view word);

// A query as checked: the kind and its criteria (words kept for run-time variables).
struct PacketQuery {
    PacketKind kind = PacketKind::Sense;
    std::string senseTag;  // SENSE, SCSI: a SENSEKEYS tag instead of the numbers
    uint8_t senseKey = 0;
    int asc = -1, ascq = -1;  // -1: XX, any
    std::string low, high;    // BUGCHECK, EVENT: value words; high empty without TO
};

struct PacketHit;

// Keeps the hits whose time value is above the reference hours minus the window.
void keepHitsWithin(std::vector<PacketHit>& hits, double referenceHours, double window);

// Checks the kind word at words[pos] and its criteria, moving pos past them, and fills
// `out` when given. 0, or 1 with the engine's error code set.
int checkPacketQuery(StatementContext& ctx, std::span<const std::string_view> words, size_t& pos, PacketQuery* out = nullptr);

// Runs the query over a page's text lines: every header line ("Packet #...") whose kind
// equals the query's and whose fields match becomes a hit. 0, or 1 with the code set.
int runPacketQuery(StatementContext& ctx, const PacketQuery& query, const std::vector<std::string>& lines,
                   std::vector<PacketHit>& hits);

}  // namespace vexal::script
