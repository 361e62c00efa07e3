// A small deflate compressor for the pictures the host tools write: one
// block of the fixed Huffman codes, with matches only at distance 1 (a run
// of one colour) and at one more distance the caller names (the row above
// in a picture). Flat-shaded frames shrink to a few per cent of their size.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <vector>

namespace deflate {

// The deflate stream (RFC 1951) of `raw`; `row` is the second distance
// tried for matches (0: runs only).
std::vector<uint8_t> compress(const std::vector<uint8_t>& raw, size_t row);

} // namespace deflate
