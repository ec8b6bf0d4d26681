// The C library functions that the compiler calls for block copies, zero-filling and comparisons,
// and that the logic calls for byte searches: the Windows program has no C library of its own.
#include "core/block.h"

extern "C" {
void* memset(void* dst, int value, size_t n) {
    void* d = dst;
    __asm__ volatile("rep stosb" : "+D"(d), "+c"(n) : "a"(value) : "memory");
    return dst;
}

void* memcpy(void* dst, const void* src, size_t n) {
    void* d = dst;
    __asm__ volatile("rep movsb" : "+D"(d), "+S"(src), "+c"(n) : : "memory");
    return dst;
}

void* memmove(void* dst, const void* src, size_t n) {
    unsigned char* d = (unsigned char*)dst;
    const unsigned char* s = (const unsigned char*)src;
    if (d < s) return memcpy(dst, src, n);
    while (n--) d[n] = s[n];
    return dst;
}

// A block of 16 bytes at a time, as the logic's own searches go.
int memcmp(const void* a, const void* b, size_t n) {
    const char* x = (const char*)a;
    const char* y = (const char*)b;
    i64 k = block_scan(x, (i64)n, [&](Block block, i64 i, i64 available) { return block_mask(block != block_load(y + i, available)); });
    if (k < 0) return 0;
    return (u8)x[k] < (u8)y[k] ? -1 : 1;
}

void* memchr(const void* s, int c, size_t n) {
    const char* p = (const char*)s;
    Block wanted = block_of((u8)c);
    i64 k = block_scan(p, (i64)n, [&](Block block, i64, i64) { return block_mask(block == wanted); });
    return k >= 0 ? (void*)(p + k) : nullptr;
}

size_t strlen(const char* s) {
    size_t n = 0;
    while (s[n]) n++;
    return n;
}
}
