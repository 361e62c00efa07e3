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

void start_modules()
{
    Serial_Initialize();
    Mem_EarlyInit();
    LoadFont();
    Console_Init();
    Command_Init();
    InitKeyboard();
    Texture_Init();
    Mem_LateInit();
}

void start_interrupts()
{
    InitTimer();
    Clock_Init();   // frames are paced by it; measured with interrupts still off
    idt_init();     // interrupts on from here
    Serial_EnableReceive();
}

void start_up()
{
    start_modules();
    start_interrupts();
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
