// Sixteen bytes at a time: a block of a slice, per-byte tests on it, and their bit mask.
#pragma once
#include "core/str.h"

constexpr i64 BLOCK_BYTES = 16;

// Sixteen bytes as one value; a comparison with a byte tests every one of them and gives a BlockTest.
typedef u8 Block __attribute__((vector_size(16)));
// The result of a test: each byte all ones where it passed, zero where it did not.
typedef signed char BlockTest __attribute__((vector_size(16)));

// The 16 bytes at p, of which the first `available` (at least one) belong to the caller's text.
// When fewer than 16 do, one load still reads them as long as it stays within the memory page that
// holds p: memory is mapped a whole page at a time, so those bytes can be read, and callers mask off
// what lies past their text. Near the end of a page the 16 bytes that end with the text's last byte
// are read instead (they lie in its page) and moved into place through the stack. The sanitizer is
// told not to watch these reads for the same reason.
__attribute__((no_sanitize("address"))) inline Block block_load(const char* p, i64 available) {
    Block b;
    if (available >= BLOCK_BYTES || ((uintptr_t)p & 4095) <= 4096 - BLOCK_BYTES) {
        __builtin_memcpy(&b, p, BLOCK_BYTES);
        return b;
    }
    char staged[2 * BLOCK_BYTES] = {};
    __builtin_memcpy(staged, p + available - BLOCK_BYTES, BLOCK_BYTES);
    __builtin_memcpy(&b, staged + BLOCK_BYTES - available, BLOCK_BYTES);
    return b;
}

inline void block_store(char* p, Block b) { __builtin_memcpy(p, &b, BLOCK_BYTES); }

inline Block block_of(u8 byte) { return Block{} + byte; }

// Bit i is set when byte i passed the test. FERRULE_PORTABLE builds the path of processors without
// SSE2 on x86-64 too, so that it is tested there.
inline u32 block_mask(BlockTest test) {
#if defined(__SSE2__) && !defined(FERRULE_PORTABLE)
    typedef char Chars __attribute__((vector_size(16)));
    return (u32)__builtin_ia32_pmovmskb128((Chars)test);
#else
    u32 mask = 0;
    for (int i = 0; i < BLOCK_BYTES; i++) mask |= (u32)(test[i] & 1) << i;
    return mask;
#endif
}

// How many bytes come before the first that passed, counting at most the first n (n at most 16).
inline i64 block_count_before(u32 mask, i64 n) {
    i64 k = __builtin_ctz(mask | (1u << BLOCK_BYTES));
    return k < n ? k : n;
}

// The position of the first of the n bytes at p that a block's test passes, -1 when none does: the
// test takes the block at offset i, of which the first `available` bytes count, and gives its mask.
template <typename Test>
[[gnu::always_inline]] inline i64 block_scan(const char* p, i64 n, Test test) {
    for (i64 i = 0; i < n; i += BLOCK_BYTES) {
        i64 available = n - i < BLOCK_BYTES ? n - i : BLOCK_BYTES;
        i64 k = block_count_before(test(block_load(p + i, available), i, available), available);
        if (k < available) return i + k;
    }
    return -1;
}

