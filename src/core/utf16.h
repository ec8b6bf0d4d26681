// Decoding of the platform's UTF-16 text into UTF-8.
#pragma once
#include "core/arena.h"

// Unpaired surrogates become U+FFFD; the result is one contiguous block in the arena.
Str utf16_to_utf8(Arena* arena, const u16* units, i64 count);

// Encodes one code point as UTF-8 into out (room for 4 bytes) and returns the byte count.
i64 utf8_encode(u32 code_point, char* out);
