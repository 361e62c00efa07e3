#include "png.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "deflate.h"

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

// zlib stream of one deflate block; `row` bytes back is the row above.
std::vector<uint8_t> zlib_compressed(const std::vector<uint8_t>& raw, size_t row)
{
    std::vector<uint8_t> z = {0x78, 0x01};
    std::vector<uint8_t> d = deflate::compress(raw, row);
    z.insert(z.end(), d.begin(), d.end());
    put32(z, adler32(raw));
    return z;
}

// A rectangle of a picture, in pixels.
struct Area {
    int x, y, width, height;
};

Area whole(const Image& image) { return Area{0, 0, image.width, image.height}; }

// The rows of `area`, each after its filter byte (none).
std::vector<uint8_t> filtered_rows(const Image& image, Area area)
{
    std::vector<uint8_t> raw;
    for (int y = area.y; y < area.y + area.height; y++) {
        raw.push_back(0);
        const uint8_t* row = &image.pixels[static_cast<size_t>(y) * image.width + area.x];
        raw.insert(raw.end(), row, row + area.width);
    }
    return raw;
}

std::vector<uint8_t> compressed_rows(const Image& image, Area area)
{
    return zlib_compressed(filtered_rows(image, area), static_cast<size_t>(area.width) + 1);
}

// The signature, the header and the palette.
std::vector<uint8_t> file_start(const Image& image)
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
    return out;
}

bool write_file(const std::string& path, std::vector<uint8_t>& out)
{
    chunk(out, "IEND", {});
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(out.data()), out.size());
    return static_cast<bool>(f);
}

// The smallest rectangle holding every pixel that differs between two
// pictures of one size; one pixel where none does (a frame is never empty).
Area changed_area(const Image& before, const Image& after)
{
    int x0 = after.width, y0 = after.height, x1 = -1, y1 = -1;
    for (int y = 0; y < after.height; y++)
        for (int x = 0; x < after.width; x++) {
            size_t i = static_cast<size_t>(y) * after.width + x;
            if (before.pixels[i] == after.pixels[i])
                continue;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
    if (x1 < 0)
        return Area{0, 0, 1, 1};
    return Area{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

// fcTL: the frame's rectangle and delay; the rectangle is left as drawn
// for the next frame, and replaces what was under it.
std::vector<uint8_t> frame_control(uint32_t sequence, Area area, uint16_t delay_num, uint16_t delay_den)
{
    std::vector<uint8_t> c;
    put32(c, sequence);
    put32(c, static_cast<uint32_t>(area.width));
    put32(c, static_cast<uint32_t>(area.height));
    put32(c, static_cast<uint32_t>(area.x));
    put32(c, static_cast<uint32_t>(area.y));
    c.insert(c.end(), {static_cast<uint8_t>(delay_num >> 8), static_cast<uint8_t>(delay_num),
                       static_cast<uint8_t>(delay_den >> 8), static_cast<uint8_t>(delay_den)});
    c.push_back(0);   // dispose: none
    c.push_back(0);   // blend: source
    return c;
}

} // namespace

bool write_indexed(const std::string& path, const Image& image)
{
    std::vector<uint8_t> out = file_start(image);
    chunk(out, "IDAT", zlib_stored(filtered_rows(image, whole(image))));
    return write_file(path, out);
}

bool write_compressed(const std::string& path, const Image& image)
{
    std::vector<uint8_t> out = file_start(image);
    chunk(out, "IDAT", compressed_rows(image, whole(image)));
    return write_file(path, out);
}

bool write_animated(const std::string& path, const std::vector<Image>& frames, uint16_t delay_num,
                    uint16_t delay_den)
{
    if (frames.empty())
        return false;
    std::vector<uint8_t> out = file_start(frames[0]);
    std::vector<uint8_t> actl;
    put32(actl, static_cast<uint32_t>(frames.size()));
    put32(actl, 0);   // plays: for ever
    chunk(out, "acTL", actl);

    uint32_t sequence = 0;
    for (size_t i = 0; i < frames.size(); i++) {
        Area area = i == 0 ? whole(frames[0]) : changed_area(frames[i - 1], frames[i]);
        chunk(out, "fcTL", frame_control(sequence++, area, delay_num, delay_den));
        std::vector<uint8_t> data = compressed_rows(frames[i], area);
        if (i == 0) {
            chunk(out, "IDAT", data);   // the first frame is also the picture still viewers show
            continue;
        }
        std::vector<uint8_t> fdat;
        put32(fdat, sequence++);
        fdat.insert(fdat.end(), data.begin(), data.end());
        chunk(out, "fdAT", fdat);
    }
    return write_file(path, out);
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
