#pragma once
// Reading and storing scalar values at run time: a variable's visible value is the slot of
// its type, stores cut to the width and set the "set" flag. Shared by every statement that
// takes a number-or-variable operand or stores into a variable.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "script/number_literals.h"
#include "script/script_tables.h"

namespace vexal::script {

// The value of the slot of the variable's type, LONG taken as unsigned.
inline double numericValue(const ScriptVariable& v) {
    switch (v.type) {
        case VarType::Byte: return v.byteSlot;
        case VarType::Word: return v.wordSlot;
        case VarType::Long: return v.longSlot;
        case VarType::Double: return v.doubleSlot;
    }
    return 0;
}

// An integer variable's value; a DOUBLE truncated toward zero and cut to 32 bits.
inline uint32_t integerValue(const ScriptVariable& v) {
    switch (v.type) {
        case VarType::Byte: return v.byteSlot;
        case VarType::Word: return v.wordSlot;
        case VarType::Long: return v.longSlot;
        case VarType::Double: {
            // Outside the 64-bit range the truncation is undefined: clamp first.
            const double d = v.doubleSlot;
            if (!(d > -9.2e18 && d < 9.2e18)) return 0;
            return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(d)));
        }
    }
    return 0;
}

// Stores the low-order bits that fit the variable's type (an exact conversion for DOUBLE)
// and sets its "set" flag.
inline void storeInteger(ScriptVariable& v, uint64_t value) {
    switch (v.type) {
        case VarType::Byte: v.byteSlot = static_cast<uint8_t>(value); break;
        case VarType::Word: v.wordSlot = static_cast<uint16_t>(value); break;
        case VarType::Long: v.longSlot = static_cast<uint32_t>(value); break;
        case VarType::Double: v.doubleSlot = static_cast<double>(value); break;
    }
    v.set = true;
}

inline void storeDouble(ScriptVariable& v, double value) {
    if (v.type == VarType::Double) {
        v.doubleSlot = value;
        v.set = true;
        return;
    }
    const bool inRange = value > -9.2e18 && value < 9.2e18;
    storeInteger(v, inRange ? static_cast<uint64_t>(static_cast<int64_t>(value)) : 0);
}

// A number literal read at the given width: codes 1 and 2 through ParseWord, 4 through
// ParseLong, 8 as a floating value truncated. False when the text is no literal.
inline bool literalValue(std::string_view text, uint32_t& value) {
    switch (ClassifyNumber(text)) {
        case kNumberByte:
        case kNumberWord: value = ParseWordValue(text); return true;
        case kNumberLong: value = ParseLong(text); return true;
        case kNumberDouble: {
            ScriptVariable d;
            d.type = VarType::Double;
            d.doubleSlot = std::strtod(std::string(text).c_str(), nullptr);
            value = integerValue(d);
            return true;
        }
        default: return false;
    }
}

}  // namespace vexal::script
