// The console commands. The table is the one list of what can be typed;
// each handler does its work through the module it belongs to and writes
// its answer on the console.
#include "kern/commands.h"
#include "kern/camera.h"
#include "kern/command.h"
#include "kern/console.h"
#include "kern/fps.h"
#include "kern/memory.h"
#include "kern/video/pipeline.h"

namespace kern {

struct Switch {
    void (*set)(int on);
    int PipelineSwitches::*state;
    const char* enabled;
    const char* disabled;
};

static const Switch switches[SWITCH_COUNT] = {
    {cull_back, &PipelineSwitches::cull, "Backface culling ENABLED", "Backface culling DISABLED"},
    {model_transform, &PipelineSwitches::model, "Model transform matrix ENABLED", "Model transform matrix DISABLED"},
    {view_transform, &PipelineSwitches::view, "View vector/matrix transform ENABLED",
     "View vector/matrix transform DISABLED"},
    {projection_transform, &PipelineSwitches::projection, "Perspective projection ENABLED",
     "Perspective projection DISABLED"},
};

void Commands_SetSwitch(PipelineSwitch which, int on)
{
    const Switch& s = switches[which];
    s.set(on);
    Console_WriteLine(on ? s.enabled : s.disabled);
}

// A switch command turns its stage off if it is on and on if it is off.
static uint32_t flip(PipelineSwitch which)
{
    Commands_SetSwitch(which, !(Pipeline_Switches().*switches[which].state));
    return 0;
}

static uint32_t _cmd_cull(uint32_t, uint32_t) { return flip(SWITCH_CULL); }
static uint32_t _cmd_model(uint32_t, uint32_t) { return flip(SWITCH_MODEL); }
static uint32_t _cmd_view(uint32_t, uint32_t) { return flip(SWITCH_VIEW); }
static uint32_t _cmd_perspective(uint32_t, uint32_t) { return flip(SWITCH_PROJECTION); }

static uint32_t _cmd_help(uint32_t, uint32_t)
{
    Console_WriteLine("Nobody is coming to help you.");
    return 0;
}

static uint32_t _cmd_clear(uint32_t, uint32_t)
{
    Console_Clear();
    return 0;
}

uint32_t testcmd(uint32_t, uint32_t)
{
    Console_WriteLine("Hello!");
    return 0;
}

void Commands_FlightEnded() { Console_WriteLine("Camera orbit DISABLED"); }

static uint32_t _cmd_orbit(uint32_t, uint32_t)
{
    if (Camera_ToggleOrbit())
        Console_WriteLine("Camera orbit ENABLED");
    else
        Commands_FlightEnded();
    return 0;
}

// Home ends the flight too: the camera stays where it starts.
static uint32_t _cmd_home(uint32_t, uint32_t)
{
    if (Camera_Orbiting())
        Commands_FlightEnded();
    Camera_Home();
    Console_WriteLine("Camera back at the start");
    return 0;
}

static uint32_t _cmd_fps(uint32_t, uint32_t)
{
    Camera c = Camera_Now();
    char line[FPS_LINE_BYTES];
    fps_line(Fps_Latest(), c.position, c.pitch, c.yaw, line);
    Console_WriteLine(line);
    return 0;
}

struct CommandEntry {
    const char* name;
    CommandHandler handler;
};

// In the order they were always registered: a name whose hash another
// shares is found as the earlier one.
static const CommandEntry commands[] = {
    {"help", _cmd_help},
    {"clear", _cmd_clear},
    {"meminfo", mem_print_info},
    {"memregion", mem_print_regions},
    {"test", testcmd},
    {"cull", _cmd_cull},
    {"model", _cmd_model},
    {"view", _cmd_view},
    {"perspective", _cmd_perspective},
    {"home", _cmd_home},
    {"fps", _cmd_fps},
    {"orbit", _cmd_orbit},
};

void Commands_RegisterAll()
{
    for (const CommandEntry& c : commands)
        Command_Register(c.name, c.handler);
}

} // namespace kern
