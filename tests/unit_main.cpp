// The unit tests' entry: every test runs twice, with the fast kernels and then with the general rules.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/fast_paths.h"

i32 fast_paths = 1;

namespace {

// Turns the switch at the start of each repetition and says which side runs.
struct BothSides : testing::EmptyTestEventListener {
    void OnTestIterationStart(const testing::UnitTest&, int iteration) override {
        fast_paths = iteration % 2 == 0;
        printf("[   SIDE   ] %s\n", fast_paths ? "fast kernels" : "general rules");
    }
};

}  // namespace

int main(int argc, char** argv) {
    GTEST_FLAG_SET(repeat, 2);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new BothSides);
    return RUN_ALL_TESTS();
}
