// The kernel's own text routines: length, equality, copy, append and decimal
// formatting. No state, no allocation; safe in any context.
#include "kern/string.h"

namespace kern {

// Enough for the ten digits of any 32-bit magnitude and a sign.
const uint32_t NUMBER_CHARS = 11;
const uint32_t DECIMAL = 10;

int32_t strlen(const char* text)
{
    int32_t n = 0;
    while (text[n] != 0)
        n++;
    return n;
}

int32_t strcmp(const char* first, const char* second)
{
    if (first[0] == 0)
        return 1;
    int32_t i = 0;
    for (; first[i] != 0; i++)
        if (second[i] != first[i])
            return 1;
    return second[i] == 0 ? 0 : 1;
}

void strcpy(const char* source, char* destination)
{
    int32_t i = 0;
    do {
        destination[i] = source[i];
    } while (source[i++] != 0);
}

void strcat(const char* source, char* destination)
{
    strcpy(source, destination + strlen(destination));
}

// A text that does not fit whole (with its terminator) in size bytes is
// written as the empty text: a cut-off number would read as a wrong one.
char* putint(int32_t value, char* buffer, uint32_t size)
{
    if (size == 0)
        return nullptr;
    char text[NUMBER_CHARS];
    uint32_t n = 0;
    // The magnitude in unsigned arithmetic, so that -2^31 has one too.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        text[n++] = static_cast<char>('0' + magnitude % DECIMAL);
        magnitude /= DECIMAL;
    } while (magnitude != 0);
    if (value < 0)
        text[n++] = '-';
    if (n >= size) {
        buffer[0] = 0;
        return buffer;
    }
    for (uint32_t i = 0; i < n; i++)
        buffer[i] = text[n - 1 - i];
    buffer[n] = 0;
    return buffer;
}

} // namespace kern
