// The Windows program's entry point: the process starts here, with no C runtime before or after.
#include "driver/entry.h"

extern "C" [[noreturn]] void ferrule_start(void) { run_ferrule(); }
