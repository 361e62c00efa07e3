// Where a lower layer's lines go (the allocator's reports, the command
// registry's answers): a writer the start-up hands over, none until then,
// so that these layers never include the console above them.
#pragma once

namespace kern {

typedef void (*LineWriter)(const char* line);

// The line to `writer`, or nowhere while none was given.
inline void write_line(LineWriter writer, const char* line)
{
    if (writer != nullptr)
        writer(line);
}

} // namespace kern
