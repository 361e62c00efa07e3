#include "png.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace png {
namespace {

const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const size_t STORED_BLOCK_MAX = 65535;

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0xFFFFFFFF)
{
    for (size_t i = 0; i < n; i++) {
        crc ^= data[i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return crc;
}

uint32_t adler32(const std::vector<uint8_t>& data)
{
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(&out[start], out.size() - start) ^ 0xFFFFFFFF);
}

// zlib stream of stored deflate blocks.
std::vector<uint8_t> zlib_stored(const std::vector<uint8_t>& raw)
{
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t at = 0;
    do {
        size_t n = std::min(STORED_BLOCK_MAX, raw.size() - at);
        bool last = at + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
        at += n;
    } while (at < raw.size());
    put32(z, adler32(raw));
    return z;
}

bool unstore(const std::vector<uint8_t>& z, std::vector<uint8_t>& raw)
{
    size_t at = 2;
    for (;;) {
        if (at + 5 > z.size())
            return false;
        uint8_t header = z[at];
        size_t n = z[at + 1] | z[at + 2] << 8;
        if ((header & 0x06) != 0 || at + 5 + n > z.size())
            return false;   // only stored blocks are understood
        raw.insert(raw.end(), z.begin() + at + 5, z.begin() + at + 5 + n);
        at += 5 + n;
        if (header & 1)
            return true;
    }
}

} // namespace

bool write_indexed(const std::string& path, const Image& image)
{
    std::vector<uint8_t> out(SIGNATURE, SIGNATURE + 8);
    std::vector<uint8_t> ihdr;
    put32(ihdr, image.width);
    put32(ihdr, image.height);
    ihdr.insert(ihdr.end(), {8, 3, 0, 0, 0});   // 8-bit, palette, deflate, filter 0, no interlace
    chunk(out, "IHDR", ihdr);

    std::vector<uint8_t> plte;
    for (const Rgb6& c : vga_palette.colour) {
        plte.push_back(dac_to_8bit(c.r));
        plte.push_back(dac_to_8bit(c.g));
        plte.push_back(dac_to_8bit(c.b));
    }
    chunk(out, "PLTE", plte);

    std::vector<uint8_t> raw;
    for (int y = 0; y < image.height; y++) {
        raw.push_back(0);   // filter: none
        const uint8_t* row = &image.pixels[static_cast<size_t>(y) * image.width];
        raw.insert(raw.end(), row, row + image.width);
    }
    chunk(out, "IDAT", zlib_stored(raw));
    chunk(out, "IEND", {});

    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(out.data()), out.size());
    return static_cast<bool>(f);
}

bool read_indexed(const std::string& path, Image& image)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> in((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (in.size() < 8 || std::memcmp(in.data(), SIGNATURE, 8) != 0)
        return false;
    std::vector<uint8_t> z;
    for (size_t at = 8; at + 12 <= in.size();) {
        uint32_t n = get32(&in[at]);
        if (at + 12 + n > in.size())
            return false;
        const uint8_t* type = &in[at + 4];
        const uint8_t* data = &in[at + 8];
        if (std::memcmp(type, "IHDR", 4) == 0) {
            image.width = static_cast<int>(get32(data));
            image.height = static_cast<int>(get32(data + 4));
            if (data[8] != 8 || data[9] != 3 || data[12] != 0)
                return false;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            z.insert(z.end(), data, data + n);
        }
        at += 12 + n;
    }
    std::vector<uint8_t> raw;
    size_t stride = static_cast<size_t>(image.width) + 1;
    if (image.width <= 0 || !unstore(z, raw) || raw.size() != stride * image.height)
        return false;
    image.pixels.clear();
    for (int y = 0; y < image.height; y++) {
        if (raw[y * stride] != 0)
            return false;
        image.pixels.insert(image.pixels.end(), raw.begin() + y * stride + 1,
                            raw.begin() + (y + 1) * stride);
    }
    return true;
}

} // namespace png
