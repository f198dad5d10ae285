#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/test_root.h"

using namespace vexal::platform;

namespace {

TEST(SingleInstanceTest, SecondStartKnocksAndEnds) {
    vexal::testing::TempRoot root;
    std::atomic<int> knocks{0};
    SingleInstance first("vexal");
    ASSERT_TRUE(first.acquire([&] { ++knocks; }));

    // A second start in another process finds the lock taken and asks the first to come
    // to the front.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        SingleInstance second("vexal");
        _exit(second.acquire({}) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int i = 0; i < 200 && knocks.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(knocks.load(), 1);
}

TEST(SingleInstanceTest, TheLockIsFreeAgainAfterTheFirstEnds) {
    vexal::testing::TempRoot root;
    {
        SingleInstance first("vexal");
        ASSERT_TRUE(first.acquire({}));
    }
    SingleInstance next("vexal");
    EXPECT_TRUE(next.acquire({}));
}

}  // namespace
