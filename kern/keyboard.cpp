// The PS/2 keyboard in scancode set 1: a make code is the key number, the
// break code is the same number with bit 7 set.
#include "kern/keyboard.h"
#include "hw/hw.h"
#include "hw/machine.h"
#include "kern/ring.h"

namespace kern {

const uint8_t OUTPUT_FULL = 0x01;      // status bit 0: a byte waits in the output buffer
// More than the controller and the keyboard's own queue can hold.
const int KEYBOARD_DRAIN_LIMIT = 64;

const uint32_t KEY_SLOTS = 127;       // make codes 0x00-0x7E
const uint8_t BREAK_BIT = 0x80;
const uint8_t CODE_MASK = 0x7F;
const uint8_t NO_SLOT = 0x7F;         // 0x7F and 0xFF name no key
const uint8_t EXTENDED_PREFIX = 0xE0;
const uint32_t ASCII_CODES = 58;      // make codes 0x00-0x39

// Make code to character; letters lower case, no shift or caps handling.
static const uint8_t scancode_ascii[ASCII_CODES] = {
    0x01, 0x1B,                                         // error, Esc
    '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '-', '=',
    0x08, 0x09,                                         // Backspace, Tab
    'q', 'w', 'e', 'r', 't', 'y', 'u', 'i', 'o', 'p', '[', ']',
    0x0A, 0x01,                                         // Enter, Left Ctrl
    'a', 's', 'd', 'f', 'g', 'h', 'j', 'k', 'l', ';', '\'', '`',
    0x0F, '\\',                                         // Left Shift, backslash
    'z', 'x', 'c', 'v', 'b', 'n', 'm', ',', '.', '/',
    0x0F, '*', 0x01, ' ',                               // Right Shift, keypad *, Left Alt, Space
};

// Written by the interrupt side in key mode, cleared by the loop only after
// it has stored a non-zero asciimode (from then on the interrupt side leaves
// it alone).
static volatile uint32_t keys[KEY_SLOTS];
static uint32_t lastKeys[KEY_SLOTS];  // the loop's snapshot
// Presses (a make code of a released key) counted in key mode, by the
// interrupt side only: a press and its release between two frames leave
// keys[] as they were, but not this.
static volatile uint32_t presses[KEY_SLOTS];
// The loop's: presses as of the last snapshot, and which keys were pressed
// since the snapshot before, which then read held for one frame.
static uint32_t counted[KEY_SLOTS];
static uint32_t tapped[KEY_SLOTS];
// Keys the interrupt side pressed or released since the loop last looked,
// each as code | CHANGED_MARK (a ring byte of 0 reads as empty); where the
// ring was full, `changes_lost` has the loop look at every key instead.
const uint8_t CHANGED_MARK = 0x80;
static ByteRing changed;
static volatile uint32_t changes_lost;
// The loop's: the keys the next snapshot looks at again (tapped ones, whose
// tap runs out, and ones whose tap ran out, which the snapshot before still
// saw held), and the snapshot that last looked at and listed each key.
static uint8_t again[KEY_SLOTS];
static uint32_t again_count;
static uint32_t looked[KEY_SLOTS];
static uint32_t listed[KEY_SLOTS];
static uint32_t snapshot;
// The character ring: the interrupt side puts, Keyboard_GetCh takes.
static ByteRing chars;
static volatile uint32_t asciimode;
// Character mode only: the last byte was the extended prefix. Written only
// by the interrupt side.
static volatile uint32_t extended;

void Keyboard_Reset()
{
    for (uint32_t k = 0; k < KEY_SLOTS; k++) {
        keys[k] = 0;
        presses[k] = 0;
    }
    __builtin_memset(lastKeys, 0, sizeof lastKeys);
    __builtin_memset(counted, 0, sizeof counted);
    __builtin_memset(tapped, 0, sizeof tapped);
    ring_reset(chars);
    asciimode = 0;
    extended = 0;
    ring_reset(changed);
    changes_lost = 0;
    again_count = 0;
    __builtin_memset(looked, 0, sizeof looked);
    __builtin_memset(listed, 0, sizeof listed);
    snapshot = 0;
}

static void queue_char(uint8_t code)
{
    if (code < ASCII_CODES)
        ring_put(chars, scancode_ascii[code]);   // function, lock and keypad keys type nothing
}

// The four extended keys the console uses; any other extended key types
// as its twin without the prefix (keypad Enter as Enter, keypad / as /).
static uint8_t extended_char(uint8_t code)
{
    switch (code) {
    case 0x48: return CH_UP;
    case 0x50: return CH_DOWN;
    case 0x49: return CH_PAGE_UP;
    case 0x51: return CH_PAGE_DOWN;
    }
    return 0;
}

static void character(uint8_t scancode)
{
    if (scancode == EXTENDED_PREFIX) {
        extended = 1;
        return;
    }
    bool prefixed = extended != 0;
    extended = 0;
    if ((scancode & BREAK_BIT) != 0)
        return;
    uint8_t ch = prefixed ? extended_char(scancode) : 0;
    if (ch != 0)
        ring_put(chars, ch);
    else
        queue_char(scancode);
}

static void note_change(uint8_t code)
{
    if (ring_has_room(changed, 1))
        ring_put(changed, static_cast<uint8_t>(code | CHANGED_MARK));
    else
        changes_lost = 1;
}

// Key mode keeps taking the extended prefix as the release of slot 0x60
// and the code after it as an ordinary key.
void KeyboardInterrupt(uint8_t scancode)
{
    uint8_t code = scancode & CODE_MASK;
    if (code == NO_SLOT)
        return;
    if (asciimode != 0) {
        character(scancode);
        return;
    }
    extended = 0;
    if ((scancode & BREAK_BIT) != 0) {
        if (keys[code] != 0)
            note_change(code);
        keys[code] = 0;
        return;
    }
    if (keys[code] == 0) {
        presses[code] = presses[code] + 1;   // typematic repeats are no new press
        note_change(code);
    }
    keys[code] = 1;
}

void Keyboard_Read() { KeyboardInterrupt(inb_delayed(machine::KBC_DATA)); }

// A key pressed or released while the system loaded (interrupts off) leaves
// its byte in the controller, which holds its interrupt line up until the
// byte is read. Re-initialising the interrupt controllers forgets that
// request, and with no new edge on the line the keyboard would never
// interrupt again: whatever waits is read before interrupts go on. The
// bytes are dropped; the key states are cleared after this anyway.
void Keyboard_Drain()
{
    for (int i = 0; i < KEYBOARD_DRAIN_LIMIT; i++) {
        uint8_t status = inb_delayed(machine::KBC_STATUS);
        if (!(status & OUTPUT_FULL))
            return;
        inb_delayed(machine::KBC_DATA);
    }
}

// Presses made so far count as seen: none of them taps a key any more.
static void clear_keys()
{
    for (uint32_t i = 0; i < KEY_SLOTS; i++) {
        keys[i] = 0;
        lastKeys[i] = 0;
        counted[i] = presses[i];
        tapped[i] = 0;
    }
    again_count = 0;
}

void InitKeyboard() { clear_keys(); }

static uint32_t held(uint32_t i) { return keys[i] != 0 || tapped[i] != 0 ? 1 : 0; }

// A key pressed since the last snapshot reads held in the next frame even
// if it was let go before that frame looked: a tap between two frames
// counts once. The snapshot looks only at keys that changed since the last
// and keys whose tap runs out. A key that changes again after the snapshot
// looked at it counts its new press in this snapshot and its state in the
// next, as if the change had come just before and after the look.
static void look_again(uint32_t i)
{
    if (listed[i] == snapshot)
        return;
    listed[i] = snapshot;
    again[again_count++] = static_cast<uint8_t>(i);
}

static void look_at(uint32_t i)
{
    if (looked[i] != snapshot) {
        looked[i] = snapshot;
        lastKeys[i] = held(i);
        if (tapped[i] != 0)
            look_again(i);   // held in this snapshot, maybe not in the next
        tapped[i] = 0;
    } else {
        look_again(i);   // changed after the look: the next snapshot takes its state
    }
    uint32_t p = presses[i];
    if (p != counted[i] && tapped[i] == 0) {
        tapped[i] = 1;
        look_again(i);
    }
    counted[i] = p;
}

// The last snapshot's list is read as this one's is written: each key on
// it adds at most itself, at or before the place just read.
void UpdateKeyboard()
{
    if (++snapshot == 0) {
        __builtin_memset(looked, 0, sizeof looked);
        __builtin_memset(listed, 0, sizeof listed);
        snapshot = 1;
    }
    uint32_t listed_before = again_count;
    again_count = 0;
    for (uint32_t k = 0; k < listed_before; k++)
        look_at(again[k]);
    if (changes_lost != 0) {
        changes_lost = 0;
        for (uint32_t i = 0; i < KEY_SLOTS; i++)
            look_at(i);
    }
    for (uint8_t c = ring_get(changed); c != 0; c = ring_get(changed))
        look_at(c & CODE_MASK);
}

uint32_t GetKey(uint32_t scancode)
{
    return scancode < KEY_SLOTS ? held(scancode) : 0;
}

uint32_t GetKeyDown(uint32_t scancode)
{
    if (scancode >= KEY_SLOTS)
        return 0;
    return held(scancode) != 0 && lastKeys[scancode] == 0 ? 1 : 0;
}

uint32_t GetKeyUp(uint32_t scancode)
{
    if (scancode >= KEY_SLOTS)
        return 0;
    return held(scancode) == 0 && lastKeys[scancode] != 0 ? 1 : 0;
}

void ASCIIMode(uint32_t on)
{
    // The mode is stored first: once clearing starts, no interrupt can set
    // a key again.
    asciimode = on;
    if (on != 0)
        clear_keys();
}

uint8_t Keyboard_GetCh() { return ring_get(chars); }

} // namespace kern
