// The KERNEL32 and SHELL32 functions and constants the Windows program uses, declared by hand: there
// are no system headers in a build without a C runtime.
#pragma once
#include <stddef.h>

typedef int BOOL;
typedef unsigned long DWORD;
typedef void* HANDLE;
typedef wchar_t WCHAR;

#define WINAPI __stdcall
extern "C" {
__declspec(dllimport) void* WINAPI VirtualAlloc(void* address, size_t size, DWORD type, DWORD protect);
__declspec(dllimport) HANDLE WINAPI GetStdHandle(DWORD which);
__declspec(dllimport) BOOL WINAPI GetConsoleMode(HANDLE handle, DWORD* mode);
__declspec(dllimport) BOOL WINAPI ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read, void* overlapped);
__declspec(dllimport) BOOL WINAPI WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* written, void* overlapped);
__declspec(dllimport) BOOL WINAPI WriteConsoleW(HANDLE handle, const void* units, DWORD count, DWORD* written, void* reserved);
__declspec(dllimport) WCHAR* WINAPI GetCommandLineW(void);
__declspec(dllimport) WCHAR** WINAPI CommandLineToArgvW(const WCHAR* line, int* count);
__declspec(dllimport) DWORD WINAPI GetCurrentDirectoryW(DWORD length, WCHAR* buffer);
__declspec(dllimport) DWORD WINAPI GetLastError(void);
__declspec(dllimport) DWORD WINAPI FormatMessageW(DWORD flags, const void* source, DWORD id, DWORD language,
                                                  WCHAR* buffer, DWORD size, void* arguments);
__declspec(dllimport) __attribute__((noreturn)) void WINAPI ExitProcess(unsigned int status);
}

enum : DWORD {
    MEM_COMMIT = 0x1000,
    MEM_RESERVE = 0x2000,
    PAGE_READWRITE = 0x04,
    STD_INPUT_HANDLE = (DWORD)-10,
    STD_OUTPUT_HANDLE = (DWORD)-11,
    STD_ERROR_HANDLE = (DWORD)-12,
    FORMAT_MESSAGE_IGNORE_INSERTS = 0x200,
    FORMAT_MESSAGE_FROM_SYSTEM = 0x1000,
};
