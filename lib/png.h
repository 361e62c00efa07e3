// Indexed-colour PNG files of 8-bit palette images, for looking at frames and
// keeping golden images. write_indexed stores the pixels uncompressed and
// the reader takes exactly what it makes; the pictures kept in the project
// (a still, an animation) are compressed.
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

// The same picture compressed.
bool write_compressed(const std::string& path, const Image& image);

// An animated PNG of same-size frames, each shown delay_num / delay_den
// seconds, looping for ever; a viewer without animation shows the first.
// Each later frame holds only the rectangle that changed since the one
// before.
bool write_animated(const std::string& path, const std::vector<Image>& frames, uint16_t delay_num,
                    uint16_t delay_den);

// Reads a file made by write_indexed; false if it is not one.
bool read_indexed(const std::string& path, Image& image);

} // namespace png
