// The kernel's main routine: start-up, the scene, the frame loop.
#include "kern/ckern.h"
#include "kern/camera.h"
#include "kern/commands.h"
#include "kern/console.h"
#include "kern/startup.h"
#include "kern/video/pipeline.h"

namespace kern {

const char REMINDER[] = "REMEMBER! You only have 4MiB for your kernel before you clobber the stack!\n"
                        "Also 8MiB of allocable memory after the stack!";

void start_scene(Triangle scene[SCENE_TRIANGLES])
{
    build_scene(scene);
    for (int s = 0; s < SWITCH_COUNT; s++)
        Commands_SetSwitch(static_cast<PipelineSwitch>(s), 1);

    Camera_Home();   // each frame hands the camera to the pipeline

    Commands_RegisterAll();
    Console_WriteLine(REMINDER);
}

void frame(const Triangle* scene)
{
    frame_begin();
    if (Camera_Steer(read_camera_keys()))
        Commands_FlightEnded();
    Camera c = Camera_Now();
    frame_draw(scene, SCENE_TRIANGLES, c.position, c.pitch, c.yaw);
    frame_end();
}

} // namespace kern

using namespace kern;

void kmain()
{
    start_up();
    Triangle scene[SCENE_TRIANGLES];
    start_scene(scene);
    for (;;)
        frame(scene);
}
