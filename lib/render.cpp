// One frame of the cube through the kernel's own code.
#include "render.h"

#include <string.h>

#include "hw/host/fixed_ranges.h"
#include "hw/host/hw_host.h"
#include "kern/scene.h"
#include "kern/video/pipeline.h"

namespace render {

namespace {

const int32_t START_Z = -4096 * kern::FIXED_ONE;

} // namespace

View start_view() { return View{kern::Vec3{0, 0, START_Z}, 0, 0}; }

Switches all_on() { return Switches{1, 1, 1, 1}; }

bool map_back_buffer() { return hwsim::map_fixed_ranges(); }

Frame render_frame(const View& view, const Switches& switches)
{
    // The console mirrors the switch lines to the serial port; no need to
    // keep a record of those port accesses.
    hwsim::set_tracing(false);
    kern::cull_back(switches.cull);
    kern::model_transform(switches.model);
    kern::view_transform(switches.view);
    kern::projection_transform(switches.projection);

    kern::Triangle scene[kern::SCENE_TRIANGLES];
    kern::build_scene(scene);
    kern::ClearScreen();
    kern::set_camera_rotation(view.pitch, view.yaw, 0);
    kern::set_camera_position(view.position.x, view.position.y, view.position.z);
    kern::set_model_offset(0, 0, 0);
    kern::draw_buffer(scene, kern::SCENE_TRIANGLES);

    Frame frame;
    memcpy(frame.data(), kern::back_buffer(), frame.size());
    return frame;
}

png::Image enlarged(const Frame& frame, int scale)
{
    png::Image image;
    image.width = kern::SCREEN_WIDTH * scale;
    image.height = kern::SCREEN_HEIGHT * scale;
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            image.pixels[static_cast<size_t>(y) * image.width + x] =
                frame[(y / scale) * kern::SCREEN_WIDTH + x / scale];
    return image;
}

} // namespace render
