#pragma once
// Scripts loaded and run, with the buffers and variables they leave behind inspected.
#include <string>
#include <string_view>
#include <vector>

#include "script_fixture.h"

namespace vexal::script::testing {

struct ScriptRunTest : ScriptTest {
    // Loads `text` and runs it; the run's result (0 or 1), or -1 when the load failed.
    int run(std::string_view text) {
        if (!load(text)) {
            ADD_FAILURE() << "load failed:\n" << engine.TrailText();
            return -1;
        }
        return engine.Run();
    }
    // Runs the script loaded last again.
    int rerun() { return engine.Run(); }
    // The error code the run reported (the last error line), or 0.
    int32_t runError() const { return engine.errors().empty() ? 0 : engine.errors().back().code; }

    ScriptVariable& var(std::string_view name) {
        ScriptVariable* v = engine.tables().variables.find(name);
        EXPECT_NE(v, nullptr) << name;
        static ScriptVariable none;
        return v ? *v : none;
    }
    ScriptBuffer& buffer(std::string_view name) {
        ScriptBuffer* b = engine.tables().buffers.find(name);
        EXPECT_NE(b, nullptr) << name;
        static ScriptBuffer none;
        return b ? *b : none;
    }
    std::vector<uint8_t> bytes(std::string_view name) { return buffer(name).storage; }
    // The buffer's text: its bytes up to the first zero byte.
    std::string text(std::string_view name) {
        const auto& s = buffer(name).storage;
        std::string out;
        for (uint8_t b : s) {
            if (b == 0) break;
            out.push_back(static_cast<char>(b));
        }
        return out;
    }
    // Puts `value` and a zero byte (when it fits) at the start of the buffer.
    void setText(std::string_view name, std::string_view value) {
        auto& s = buffer(name).storage;
        for (size_t i = 0; i < s.size(); ++i) s[i] = i < value.size() ? static_cast<uint8_t>(value[i]) : 0;
    }
};

}  // namespace vexal::script::testing
