// Fake 8042 keyboard controller for the host double: bytes queued behind the
// data port 0x60, status bit 0 (output buffer full) on port 0x64 while any
// wait. Reading port 0x60 takes the oldest; an empty queue repeats the last.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace hwsim {

void kbc_attach(const std::vector<uint8_t>& waiting);
size_t kbc_waiting();

} // namespace hwsim
