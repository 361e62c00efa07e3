// The PS/2 keyboard (scancode set 1): key states for the camera (key mode)
// or a ring of typed characters for the console (character mode).
//
// KeyboardInterrupt runs in interrupt context; everything else in the frame
// loop. Each shared word has one writer.
#pragma once
#include <stdint.h>

namespace kern {

// Set-1 make codes the kernel uses.
enum : uint32_t {
    KEY_ESCAPE = 0x01,
    KEY_Q = 0x10, KEY_W = 0x11, KEY_E = 0x12, KEY_I = 0x17,
    KEY_A = 0x1E, KEY_S = 0x1F, KEY_D = 0x20,
    KEY_J = 0x24, KEY_K = 0x25, KEY_L = 0x26,
    KEY_BACKQUOTE = 0x29,
};

// Characters of the extended keys (0xE0 then the code) that character mode
// queues; above ASCII, so that no table entry can stand for them.
enum : uint8_t {
    CH_UP = 0x80, CH_DOWN = 0x81, CH_PAGE_UP = 0x82, CH_PAGE_DOWN = 0x83,
};

void KeyboardInterrupt(uint8_t scancode);
void InitKeyboard();
// Once a frame, last: snapshots the keys for edges, and marks the keys
// pressed since the snapshot before, held or not, as tapped.
void UpdateKeyboard();
// Non-zero while the key is held, and for the one frame after a snapshot
// that saw it pressed: a press and release between two frames count once.
uint32_t GetKey(uint32_t scancode);
uint32_t GetKeyDown(uint32_t scancode);
uint32_t GetKeyUp(uint32_t scancode);
void ASCIIMode(uint32_t on);
uint8_t Keyboard_GetCh();

// For tests: back to the state at load, before any set-up.
void Keyboard_Reset();

} // namespace kern
