// Whether the fast paths are built. FERRULE_GENERAL builds the program without any of them, so that
// the general code does all the work: the two programs must write the same bytes.
#pragma once
#include "core/str.h"

#ifdef FERRULE_GENERAL
constexpr i32 fast_paths = 0;
#else
constexpr i32 fast_paths = 1;
#endif
