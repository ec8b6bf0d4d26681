// Holds the error codes the program reads against MinGW-w64's own headers when the Windows program
// is built: a wrong value would pass every test, as wine gives none of these codes.
#include <windows.h>

#include "platform/windows/pipe_errors.h"

static_assert(WINDOWS_HANDLE_EOF == ERROR_HANDLE_EOF, "ERROR_HANDLE_EOF");
static_assert(WINDOWS_BROKEN_PIPE == ERROR_BROKEN_PIPE, "ERROR_BROKEN_PIPE");
static_assert(WINDOWS_NO_DATA == ERROR_NO_DATA, "ERROR_NO_DATA");
static_assert(WINDOWS_PIPE_NOT_CONNECTED == ERROR_PIPE_NOT_CONNECTED, "ERROR_PIPE_NOT_CONNECTED");
