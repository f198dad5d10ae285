#pragma once
// Test helper: LOG SENSE and LOG SELECT to the virtual tape drive, and a page split into
// its parameters (bounds-checked, so a malformed page fails the test instead of crashing).
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "virtual_bus.h"

namespace vexal::testing {

struct PageParameter {
    uint16_t code = 0;
    uint8_t control = 0;
    std::vector<uint8_t> value;

    uint64_t number() const {
        uint64_t v = 0;
        for (uint8_t b : value) v = (v << 8) | b;
        return v;
    }
};

struct ParsedPage {
    uint8_t page = 0;
    uint16_t length = 0;  // the header's page length
    std::vector<PageParameter> params;
    bool wellFormed = false;  // the parameters fill the page exactly

    const PageParameter* find(uint16_t code) const {
        for (const auto& p : params)
            if (p.code == code) return &p;
        return nullptr;
    }
    // The parameter's value as a number; fails the test when it is missing.
    uint64_t value(uint16_t code) const {
        const PageParameter* p = find(code);
        EXPECT_TRUE(p) << "no parameter " << code;
        return p ? p->number() : 0;
    }
};

inline ParsedPage parsePage(const std::vector<uint8_t>& bytes, size_t count) {
    ParsedPage out;
    if (count < 4 || bytes.size() < count) return out;
    out.page = bytes[0];
    out.length = static_cast<uint16_t>(bytes[2] << 8 | bytes[3]);
    const size_t end = 4 + size_t{out.length};
    if (end > count) return out;
    size_t at = 4;
    while (at + 4 <= end) {
        PageParameter p;
        p.code = static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
        p.control = bytes[at + 2];
        const size_t n = bytes[at + 3];
        if (at + 4 + n > end) return out;
        p.value.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 4 + n));
        out.params.push_back(std::move(p));
        at += 4 + n;
    }
    out.wellFormed = at == end;
    return out;
}

inline std::vector<uint8_t> logSenseCdb(uint8_t page, uint8_t control = 1, uint16_t allocation = 0xFFFF,
                                        uint16_t pointer = 0) {
    return {0x4D, 0, uint8_t(control << 6 | page), 0, 0, uint8_t(pointer >> 8), uint8_t(pointer),
            uint8_t(allocation >> 8), uint8_t(allocation), 0};
}

// LOG SENSE of a whole page (cumulative values unless told); an empty page when it fails.
inline ParsedPage readPage(VirtualBus& bus, uint8_t page, uint8_t control = 1, uint16_t pointer = 0) {
    const Answer a = bus.in(0, logSenseCdb(page, control, 0xFFFF, pointer), 0xFFFF);
    EXPECT_TRUE(a.good()) << "page " << int(page) << ": " << a.kcq();
    if (!a.good()) return {};
    const ParsedPage p = parsePage(a.data, a.transferred());
    EXPECT_TRUE(p.wellFormed) << "page " << int(page);
    EXPECT_EQ(p.page, page);
    EXPECT_EQ(a.transferred(), 4u + p.length);
    return p;
}

// LOG SELECT with PCR (reset) for one page, or every page with 0.
inline Answer resetCounters(VirtualBus& bus, uint8_t page = 0) {
    return bus.none(0, {0x4C, 0x02, uint8_t(0x40 | page), 0, 0, 0, 0, 0, 0, 0});
}

}  // namespace vexal::testing
