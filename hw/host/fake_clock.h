// Fake time for the host double: one virtual clock, in nanoseconds, behind
// channel 2 of the interval timer (mode 2, read back through its latch; its
// gate on port 0x61) and the VGA's retrace bit (port 0x3DA). Every read of
// these moves the clock on, as polling takes time; a test moves it on by
// hand for a frame's work.
//
//   hwsim::clock_attach({});                   // flipping retrace bit
//   kern::Clock_Init();
//   hwsim::clock_advance(5000000);             // 5 ms of drawing
#pragma once
#include <stdint.h>

namespace hwsim {

struct ClockOptions {
    uint32_t ns_per_read = 1000;
    // A display that times its retrace like a real one (bit 3 set for the
    // first retrace_ns of every refresh_ns); otherwise bit 3 flips on every
    // read, as emulated VGAs do.
    bool timed_retrace = false;
    uint64_t refresh_ns = 14268477;   // 70.086 Hz
    uint64_t retrace_ns = 63555;      // two lines of 31.47 kHz
};

void clock_attach(ClockOptions options);
uint64_t clock_ns();
void clock_advance(uint64_t ns);
// The refresh that `ns` falls in: retrace n begins at n * refresh_ns.
uint64_t clock_refresh_index(uint64_t ns);
// Timer clocks (1193182 Hz) in `ns`.
uint64_t clock_timer_clocks(uint64_t ns);

} // namespace hwsim
