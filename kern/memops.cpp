// The copies and fills GCC emits calls to even in freestanding code. Built
// with -fno-tree-loop-distribute-patterns, so these loops stay loops.
#include <stddef.h>
#include <stdint.h>

extern "C" {

void* memcpy(void* dst, const void* src, size_t n)
{
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    for (size_t i = 0; i < n; i++)
        d[i] = s[i];
    return dst;
}

void* memmove(void* dst, const void* src, size_t n)
{
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    if (d < s)
        return memcpy(dst, src, n);
    for (size_t i = n; i > 0; i--)
        d[i - 1] = s[i - 1];
    return dst;
}

void* memset(void* dst, int value, size_t n)
{
    uint8_t* d = static_cast<uint8_t*>(dst);
    for (size_t i = 0; i < n; i++)
        d[i] = static_cast<uint8_t>(value);
    return dst;
}

int memcmp(const void* a, const void* b, size_t n)
{
    const uint8_t* x = static_cast<const uint8_t*>(a);
    const uint8_t* y = static_cast<const uint8_t*>(b);
    for (size_t i = 0; i < n; i++)
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    return 0;
}

}
