// The benchmark's flight: cameras of the demo flight and a script of keys.
#include "bench/flight.h"

#include "kern/console.h"
#include "kern/keyboard.h"
#include "kern/camera.h"
#include "kern/scene.h"
#include "kern/startup.h"

namespace bench {

namespace {

const int OPEN_AT = 60;          // the backquote, tapped before this frame
const int TYPE_FROM = 72;        // the console is down from frame 71
const int FRAMES_A_KEY = 2;

// Typed one key every FRAMES_A_KEY frames: commands that write lines, clear
// the history and flip the back-face cull (the scene changes), paging back
// and forth, editing, and the demo flight turned on.
const char SCRIPT[] = "test\nclear\nhelp\ncull\n\x82\x83" "cull\nabc\b\b\borbit\n";
const int SCRIPT_KEYS = sizeof SCRIPT - 1;

// The camera stands still from the backquote (as the camera keys leave it
// once the console takes the keyboard) until the orbit command's frame;
// then it flies on with the console open, which Escape closes later.
const int STILL_FROM = OPEN_AT;
const int STILL_UNTIL = TYPE_FROM + FRAMES_A_KEY * SCRIPT_KEYS;
const int ESCAPE_AT = STILL_UNTIL + 30;
static_assert(ESCAPE_AT + 40 < FLIGHT_FRAMES, "the flight ends with the console closed for a while");

const uint8_t RELEASE = 0x80;
const uint8_t EXTENDED = 0xE0;
const uint8_t SC_ENTER = 0x1C, SC_BACKSPACE = 0x0E, SC_PAGE_UP = 0x49, SC_PAGE_DOWN = 0x51;

// Set-1 make codes of the letters, by rows of the keyboard.
struct LetterRow {
    const char* letters;
    uint8_t first;
};
const LetterRow LETTER_ROWS[] = {{"qwertyuiop", 0x10}, {"asdfghjkl", 0x1E}, {"zxcvbnm", 0x2C}};

uint8_t letter_code(char ch)
{
    for (const LetterRow& row : LETTER_ROWS)
        for (int i = 0; row.letters[i] != 0; i++)
            if (row.letters[i] == ch)
                return static_cast<uint8_t>(row.first + i);
    return 0;
}

void tap(uint8_t code)
{
    kern::KeyboardInterrupt(code);
    kern::KeyboardInterrupt(static_cast<uint8_t>(code | RELEASE));
}

void tap_extended(uint8_t code)
{
    kern::KeyboardInterrupt(EXTENDED);
    kern::KeyboardInterrupt(code);
}

void type(char ch)
{
    switch (static_cast<uint8_t>(ch)) {
    case '\n': tap(SC_ENTER); break;
    case '\b': tap(SC_BACKSPACE); break;
    case kern::CH_PAGE_UP: tap_extended(SC_PAGE_UP); break;
    case kern::CH_PAGE_DOWN: tap_extended(SC_PAGE_DOWN); break;
    default: tap(letter_code(ch)); break;
    }
}

} // namespace

const char* console_state_name(ConsoleState state)
{
    static const char* const names[CONSOLE_STATES] = {"closed", "opening", "open", "closing"};
    return names[state];
}

ConsoleState console_state()
{
    kern::Fixed offset = kern::Console_Offset();
    if (kern::Console_IsOpen())
        return offset == kern::CONSOLE_OPEN ? CONSOLE_OPEN : CONSOLE_OPENING;
    return offset == kern::CONSOLE_HIDDEN ? CONSOLE_CLOSED : CONSOLE_CLOSING;
}

kern::Camera flight_camera(int n)
{
    int moved = n < STILL_FROM ? n : n < STILL_UNTIL ? STILL_FROM : n - (STILL_UNTIL - STILL_FROM);
    return kern::orbit_camera(moved * kern::ORBIT_STEP);
}

void flight_keys(int n)
{
    if (n == OPEN_AT)
        tap(kern::KEY_BACKQUOTE);
    if (n == ESCAPE_AT)
        tap(kern::KEY_ESCAPE);
    int key = (n - TYPE_FROM) / FRAMES_A_KEY;
    if (n >= TYPE_FROM && (n - TYPE_FROM) % FRAMES_A_KEY == 0 && key < SCRIPT_KEYS)
        type(SCRIPT[key]);
}

void flight_draw(const kern::Triangle cube[], int n)
{
    kern::Camera c = flight_camera(n);
    kern::frame_begin();
    kern::frame_draw(cube, kern::SCENE_TRIANGLES, c.position, c.pitch, c.yaw);
}

void flight_frame(const kern::Triangle cube[], int n)
{
    flight_draw(cube, n);
    kern::frame_show();
}

} // namespace bench
