// The kernel's modules back to their load-time state before each test.
#include "fresh_state.h"
#include "kern/ckern.h"
#include "kern/clock.h"
#include "kern/command.h"
#include "kern/console.h"
#include "kern/fps.h"
#include "kern/keyboard.h"
#include "kern/memory.h"
#include "kern/pipeline.h"
#include "kern/serial.h"
#include "kern/texture.h"
#include "kern/timer.h"
#include "kern/video.h"

void testing_support::reset_modules()
{
    kern::Kmain_Reset();
    kern::Clock_Reset();
    kern::Command_Reset();
    kern::Console_Reset();
    kern::Fps_Reset();
    kern::Keyboard_Reset();
    kern::Mem_Reset();
    kern::Pipeline_Reset();
    kern::Serial_Reset();
    kern::Texture_Reset();
    kern::Timer_Reset();
    kern::Video_Reset();
}
