#pragma once
// The packet query shared by IFTRUE and CREATELIST: a packet kind and its criteria over the
// event packets of a page-7 log page.
#include <cstddef>
#include <span>
#include <string_view>

#include "script/statement_context.h"

namespace vexal::script {

enum class PacketKind {
    Sense = 0, BugCheck, Event, Scsi, DiagIlog, Diag4ChnWrite, Diag4ChnRead, DiagTest, Cup, OverTemp, Post
};

// The kind of an upper-cased-compared word, or -1.
int packetKindOf(std::string_view word);

// Checks the kind word at words[pos] and its criteria, moving pos past them. 0, or 1 with
// the engine's error code set.
int checkPacketQuery(StatementContext& ctx, std::span<const std::string_view> words, size_t& pos);

}  // namespace vexal::script
