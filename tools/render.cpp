// One frame of the cube through the kernel's own code.
#include "render.h"

#include <errno.h>
#include <string.h>
#include <sys/mman.h>

#include "hw/host/hw_host.h"
#include "kern/ckern.h"
#include "kern/pipeline.h"

namespace render {

namespace {

const int32_t START_Z = -4096 * kern::FIXED_ONE;

// Whole pages around the back buffer.
const uintptr_t PAGE = 4096;
const uintptr_t MAP_BASE = kern::BACK_BUFFER & ~(PAGE - 1);
const size_t MAP_LENGTH = (kern::SCREEN_BYTES + PAGE - 1) & ~(PAGE - 1);

} // namespace

View start_view() { return View{kern::Vec3{0, 0, START_Z}, 0, 0}; }

Switches all_on() { return Switches{1, 1, 1, 1}; }

bool map_back_buffer()
{
    void* want = reinterpret_cast<void*>(MAP_BASE);
    void* got = mmap(want, MAP_LENGTH, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (got == want)
        return true;
    if (got != MAP_FAILED)
        munmap(got, MAP_LENGTH);   // a Linux without the no-replace flag put it elsewhere
    return got == MAP_FAILED && errno == EEXIST;
}

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

} // namespace render
