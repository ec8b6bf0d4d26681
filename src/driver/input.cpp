// Reading the input into one block, and decoding input saved with a byte-order mark.
#include "driver/input.h"
#include "core/utf16.h"

i64 read_input_piece(OsHandle handle, Arena* arena, Input* input) {
    // Each piece is read straight behind the one before, so the input is one block and nothing is
    // copied. It starts on a page: an offset into the input is then also its position in a block of
    // 16 bytes.
    if (!input->text.data) input->text = Str{0, arena_take(arena, 0, 1, 4096)};
    char* piece = arena_take(arena, READ_CHUNK, 1, 1);
    i64 n = platform_read(handle, piece, READ_CHUNK);
    arena_rewind(arena, piece + (n > 0 ? n : 0));
    if (n < 0) input->read_failed = 1, input->error = platform_last_error();
    if (n <= 0) return 0;
    input->text.len += n;
    return n;
}

i32 input_is_utf16(Str raw) { return str_starts_with(raw, "\xFF\xFE"_s) || str_starts_with(raw, "\xFE\xFF"_s); }

Str input_as_utf8(Str raw, Arena* arena) {
    if (str_starts_with(raw, "\xEF\xBB\xBF"_s)) return str_skip(raw, 3);
    if (!input_is_utf16(raw)) return raw;
    i32 little = str_starts_with(raw, "\xFF\xFE"_s);
    arena_take(arena, 0, 1, 4096);
    return utf16_bytes_to_utf8(arena, str_skip(raw, 2), little ? UTF16_LITTLE_ENDIAN : UTF16_BIG_ENDIAN);
}
