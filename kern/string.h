// The kernel's text routines. They share names with familiar library
// functions but not their contracts: strcpy and strcat take the SOURCE
// first, strcmp only answers equal (0) or not (1). They live in namespace
// kern so that neither the host C library nor compiler builtins stand in.
#pragma once
#include <stdint.h>

namespace kern {

int32_t strlen(const char* text);
// 0 when equal and the first text is not empty, else 1.
int32_t strcmp(const char* first, const char* second);
void strcpy(const char* source, char* destination);
void strcat(const char* source, char* destination);
// Decimal digits of value (a '-' first when negative) into buffer, never
// writing more than size bytes: a text that does not fit whole with its
// terminator is written as the empty text. Null when size is 0.
char* putint(int32_t value, char* buffer, uint32_t size);

} // namespace kern
