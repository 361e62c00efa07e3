// The demo flight (the kernel's command "orbit") from the start camera,
// rendered on the host through the kernel's own pipeline, for the README:
//
//   render_flight OUTPUT_DIR
//
// writes OUTPUT_DIR/flight.png, an animated PNG of one whole turn round the
// cube (every FRAME_EVERY-th frame of the flight, shown as long as the
// kernel shows that many), OUTPUT_DIR/flight_still.png, one frame of it, and
// OUTPUT_DIR/flight_cameras.txt, the camera of each frame as render_scene's
// options, so that any frame can be rendered again on its own.
#include <stdio.h>
#include <string>
#include <vector>

#include "kern/camera.h"
#include "png.h"
#include "render.h"

namespace {

const int FRAME_EVERY = 4;
const int FRAMES = 8192 / (kern::ORBIT_STEP * FRAME_EVERY);   // one turn, so the loop is seamless
const int KERNEL_FRAMES_A_SECOND = 70;
const int STILL_FRAME = FRAMES / 8;                             // an eighth of a turn: two faces and the top
const int SCALE = 2;

// Real units printed so that render_scene reads back the very same Fixed.
void print_camera(FILE* out, const kern::Camera& c)
{
    const double one = kern::FIXED_ONE;
    fprintf(out, "--pos %.17g,%.17g,%.17g --pitch %d --yaw %d --scale %d\n", c.position.x / one,
            c.position.y / one, c.position.z / one, static_cast<int>(c.pitch), static_cast<int>(c.yaw), SCALE);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    if (!render::map_back_buffer()) {
        fprintf(stderr, "%s: cannot map the back buffer\n", argv[0]);
        return 1;
    }
    FILE* cameras = fopen((dir + "/flight_cameras.txt").c_str(), "w");
    if (cameras == nullptr) {
        fprintf(stderr, "%s: cannot write in %s\n", argv[0], dir.c_str());
        return 1;
    }
    std::vector<png::Image> frames;
    for (int i = 0; i < FRAMES; i++) {
        kern::Camera c = kern::orbit_camera(i * FRAME_EVERY * kern::ORBIT_STEP);
        print_camera(cameras, c);
        frames.push_back(render::enlarged(render::render_frame({c.position, c.pitch, c.yaw}, render::all_on()), SCALE));
    }
    bool written = fclose(cameras) == 0 &&
                   png::write_animated(dir + "/flight.png", frames, FRAME_EVERY, KERNEL_FRAMES_A_SECOND) &&
                   png::write_compressed(dir + "/flight_still.png", frames[STILL_FRAME]);
    if (!written) {
        fprintf(stderr, "%s: cannot write the pictures in %s\n", argv[0], dir.c_str());
        return 1;
    }
    return 0;
}
