// Indexed-colour PNG files of 8-bit palette images, for looking at frames and
// keeping golden images. Written with stored (uncompressed) deflate blocks;
// the reader takes exactly what the writer makes.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "boot/palette.h"

namespace png {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;   // palette indices, row-major
};

// Writes `image` with the standard VGA palette widened to 8 bits as the
// display shows it. Returns false on an I/O error.
bool write_indexed(const std::string& path, const Image& image);

// Reads a file made by write_indexed; false if it is not one.
bool read_indexed(const std::string& path, Image& image);

} // namespace png
