#pragma once
// A test suite whose tests share one tgtd, started before the first test and stopped after
// the last.
#include <gtest/gtest.h>

#include <memory>

#include "integration/tgtd_fixture.h"

namespace vexal::testing {

class TgtdSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = std::make_unique<TgtdServer>();
        std::string error;
        ASSERT_TRUE(server->start(error)) << error;
    }
    static void TearDownTestSuite() { server.reset(); }

    static inline std::unique_ptr<TgtdServer> server;
};

}  // namespace vexal::testing
