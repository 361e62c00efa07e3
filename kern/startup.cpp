// The kernel's start-up and the steps of its frame, apart from the scene
// and the camera (ckern.cpp) so the benchmark kernel runs the same ones.
#include "kern/startup.h"
#include "kern/clock.h"
#include "kern/command.h"
#include "kern/console.h"
#include "kern/font.h"
#include "kern/fps.h"
#include "kern/idt.h"
#include "kern/keyboard.h"
#include "kern/memory.h"
#include "kern/pipeline.h"
#include "kern/serial.h"
#include "kern/texture.h"
#include "kern/timer.h"
#include "kern/video.h"

namespace kern {

// The start-up's order: the console before anything writes a line, the
// command table before anything registers a command, the timer and the
// frame clock before interrupts go on, the keyboard cleared after.
static void start_before_interrupts()
{
    Serial_Initialize();
    Mem_EarlyInit();
    LoadFont();
    Console_Init();
    Command_Init();
}

static void start_timers()
{
    InitTimer();
    Clock_Init();   // frames are paced by it; started with interrupts still off
}

static void start_after_interrupts()
{
    InitKeyboard();
    Texture_Init();
    Mem_LateInit();
}

void start_interrupts()
{
    idt_init();     // interrupts on from here
    Serial_EnableReceive();
}

void start_modules()
{
    start_before_interrupts();
    start_after_interrupts();
}

void start_up()
{
    start_before_interrupts();
    start_timers();
    start_interrupts();
    start_after_interrupts();
}

void frame_begin()
{
    UpdateTimer();
    ClearScreen();
    Console_Update();
}

void frame_draw(const Triangle* scene, int count, Vec3 position, int32_t pitch, int32_t yaw)
{
    set_camera_rotation(pitch, yaw, 0);
    set_camera_position(position.x, position.y, position.z);
    set_model_offset(0, 0, 0);
    draw_buffer(scene, count);
    Console_Draw();
}

void frame_end()
{
    WaitForVBlank();
    Blit();
    Fps_Frame();
    UpdateKeyboard();
}

} // namespace kern
