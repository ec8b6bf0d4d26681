// What each byte is, in one table of flag bits that every classifier of the program reads.
#pragma once
#include "core/str.h"

// What a byte is to unquoted shell text: ordinary (it stands for itself), or what ends, escapes or
// opens something. It is held in the low bits of the byte's flags.
enum ShellByte : u8 {
    SHELL_ORDINARY = 0,
    SHELL_BLANK,            // space or tab
    SHELL_LINE_FEED,
    SHELL_CARRIAGE_RETURN,
    SHELL_COMMENT,          // "#"
    SHELL_OPERATOR,         // "&", ";", "|", "<" or ">"
    SHELL_BACKSLASH,
    SHELL_OPENER,           // a quote, a backquote, "{", "(" or "["
};

enum ByteFlags : u16 {
    BYTE_SHELL_KIND = 7,                // the ShellByte
    BYTE_SPACE = 1 << 3,                // white space as text is trimmed of it: space, tab, LF, CR
    BYTE_DIGIT = 1 << 4,                // "0" to "9"
    BYTE_JSON_ESCAPED = 1 << 5,         // escaped in a JSON string: a control byte, '"' or the backslash
    BYTE_STARTS_SUBSTITUTION = 1 << 6,  // "$" or a backquote
    BYTE_STARTS_OPERATOR = 1 << 7,      // what a shell operator word starts with: ";&|()<>" or a digit
                                        // (a file descriptor before a redirection)
};

struct ByteTable {
    u16 flags[256];
    constexpr ByteTable() : flags() {
        for (const char* p = "'\"`{(["; *p; p++) flags[(u8)*p] |= SHELL_OPENER;
        for (const char* p = "&;|<>"; *p; p++) flags[(u8)*p] |= SHELL_OPERATOR;
        flags[(u8)' '] |= SHELL_BLANK;
        flags[(u8)'\t'] |= SHELL_BLANK;
        flags[(u8)'\n'] |= SHELL_LINE_FEED;
        flags[(u8)'\r'] |= SHELL_CARRIAGE_RETURN;
        flags[(u8)'#'] |= SHELL_COMMENT;
        flags[(u8)'\\'] |= SHELL_BACKSLASH;
        for (const char* p = " \t\n\r"; *p; p++) flags[(u8)*p] |= BYTE_SPACE;
        for (int b = '0'; b <= '9'; b++) flags[b] |= BYTE_DIGIT | BYTE_STARTS_OPERATOR;
        for (int b = 0; b < 0x20; b++) flags[b] |= BYTE_JSON_ESCAPED;
        flags[(u8)'"'] |= BYTE_JSON_ESCAPED;
        flags[(u8)'\\'] |= BYTE_JSON_ESCAPED;
        flags[(u8)'$'] |= BYTE_STARTS_SUBSTITUTION;
        flags[(u8)'`'] |= BYTE_STARTS_SUBSTITUTION;
        for (const char* p = ";&|()<>"; *p; p++) flags[(u8)*p] |= BYTE_STARTS_OPERATOR;
    }
};
inline constexpr ByteTable byte_table;

inline u16 byte_flags(u8 b) { return byte_table.flags[b]; }
inline i32 byte_is(u8 b, u16 flag) { return (byte_table.flags[b] & flag) != 0; }
inline ShellByte shell_byte(u8 b) { return (ShellByte)(byte_table.flags[b] & BYTE_SHELL_KIND); }
