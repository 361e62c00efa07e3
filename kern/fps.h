// The frame-rate meter, and the line the "fps" command writes.
#pragma once
#include <stdint.h>
#include "kern/math.h"

namespace kern {

// Counts one frame (the loop calls it once a frame). Once a second of the
// clock has passed since the last latch, latches the frames per second over
// that stretch. Without a measured clock rate nothing is latched.
void Fps_Frame();
// The last rate latched; 0 until a whole second has been measured.
uint32_t Fps_Latest();
// `frames` frames in `elapsed` counts of a clock of `rate` counts a second,
// as frames per second rounded to the nearest whole number.
uint32_t frames_per_second(uint32_t frames, uint64_t elapsed, uint64_t rate);

// Room for the longest line: ten digits of rate, three coordinates of
// seven digits, sign and decimal, two angles of five characters.
const int FPS_LINE_BYTES = 96;
const int FIXED_TEXT_BYTES = 16;

// "70 fps, x 0.0 y 0.0 z -4096.0, pitch 0 yaw 0": the coordinates with one
// decimal, the angles as the steps of their direction, -4096 to 4095.
void fps_line(uint32_t fps, Vec3 position, int32_t pitch, int32_t yaw, char line[FPS_LINE_BYTES]);
// One decimal, truncated toward zero; a negative value keeps its sign even
// where the digits are all zero (-0.0).
char* fixed_text(Fixed value, char text[FIXED_TEXT_BYTES]);

// For tests: back to the state at load, before any set-up.
void Fps_Reset();

} // namespace kern
