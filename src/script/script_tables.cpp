#include "script/script_tables.h"

namespace vexal::script {

SenseKeyEntry* SenseKeyTable::add(std::unique_ptr<SenseKeyEntry> entry) {
    if (matchesAny(entry->senseKey, entry->asc, entry->ascq)) return nullptr;
    if (!entry->tag.empty() && tags_.count(entry->tag)) return nullptr;
    SenseKeyEntry* raw = entry.get();
    if (raw->everyAsc && raw->everyAscq) everything_.insert(raw->senseKey);
    else exact_.insert(key(raw->senseKey, raw->asc, raw->ascq));
    if (!raw->tag.empty()) tags_.emplace(raw->tag, raw);
    entries_.push_back(std::move(entry));
    return raw;
}

const SenseKeyEntry* SenseKeyTable::findTag(std::string_view tag) const {
    auto it = tags_.find(std::string(tag));
    return it == tags_.end() ? nullptr : it->second;
}

bool SenseKeyTable::matchesAny(uint8_t sk, uint8_t asc, uint8_t ascq) const {
    return everything_.count(sk) || exact_.count(key(sk, asc, ascq));
}

const SenseKeyEntry* SenseKeyTable::match(uint8_t sk, uint8_t asc, uint8_t ascq) const {
    if (!matchesAny(sk, asc, ascq)) return nullptr;
    for (const auto& e : entries_)
        if (e->matches(sk, asc, ascq)) return e.get();
    return nullptr;
}

void SenseKeyTable::clear() {
    entries_.clear();
    tags_.clear();
    exact_.clear();
    everything_.clear();
}

LogPageKind logPageKindOf(uint16_t pageCode) {
    switch (pageCode) {
        case 0x00: case 0x02: case 0x03: case 0x0D: case 0x2E: case 0x30: case 0x32: case 0x33: case 0x3E:
            return LogPageKind::Parameters;
        case 0x07: return LogPageKind::Packets;
        default: return LogPageKind::None;
    }
}

}  // namespace vexal::script
