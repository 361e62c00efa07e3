// Renders the built-in cube for one camera through the kernel's pipeline and
// writes the frame as a PNG with the standard VGA palette.
//
//   render_scene [--pos X,Y,Z] [--pitch P] [--yaw Y] [--switches CMVP]
//                [--scale N] -o OUTPUT.png
//
// X, Y, Z are in real units (the kernel's Fixed values divided by 4096, e.g.
// 0,0,-4096 is the start camera); P and Y in angle steps, 8192 a turn.
// CMVP are four digits, 0 or 1: back-face cull, model, view, projection.
// SCALE enlarges every pixel to an N x N block (default 1).
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "png.h"
#include "render.h"

namespace {

const int MAX_SCALE = 16;
const double FIXED_RANGE = 524288.0;

struct Options {
    render::View view = render::start_view();
    render::Switches switches = render::all_on();
    int scale = 1;
    std::string output;
};

bool parse_real(const char* text, kern::Fixed& out)
{
    char* end = nullptr;
    double v = strtod(text, &end);
    if (end == text || *end != 0 || !(v > -FIXED_RANGE && v < FIXED_RANGE))
        return false;
    out = static_cast<kern::Fixed>(lround(v * kern::FIXED_ONE));
    return true;
}

bool parse_position(const char* text, kern::Vec3& out)
{
    std::string s(text);
    size_t a = s.find(','), b = a == std::string::npos ? a : s.find(',', a + 1);
    if (b == std::string::npos)
        return false;
    return parse_real(s.substr(0, a).c_str(), out.x) &&
           parse_real(s.substr(a + 1, b - a - 1).c_str(), out.y) &&
           parse_real(s.substr(b + 1).c_str(), out.z);
}

bool parse_int(const char* text, long min, long max, long& out)
{
    char* end = nullptr;
    out = strtol(text, &end, 10);
    return end != text && *end == 0 && out >= min && out <= max;
}

bool parse_switches(const char* text, render::Switches& out)
{
    if (strlen(text) != 4 || strspn(text, "01") != 4)
        return false;
    out = render::Switches{text[0] - '0', text[1] - '0', text[2] - '0', text[3] - '0'};
    return true;
}

bool parse_option(const char* name, const char* value, Options& o)
{
    long n = 0;
    if (strcmp(name, "--pos") == 0)
        return parse_position(value, o.view.position);
    if (strcmp(name, "--pitch") == 0 && parse_int(value, INT32_MIN, INT32_MAX, n)) {
        o.view.pitch = static_cast<int32_t>(n);
        return true;
    }
    if (strcmp(name, "--yaw") == 0 && parse_int(value, INT32_MIN, INT32_MAX, n)) {
        o.view.yaw = static_cast<int32_t>(n);
        return true;
    }
    if (strcmp(name, "--switches") == 0)
        return parse_switches(value, o.switches);
    if (strcmp(name, "--scale") == 0 && parse_int(value, 1, MAX_SCALE, n)) {
        o.scale = static_cast<int>(n);
        return true;
    }
    if (strcmp(name, "-o") == 0) {
        o.output = value;
        return true;
    }
    return false;
}

// On stdout with status 0 when asked for, on stderr with status 2 otherwise.
int usage(const char* program, bool asked = false)
{
    fprintf(asked ? stdout : stderr,
            "usage: %s [--pos X,Y,Z] [--pitch P] [--yaw Y] [--switches CMVP] [--scale N] -o OUTPUT.png\n",
            program);
    return asked ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; i += 2) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
            return usage(argv[0], true);
        if (i + 1 >= argc || !parse_option(argv[i], argv[i + 1], o)) {
            fprintf(stderr, "%s: bad option %s\n", argv[0], argv[i]);
            return usage(argv[0]);
        }
    }
    if (o.output.empty())
        return usage(argv[0]);
    if (!render::map_back_buffer()) {
        fprintf(stderr, "%s: cannot map the back buffer\n", argv[0]);
        return 1;
    }
    render::Frame frame = render::render_frame(o.view, o.switches);
    if (!png::write_indexed(o.output, render::enlarged(frame, o.scale))) {
        fprintf(stderr, "%s: cannot write %s\n", argv[0], o.output.c_str());
        return 1;
    }
    return 0;
}
