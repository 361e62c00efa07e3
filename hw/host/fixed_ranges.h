// The machine's fixed ranges (machine.h) in a host process, so the very
// code that boots runs unchanged there. One place maps them for every host
// program: the tests, the renderer, the benchmarks.
#pragma once

namespace hwsim {

// Maps the graphics memory, the text screen and the high window at their
// own addresses, zero filled; a range this process has mapped already is
// kept. False (with a line on stderr) when one cannot be had there.
bool map_fixed_ranges();

// Maps them afresh, zero filled again.
bool remap_fixed_ranges();

} // namespace hwsim
