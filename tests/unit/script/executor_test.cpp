// The executor: control flow, conditions, sense tests, assignments, operator statements and
// step mode, as script runs with their outcomes checked.
#include <atomic>
#include <chrono>
#include <thread>

#include "script/script_error_codes.h"
#include "script_fixture.h"

namespace vexal::script::testing {
namespace {

using namespace std::chrono_literals;

struct ExecutorTest : ScriptTest {
    // Loads `text` and runs it; the run's result (0 or 1).
    int run(std::string_view text) {
        if (!load(text)) {
            ADD_FAILURE() << "load failed:\n" << engine.TrailText();
            return -1;
        }
        return engine.Run();
    }
    ScriptVariable& var(std::string_view name) {
        ScriptVariable* v = engine.tables().variables.find(name);
        EXPECT_NE(v, nullptr) << name;
        static ScriptVariable none;
        return v ? *v : none;
    }
    // The error code the run reported (the last error line), or 0.
    int32_t runError() const { return engine.errors().empty() ? 0 : engine.errors().back().code; }
    bool sawMessage(std::string_view text) const {
        for (const auto& line : out.view)
            if (line == std::string(kScriptMessagePrefix) + std::string(text)) return true;
        return false;
    }
};

TEST_F(ExecutorTest, CallChainOf99WorksAndThe100thFails) {
    const std::string script = "DESCRIPTION calls\nBYTE n = 0\nBYTE limit = 0\nStart:\nlimit = LIMIT\nCALL Deep\n"
                               "MSG back\nEXIT 0\nDeep:\nn += 1\nIF n < limit CALL Deep\nRETURN\n";
    auto withLimit = [&](int limit) {
        std::string s = script;
        s.replace(s.find("LIMIT"), 5, std::to_string(limit));
        return s;
    };
    EXPECT_EQ(run(withLimit(99)), 0) << engine.TrailText();
    EXPECT_EQ(var("n").byteSlot, 99);
    EXPECT_TRUE(sawMessage("back"));

    out.view.clear();
    EXPECT_EQ(run(withLimit(100)), 1);
    EXPECT_EQ(runError(), err::CALL_DEPTH_EXCEEDED);
    // 99 calls were pending when the next one was refused.
    EXPECT_EQ(var("n").byteSlot, 99);
    EXPECT_FALSE(sawMessage("back"));
    // The error line names the file and line of the failing CALL.
    EXPECT_NE(engine.TrailText().find(errorLine(err::CALL_DEPTH_EXCEEDED, scripts / "T.SCS", 11)),
              std::string::npos)
        << engine.TrailText();
}

TEST_F(ExecutorTest, ReturnWithoutCallEndsTheRun) {
    EXPECT_EQ(run("DESCRIPTION r\nStart:\nMSG one\nRETURN\nMSG two\n"), 1);
    EXPECT_EQ(runError(), err::RETURN_WITH_NO_PREVIOUS_CALL_DETECTED);
    EXPECT_TRUE(sawMessage("one"));
    EXPECT_FALSE(sawMessage("two"));
}

TEST_F(ExecutorTest, ConditionsCombineOrOverAnd) {
    struct Case {
        const char* condition;
        int a, b, c;
        bool jumps;
    };
    const Case cases[] = {
        {"a == 1 OR b == 2", 1, 0, 0, true},
        {"a == 1 OR b == 2", 0, 2, 0, true},
        {"a == 1 OR b == 2", 0, 0, 0, false},
        {"a == 1 AND b == 2", 1, 0, 0, false},
        {"a == 1 AND b == 2", 1, 2, 0, true},
        // A AND B OR C: (A and B) or C.
        {"a == 1 AND b == 2 OR c == 3", 5, 2, 3, true},
        {"a == 1 AND b == 2 OR c == 3", 5, 2, 0, false},
        // A OR B AND C: B or (A and C).
        {"a == 1 OR b == 2 AND c == 3", 0, 2, 0, true},
        {"a == 1 OR b == 2 AND c == 3", 1, 0, 3, true},
        {"a == 1 OR b == 2 AND c == 3", 1, 0, 0, false},
        {"a != 1", 2, 0, 0, true},
        {"a <= 1", 1, 0, 0, true},
        {"a >= 2", 1, 0, 0, false},
        {"a > 0", 1, 0, 0, true},
    };
    for (const Case& c : cases) {
        out.view.clear();
        const std::string script = "DESCRIPTION if\nBYTE a = " + std::to_string(c.a) + "\nBYTE b = " +
                                   std::to_string(c.b) + "\nBYTE c = " + std::to_string(c.c) + "\nStart:\nIF " +
                                   c.condition + " JUMP L\nMSG fell\nEXIT 0\nL:\nMSG jumped\n";
        ASSERT_EQ(run(script), 0) << c.condition;
        EXPECT_EQ(sawMessage("jumped"), c.jumps) << c.condition << " a=" << c.a << " b=" << c.b << " c=" << c.c;
        EXPECT_EQ(sawMessage("fell"), !c.jumps) << c.condition;
    }
}

TEST_F(ExecutorTest, IfReturnsFromTheCurrentCallAndComparesLongsUnsigned) {
    EXPECT_EQ(run("DESCRIPTION r\nBYTE x = 3\nLONG big = FFFFFFFFH\nStart:\nCALL Sub\nMSG after\n"
                  "IF big > 0 JUMP Big\nEXIT 0\nBig:\nMSG big\nEXIT 0\nSub:\nIF x < 5 RETURN\nMSG not returned\nRETURN\n"),
              0)
        << engine.TrailText();
    EXPECT_TRUE(sawMessage("after"));
    EXPECT_TRUE(sawMessage("big"));
    EXPECT_FALSE(sawMessage("not returned"));
}

TEST_F(ExecutorTest, SenseTestsFollowTheLastSense) {
    // A fresh engine has no sense (CCh everywhere): IFNOSENSE acts, IFSENSE ANY does not.
    EXPECT_EQ(run("DESCRIPTION s\nStart:\nIFSENSE ANY JUMP Any\nIFNOSENSE JUMP None\nEXIT 0\nAny:\nMSG any\nEXIT 0\n"
                  "None:\nMSG none\n"),
              0)
        << engine.TrailText();
    EXPECT_TRUE(sawMessage("none"));
    EXPECT_FALSE(sawMessage("any"));

    struct Case {
        const char* preset;
        const char* selector;
        bool jumps;
    };
    const Case cases[] = {
        {"* SK 03\n* ASC 11H\n* ASCQ 05", "03 11H XX", true},
        {"* SK 03\n* ASC 11H\n* ASCQ 05", "03 XX XX", true},
        {"* SK 03\n* ASC 12H\n* ASCQ 05", "03 11H XX", false},
        {"* SK 03\n* ASC 11H\n* ASCQ 05", "03 11H 05", true},
        {"* SK 03\n* ASC 11H\n* ASCQ 05", "03 11H 06", false},
        {"* SK 04\n* ASC 11H\n* ASCQ 05", "03 XX XX", false},
        {"* SK 03\n* ASC 11H\n* ASCQ 05", "ANY", true},
        {"* SK 03\n* ASC 11H\n* ASCQ 05", "Medium", true},
        {"* SK 04\n* ASC 0CH\n* ASCQ 00", "Medium", false},
    };
    for (const Case& c : cases) {
        out.view.clear();
        const std::string script = std::string("DESCRIPTION s\nSENSEKEYS Medium 03 XX XX Medium error\nStart:\n") +
                                   c.preset + "\nIFNOSENSE JUMP None\nIFSENSE " + c.selector +
                                   " JUMP Hit\nEXIT 0\nHit:\nMSG hit\nEXIT 0\nNone:\nMSG none\n";
        ASSERT_EQ(run(script), 0) << c.selector << "\n" << engine.TrailText();
        EXPECT_EQ(sawMessage("hit"), c.jumps) << c.preset << " / " << c.selector;
        EXPECT_FALSE(sawMessage("none")) << "an internal sense line sets SK: IFNOSENSE must not act";
    }
}

TEST_F(ExecutorTest, SenseActionsCallAndReturn) {
    EXPECT_EQ(run("DESCRIPTION s\nStart:\n* SK 02\nIFSENSE 02 XX XX CALL Sub\nMSG back\nEXIT 0\nSub:\n"
                  "IFSENSE ANY RETURN\nMSG not here\n"),
              0)
        << engine.TrailText();
    EXPECT_TRUE(sawMessage("back"));
    EXPECT_FALSE(sawMessage("not here"));
    EXPECT_EQ(engine.lastSense().senseKey, 2);
}

TEST_F(ExecutorTest, SleepWaitsForAWordVariable) {
    ASSERT_TRUE(load("DESCRIPTION s\nWORD w = 300\nStart:\nSLEEP w\n"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.Run(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST_F(ExecutorTest, ExitEndsTheRunWithoutAnErrorAndKeepsItsValue) {
    EXPECT_EQ(run("DESCRIPTION e\nWORD w = 1234H\nStart:\nMSG before\nEXIT w\nMSG after\n"), 0);
    EXPECT_TRUE(engine.errors().empty());
    EXPECT_EQ(engine.state().exitValue, 0x1234);
    EXPECT_TRUE(sawMessage("before"));
    EXPECT_FALSE(sawMessage("after"));
    // The next run starts again from the first statement.
    out.view.clear();
    EXPECT_EQ(engine.Run(), 0);
    EXPECT_TRUE(sawMessage("before"));
}

TEST_F(ExecutorTest, AssignmentsWrapConvertAndFailInOrder) {
    struct Case {
        const char* declarations;
        const char* statements;
        const char* variable;
        double expected;  // the variable's visible value after a good run
        bool fails;       // the run ends with -137
    };
    const Case cases[] = {
        {"BYTE b = 200", "b += 100", "b", 44, false},
        {"WORD w = 0", "w = 70000", "w", 0xFFFF, false},
        {"LONG l = FFFFFFFFH", "l += 1", "l", 0, false},
        {"DOUBLE d = 1.5", "d |= 1", "d", 0, true},
        {"BYTE x = 0", "x = 0x10", "x", 0, true},
        {"BYTE x = 0", "x = 10H", "x", 16, false},
        {"BYTE b = 5\nWORD w = 1234H", "b = w", "b", 0x34, false},
        {"LONG l = 1", "l <<= 33", "l", 2, false},
        {"BYTE b = 3", "b -= 4", "b", 255, false},
        {"WORD w = 300", "w *= 300", "w", (300 * 300) % 65536, false},
        {"BYTE b = 7", "b %= 4", "b", 3, false},
        {"BYTE b = 7", "b /= 0", "b", 0, true},
        {"BYTE b = 7", "b %= 0", "b", 0, true},
        {"DOUBLE d = 1.5", "d /= 0", "d", 0, true},
        {"DOUBLE d = 1.5", "d *= 2.5", "d", 3.75, false},
        {"DOUBLE d = 1.5\nLONG l = FFFFFFFFH", "d = l", "d", 4294967295.0, false},
        {"DOUBLE d = 2.9\nBYTE b = 0", "b = d", "b", 2, false},
        {"BYTE b = F0H", "b >>= 4", "b", 0x0F, false},
        {"BYTE b = F0H", "b ^= 0FFH", "b", 0x0F, false},
        {"BYTE b = 1", "b <<= 9", "b", 0, false},
    };
    for (const Case& c : cases) {
        const std::string script = std::string("DESCRIPTION a\n") + c.declarations + "\nStart:\n" + c.statements + "\n";
        const int result = run(script);
        if (c.fails) {
            EXPECT_EQ(result, 1) << c.statements;
            EXPECT_EQ(runError(), err::EXE_UNABLE_TO_PROCESS_VARIABLE) << c.statements;
            continue;
        }
        ASSERT_EQ(result, 0) << c.statements << "\n" << engine.TrailText();
        const ScriptVariable& v = var(c.variable);
        double value = 0;
        switch (v.type) {
            case VarType::Byte: value = v.byteSlot; break;
            case VarType::Word: value = v.wordSlot; break;
            case VarType::Long: value = v.longSlot; break;
            case VarType::Double: value = v.doubleSlot; break;
        }
        EXPECT_DOUBLE_EQ(value, c.expected) << c.statements;
        EXPECT_TRUE(v.set) << c.statements;
    }
}

// A statement behaves on every pass as on its first, though later passes run from the form
// the first one parsed: a divisor that reaches zero later still fails, a RETURN met again
// with no call pending still ends the run, a condition reads its variables each time.
TEST_F(ExecutorTest, RepeatedStatementsKeepTheirResultsAndErrors) {
    EXPECT_EQ(run("DESCRIPTION d\nBYTE d = 3\nBYTE q = 0\nStart:\nLoop:\nq = 60\nq /= d\nd -= 1\nJUMP Loop\n"), 1);
    EXPECT_EQ(runError(), err::EXE_UNABLE_TO_PROCESS_VARIABLE);
    EXPECT_EQ(var("q").byteSlot, 60);
    EXPECT_EQ(var("d").byteSlot, 0);

    out.view.clear();
    EXPECT_EQ(run("DESCRIPTION r\nStart:\nCALL Sub\nMSG after\nSub:\nRETURN\n"), 1);
    EXPECT_EQ(runError(), err::RETURN_WITH_NO_PREVIOUS_CALL_DETECTED);
    EXPECT_TRUE(sawMessage("after"));

    ASSERT_TRUE(load("DESCRIPTION c\nWORD n = 0\nWORD limit = 3\nStart:\nLoop:\nn += 1\nIF n < limit JUMP Loop\n"));
    EXPECT_EQ(engine.Run(), 0);
    EXPECT_EQ(var("n").wordSlot, 3);
    // A second run of the same load starts from the declarations again.
    EXPECT_EQ(engine.Run(), 0);
    EXPECT_EQ(var("n").wordSlot, 3);
}

TEST_F(ExecutorTest, DeclarationsRunAgainEachRun) {
    ASSERT_TRUE(load("DESCRIPTION d\nBYTE n = 1\nStart:\nn += 1\n"));
    EXPECT_EQ(engine.Run(), 0);
    EXPECT_EQ(engine.Run(), 0);
    EXPECT_EQ(var("n").byteSlot, 2);
}

TEST_F(ExecutorTest, OperatorStatementsReachTheOperatorAndTheLog) {
    op.buttons = {ui::Button::Cancel, ui::Button::Ok};
    ASSERT_TRUE(load("DESCRIPTION o\nBUFFER Text [ 32 ]\nStart:\nMSG   spaced   text\nLOG to the log\n"
                     "PASS \"All good\\r\\nsecond line\"\nFAIL failed \\x\n"
                     "INSTRUCT Insert a tape ONCANCEL Cancelled\nMSG not cancelled\n"
                     "INSTRUCT Press OK ONOK Pressed\nMSG not pressed\nEXIT 0\n"
                     "Cancelled:\nMSG cancelled\nEXIT 0\nPressed:\nMSG pressed\n"));
    // The first INSTRUCT gets Cancel (jumps), so the second is never reached.
    EXPECT_EQ(engine.Run(), 0) << engine.TrailText();
    EXPECT_TRUE(sawMessage("spaced   text"));
    ASSERT_EQ(out.log.size(), 1u);
    EXPECT_EQ(out.log[0], std::make_pair(4, std::string("to the log")));
    ASSERT_GE(op.calls.size(), 3u);
    EXPECT_EQ(op.calls[0].text, "All good\r\nsecond line");
    EXPECT_EQ(op.calls[0].icon, ui::Icon::Information);
    EXPECT_EQ(op.calls[1].text, "failed \\x");
    EXPECT_EQ(op.calls[1].icon, ui::Icon::Stop);
    EXPECT_EQ(op.calls[2].text, "Insert a tape");
    EXPECT_EQ(op.calls[2].icon, ui::Icon::Question);
    EXPECT_TRUE(sawMessage("cancelled"));
    EXPECT_FALSE(sawMessage("not cancelled"));
}

TEST_F(ExecutorTest, PassShowsTheTextOfABuffer) {
    ASSERT_TRUE(load("DESCRIPTION p\nBUFFER Note [ 16 ]\nStart:\nPOKE Note [ 0 ] 41H\nPOKE Note [ 1 ] 42H\nPASS Note\n"));
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    ASSERT_EQ(op.messages().size(), 1u);
    EXPECT_EQ(op.messages()[0], "AB");
}

TEST_F(ExecutorTest, StepModeReleasesOneStatementPerTrigger) {
    ASSERT_TRUE(load("DESCRIPTION st\nBYTE n = 0\nStart:\nn += 1\nn += 1\nn += 1\n"));
    engine.setStepMode(true);
    auto done = engine.events().find("KDone");
    ASSERT_NE(done, nullptr);
    std::atomic<int> result{-1};
    std::thread runner([&] { result = engine.Run(); });
    // DESCRIPTION, the declaration's assignment and two increments: each waits for its trigger.
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(done->wait(5s));
        engine.trigger();
    }
    ASSERT_TRUE(done->wait(5s));
    engine.requestStop();
    runner.join();
    EXPECT_EQ(result.load(), 0);
    // The stop came before the third increment.
    EXPECT_EQ(var("n").byteSlot, 2);
    // Each statement was shown as a script message before it ran.
    EXPECT_TRUE(sawMessage("n += 1"));
}

TEST_F(ExecutorTest, StopRequestEndsALoopFromAnotherThread) {
    ASSERT_TRUE(load("DESCRIPTION loop\nLONG n = 0\nStart:\nn += 1\nJUMP Start\n"));
    std::atomic<int> result{-1};
    std::thread runner([&] { result = engine.Run(); });
    std::this_thread::sleep_for(50ms);
    engine.requestStop();
    runner.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_GT(var("n").longSlot, 0u);
}

}  // namespace
}  // namespace vexal::script::testing
