// The unit tests' entry: every test runs twice, with the fast kernels and then with the general rules;
// a failure is named with its side, and the last line says which sides failed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/fast_paths.h"

i32 fast_paths = 1;

namespace {

const char* side_name() { return fast_paths ? "fast kernels" : "general rules"; }

// Turns the switch at the start of each repetition, says which side runs, and keeps the failures of
// each side, which gtest's own summary forgets for every repetition but the last.
struct BothSides : testing::EmptyTestEventListener {
    std::vector<std::string> failed;  // "Suite.Test (side)"

    void OnTestIterationStart(const testing::UnitTest&, int iteration) override {
        fast_paths = iteration % 2 == 0;
        printf("[   SIDE   ] %s\n", side_name());
    }
    void OnTestEnd(const testing::TestInfo& info) override {
        if (!info.result()->Failed()) return;
        failed.push_back(std::string(info.test_suite_name()) + "." + info.name() + " (" + side_name() + ")");
        printf("[  FAILED  ] %s.%s with the %s\n", info.test_suite_name(), info.name(), side_name());
    }
    void OnTestProgramEnd(const testing::UnitTest&) override {
        if (failed.empty()) {
            printf("[   SIDE   ] both sides passed\n");
            return;
        }
        printf("[   SIDE   ] %zu failed:\n", failed.size());
        for (const std::string& f : failed) printf("[  FAILED  ] %s\n", f.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    GTEST_FLAG_SET(repeat, 2);
    testing::InitGoogleTest(&argc, argv);
    BothSides* sides = new BothSides;
    testing::UnitTest::GetInstance()->listeners().Append(sides);
    int status = RUN_ALL_TESTS();
    return status != 0 || !sides->failed.empty() ? 1 : 0;
}
