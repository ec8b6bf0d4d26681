// The KERNEL32 and SHELL32 functions and constants the Windows program uses, declared by hand: there
// are no system headers in a build without a C runtime.
#pragma once
#include <stddef.h>
#include <stdint.h>

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
__declspec(dllimport) void WINAPI SetLastError(DWORD error);
__declspec(dllimport) DWORD WINAPI FormatMessageW(DWORD flags, const void* source, DWORD id, DWORD language,
                                                  WCHAR* buffer, DWORD size, void* arguments);
__declspec(dllimport) __attribute__((noreturn)) void WINAPI ExitProcess(unsigned int status);

struct COORD {
    short X, Y;
};
struct SMALL_RECT {
    short Left, Top, Right, Bottom;
};
struct CONSOLE_SCREEN_BUFFER_INFO {
    COORD dwSize, dwCursorPosition;
    unsigned short wAttributes;
    SMALL_RECT srWindow;
    COORD dwMaximumWindowSize;
};

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
};
struct STARTUPINFOW {
    DWORD cb;
    WCHAR* lpReserved;
    WCHAR* lpDesktop;
    WCHAR* lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    unsigned short wShowWindow, cbReserved2;
    unsigned char* lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
};
struct PROCESS_INFORMATION {
    HANDLE hProcess, hThread;
    DWORD dwProcessId, dwThreadId;
};
typedef BOOL(WINAPI* PHANDLER_ROUTINE)(DWORD type);

__declspec(dllimport) HANDLE WINAPI CreateFileW(const WCHAR* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                                                DWORD disposition, DWORD flags, HANDLE model);
__declspec(dllimport) BOOL WINAPI CloseHandle(HANDLE handle);
__declspec(dllimport) BOOL WINAPI FlushFileBuffers(HANDLE handle);
__declspec(dllimport) BOOL WINAPI MoveFileExW(const WCHAR* from, const WCHAR* to, DWORD flags);
__declspec(dllimport) BOOL WINAPI DeleteFileW(const WCHAR* name);
__declspec(dllimport) DWORD WINAPI GetFileAttributesW(const WCHAR* name);
__declspec(dllimport) DWORD WINAPI GetFinalPathNameByHandleW(HANDLE file, WCHAR* path, DWORD length, DWORD flags);
__declspec(dllimport) DWORD WINAPI SearchPathW(const WCHAR* path, const WCHAR* name, const WCHAR* extension, DWORD length,
                                               WCHAR* buffer, WCHAR** file_part);
__declspec(dllimport) BOOL WINAPI CreatePipe(HANDLE* read, HANDLE* write, SECURITY_ATTRIBUTES* security, DWORD size);
__declspec(dllimport) BOOL WINAPI SetHandleInformation(HANDLE handle, DWORD mask, DWORD flags);
__declspec(dllimport) BOOL WINAPI DuplicateHandle(HANDLE from_process, HANDLE from, HANDLE to_process, HANDLE* to,
                                                  DWORD access, BOOL inherit, DWORD options);
__declspec(dllimport) HANDLE WINAPI GetCurrentProcess(void);
__declspec(dllimport) BOOL WINAPI CreateProcessW(const WCHAR* application, WCHAR* command_line, SECURITY_ATTRIBUTES* process,
                                                 SECURITY_ATTRIBUTES* thread, BOOL inherit, DWORD flags, void* environment,
                                                 const WCHAR* directory, STARTUPINFOW* startup, PROCESS_INFORMATION* info);
__declspec(dllimport) DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
__declspec(dllimport) BOOL WINAPI GetExitCodeProcess(HANDLE process, DWORD* code);
__declspec(dllimport) BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
__declspec(dllimport) BOOL WINAPI PeekNamedPipe(HANDLE pipe, void* buffer, DWORD size, DWORD* read, DWORD* available,
                                                DWORD* left);
__declspec(dllimport) void WINAPI Sleep(DWORD milliseconds);
__declspec(dllimport) unsigned long long WINAPI GetTickCount64(void);
__declspec(dllimport) BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO* info);
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
    GENERIC_READ = 0x80000000,
    GENERIC_WRITE = 0x40000000,
    FILE_SHARE_READ = 1,
    FILE_SHARE_WRITE = 2,
    FILE_SHARE_DELETE = 4,
    CREATE_NEW = 1,
    OPEN_EXISTING = 3,
    FILE_ATTRIBUTE_NORMAL = 0x80,
    FILE_ATTRIBUTE_REPARSE_POINT = 0x400,
    FILE_FLAG_BACKUP_SEMANTICS = 0x02000000,
    INVALID_FILE_ATTRIBUTES = (DWORD)-1,
    MOVEFILE_REPLACE_EXISTING = 1,
    MOVEFILE_WRITE_THROUGH = 8,
    HANDLE_FLAG_INHERIT = 1,
    DUPLICATE_SAME_ACCESS = 2,
    STARTF_USESTDHANDLES = 0x100,
    INFINITE = (DWORD)-1,
    STATUS_CONTROL_C_EXIT = 0xC000013A,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
};
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
