// UTF-16 into UTF-8 (the platform's command line and directory, a console's staged units, input
// saved as UTF-16) and UTF-8 into UTF-16 (text for a console, paths for the system).
#pragma once
#include "core/arena.h"

// The order of the two bytes of a unit.
enum Utf16Order { UTF16_LITTLE_ENDIAN, UTF16_BIG_ENDIAN };
constexpr Utf16Order UTF16_NATIVE = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? UTF16_LITTLE_ENDIAN : UTF16_BIG_ENDIAN;

// Writes the UTF-8 form of the UTF-16 text in bytes (two a unit, in the given order) at out, which has
// room for three bytes a unit, a last odd byte counting as a unit; returns the number of bytes
// written. An unpaired surrogate and an odd last byte each become U+FFFD.
i64 utf16_decode(Str bytes, Utf16Order order, char* out);

// The same into the arena: one contiguous block exactly as long as the UTF-8 text; nothing for none.
Str utf16_bytes_to_utf8(Arena* arena, Str bytes, Utf16Order order);
// Units in the machine's own order, as the system gives them.
Str utf16_to_utf8(Arena* arena, const u16* units, i64 count);

// Encodes one code point as UTF-8 into out (room for 4 bytes) and returns the byte count.
i64 utf8_encode(u32 code_point, char* out);

enum DecodeStatus { DECODED, REJECTED, INCOMPLETE };

// One character of UTF-8 decoded: its UTF-16 units and the bytes it used.
struct Utf8Char {
    DecodeStatus status;  // REJECTED: the units are U+FFFD for one byte; INCOMPLETE: the bytes end
                          // inside a character that some further bytes could complete
    u16 units[2];
    i64 unit_count;
    i64 used;
};

// The characters of UTF-8 text: the bytes that start one, which is also the columns a console gives
// a text without wide characters.
i64 utf8_characters(Str text);

// The character at the front of the n bytes at p (n at least 1).
Utf8Char utf8_decode(const u8* p, i64 n);

// The UTF-16 form of UTF-8 text at out, which has room for one unit a byte; a byte that starts no
// character becomes U+FFFD. Returns the number of units.
i64 utf8_to_utf16(Str text, u16* out);
