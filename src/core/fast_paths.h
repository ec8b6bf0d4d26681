// Which side of each pair runs: a stage's fast kernel, or the general rule it must agree with.
#pragma once
#include "core/str.h"

// The program is built with one side: the fast kernels, or with FERRULE_GENERAL the general rules
// alone, so that whole runs of the two programs can be compared. The unit tests build the logic with
// FERRULE_BOTH_SIDES, which makes the choice a switch that they turn, so that every test runs both.
#if defined(FERRULE_BOTH_SIDES)
extern i32 fast_paths;
#elif defined(FERRULE_GENERAL)
constexpr i32 fast_paths = 0;
#else
constexpr i32 fast_paths = 1;
#endif

// The side of a pair that runs. Both sides take the same arguments and give the same results; the
// fast one may lean on what it knows of the program's data (blocks of 16 bytes, short sets, tables).
template <typename Function>
constexpr Function fast_or_general(Function fast, Function general) {
    return fast_paths ? fast : general;
}
