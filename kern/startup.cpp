// The kernel's modules in start-up order, and the steps of its frame.
#include "kern/startup.h"
#include "kern/camera.h"
#include "kern/clock.h"
#include "kern/command.h"
#include "kern/console.h"
#include "kern/fps.h"
#include "kern/idt.h"
#include "kern/keyboard.h"
#include "kern/memory.h"
#include "kern/redraw.h"
#include "kern/serial.h"
#include "kern/texture.h"
#include "kern/timer.h"
#include "kern/video/font.h"
#include "kern/video/pipeline.h"
#include "kern/video/textblock.h"
#include "kern/video/video.h"

namespace kern {

// When a module is set up: before the timers (the console before anything
// writes a line, the command table before anything registers a command),
// the timers and the frame clock with interrupts still off, the interrupt
// table (interrupts on from there), then the rest. A module set up by
// another one, or never, has only its reset.
enum Stage { EARLY, TIMERS, INTERRUPTS, LATE, NOT_SET_UP };

struct Module {
    Stage stage;
    void (*init)();
    void (*reset)();   // back to the state at load, for tests
};

static void serial_init() { Serial_Initialize(); }

// The allocator reports on the console, which it comes before.
static void memory_init()
{
    Mem_EarlyInit();
    Mem_SetOutput(Console_WriteLine);
}

// The registry answers on the console too.
static void command_init()
{
    Command_SetOutput(Console_WriteLine);
    Command_Init();
}

// One row a module: adding a module is its source file and a row here.
static const Module modules[] = {
    {EARLY, serial_init, Serial_Reset},
    {EARLY, memory_init, Mem_Reset},
    {EARLY, LoadFont, nullptr},
    {EARLY, Console_Init, Console_Reset},   // the input line and its echo with it
    {EARLY, command_init, Command_Reset},
    {TIMERS, InitTimer, Timer_Reset},
    {TIMERS, Clock_Init, Clock_Reset},       // frames are paced by it
    {INTERRUPTS, idt_init, nullptr},
    {INTERRUPTS, Serial_EnableReceive, nullptr},
    {LATE, InitKeyboard, Keyboard_Reset},
    {LATE, Texture_Init, Texture_Reset},
    {NOT_SET_UP, nullptr, Fps_Reset},
    {NOT_SET_UP, nullptr, Pipeline_Reset},
    {NOT_SET_UP, nullptr, Video_Reset},
    {NOT_SET_UP, nullptr, Raster_Reset},     // the rows it fills
    {NOT_SET_UP, nullptr, Rows_Reset},       // the back buffer's rows as drawn and shown
    {NOT_SET_UP, nullptr, TextBlock_Reset},  // the console's rows as painted
    {NOT_SET_UP, nullptr, Redraw_Reset},     // the scene the last frame drew
    {NOT_SET_UP, nullptr, Camera_Reset},
};

static void start_stage(Stage stage)
{
    for (const Module& m : modules)
        if (m.stage == stage)
            m.init();
}

void start_modules()
{
    start_stage(EARLY);
    start_stage(LATE);
}

void start_up()
{
    start_stage(EARLY);
    start_stage(TIMERS);
    start_stage(INTERRUPTS);
    start_stage(LATE);
}

void reset_modules()
{
    for (const Module& m : modules)
        if (m.reset != nullptr)
            m.reset();
}

// The back buffer is cleared as the scene is drawn (Redraw_Frame), once
// the console has moved: only what the last frame drew, where the scene
// changed.
void frame_begin()
{
    UpdateTimer();
    Console_Update();
}

void frame_draw(const Triangle* scene, int count, Vec3 position, int32_t pitch, int32_t yaw)
{
    set_camera_rotation(pitch, yaw, 0);
    set_camera_position(position.x, position.y, position.z);
    set_model_offset(0, 0, 0);
    Redraw_Frame(scene, count, position, pitch, yaw);
}

void frame_show()
{
    Redraw_Show();
    Fps_Frame();
    UpdateKeyboard();
}

void frame_end()
{
    WaitForVBlank();
    frame_show();
}

} // namespace kern
