// The document: synchronous and worker commands, the test runner frames, abort.
#include "document/falder_doc.h"

#include <gtest/gtest.h>

#include <regex>

#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "support/fake_operator.h"
#include "support/test_root.h"

using namespace vexal::command;
using namespace vexal::document;
using vexal::testing::FakeOperator;
using namespace std::chrono_literals;

namespace {

class ScriptedTest : public TestScript {
public:
    std::vector<bool> loads;  // per iteration; missing entries load fine
    int loadCalls = 0;
    int executeCalls = 0;
    std::function<void()> duringExecute;
    bool Load(const std::string&) override {
        const size_t i = static_cast<size_t>(loadCalls++);
        return i >= loads.size() || loads[i];
    }
    bool Execute() override {
        ++executeCalls;
        if (duringExecute) duringExecute();
        return true;
    }
    std::string ErrorText() override { return "Error In test.scs @ Line 1 : bad"; }
};

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        vexal::device::DevSetTransport(vexal::device::makeVirtualTransport("", error));
        ASSERT_EQ(vexal::device::DevEnumerate(), 0);
        doc = std::make_unique<CFalderDoc>(op, log, [this] { return engineering; });
        ASSERT_TRUE(doc->device().Select(0));
    }
    void TearDown() override {
        doc.reset();
        vexal::device::DevFreeList();
        vexal::device::DevSetTransport(nullptr);
    }
    std::vector<std::string> lines() { return doc->lines().snapshot(); }
    size_t countMatching(const std::regex& re) {
        size_t n = 0;
        for (const auto& l : lines()) n += std::regex_search(l, re);
        return n;
    }

    vexal::testing::TempRoot root;
    FakeOperator op;
    vexal::log::CLogSystem log{op, {}};
    bool engineering = true;
    std::unique_ptr<CFalderDoc> doc;
};

TEST_F(DocumentTest, SynchronousAndWorkerCommandsEndIdle) {
    doc->request().code = code::TestUnitReady;
    EXPECT_TRUE(doc->RunCommandSync(5s));
    EXPECT_EQ(doc->idle.load(), 1);
    EXPECT_EQ(doc->request().code, code::None);
    EXPECT_EQ(countMatching(std::regex("CmdStatus: SCSI_GOOD")), 1u);

    auto done = doc->events().find("Done");
    done->reset();
    doc->request().code = code::Rewind;
    doc->StartCommand();
    ASSERT_TRUE(done->wait(5s));
    for (int i = 0; i < 500 && doc->idle.load() == 0; ++i) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(doc->idle.load(), 1);
    EXPECT_EQ(countMatching(std::regex("^ Rewind$")), 1u);

    // A code without a command does nothing and does not leave a synchronous caller waiting.
    doc->request().code = 77;
    EXPECT_TRUE(doc->RunCommandSync(2s));
}

TEST_F(DocumentTest, IterationsWriteNumberedStartFramesAndOneEndFrameEach) {
    ScriptedTest script;
    doc->RunTestNow("Quick", "quick.scs", 3, script);
    const auto all = lines();
    std::vector<std::string> starts;
    for (const auto& l : all)
        if (l.find("[Vexal_Starting_Script") == 0) starts.push_back(l.substr(l.size() - 5));
    EXPECT_EQ(starts, (std::vector<std::string>{"1of3]", "2of3]", "3of3]"}));
    EXPECT_EQ(countMatching(std::regex(R"(^\[Vexal_Ending_Script on )")), 3u);
    EXPECT_EQ(countMatching(std::regex("^ Test Name: Quick$")), 3u);
    EXPECT_EQ(doc->idle.load(), 1);
    EXPECT_EQ(doc->testRunning.load(), 0);
}

TEST_F(DocumentTest, LoadErrorsStopTheRunWithOneEndFrame) {
    ScriptedTest script;
    script.loads = {false};
    op.buttons = {vexal::ui::Button::Yes};
    doc->RunTestNow("Broken", "broken.scs", 2, script);
    EXPECT_EQ(script.executeCalls, 0);
    EXPECT_EQ(countMatching(std::regex("Starting_Script")), 1u);
    EXPECT_EQ(countMatching(std::regex("Ending_Script")), 1u);
    EXPECT_EQ(op.messages(), std::vector<std::string>{kLoadErrorsQuestion});
    ASSERT_EQ(op.calls.back().kind, "showText");
}

TEST_F(DocumentTest, AbortAnsweredCancelWritesNothingAndOkStopsTheRun) {
    op.buttons = {vexal::ui::Button::Cancel};
    const size_t before = doc->lines().size();
    EXPECT_FALSE(doc->AbortTest());
    EXPECT_EQ(doc->lines().size(), before);
    EXPECT_EQ(doc->abortRequested.load(), 0);

    ScriptedTest script;
    script.duringExecute = [&] {
        op.buttons = {vexal::ui::Button::Ok};
        doc->AbortTest();
    };
    doc->RunTestNow("Long", "long.scs", 5, script);
    EXPECT_EQ(script.executeCalls, 1);
    EXPECT_EQ(countMatching(std::regex(R"(^\[Vexal_Aborting_Script on )")), 1u);
    EXPECT_EQ(countMatching(std::regex("Ending_Script")), 1u);
}

TEST_F(DocumentTest, RunnerThreadSignalsDoneAtTheEnd) {
    ScriptedTest script;
    std::atomic<bool> finished{false};
    doc->RunTest("Threaded", "t.scs", 2, script, [&] { finished = true; });
    doc->WaitForTest();
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(script.executeCalls, 2);
}

}  // namespace
