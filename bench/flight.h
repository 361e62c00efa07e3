// The benchmark's flight: the demo flight round the cube, frame by frame,
// with the console closed, opening, open while commands are typed and run,
// and closing; the very same frames on the host and in the QEMU image.
#pragma once
#include <stdint.h>

#include "kern/camera.h"
#include "kern/video/raster.h"

namespace bench {

const int FLIGHT_FRAMES = 260;

// What the console is doing in a frame, as it stands once the frame is drawn.
enum ConsoleState { CONSOLE_CLOSED, CONSOLE_OPENING, CONSOLE_OPEN, CONSOLE_CLOSING, CONSOLE_STATES };
const char* console_state_name(ConsoleState state);
ConsoleState console_state();

// The camera of frame n: the demo flight's path, standing still from the
// moment the console opens until the orbit command is typed in it.
kern::Camera flight_camera(int n);

// The keys of frame n, handed over as the keyboard's interrupt would: the
// backquote, then one key every other frame (typed commands, editing,
// paging back), then, with the camera flying again, Escape.
void flight_keys(int n);

// Frame n of the flight as the frame loop runs it, minus the wait for the
// retrace; its keys (flight_keys) are the caller's to hand over first.
void flight_frame(const kern::Triangle cube[], int n);
// The same up to the copy to display memory (kern::frame_show).
void flight_draw(const kern::Triangle cube[], int n);

} // namespace bench
