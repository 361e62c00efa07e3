// Scancode set 1 decoding: key states, edges, the character ring.
#include <gtest/gtest.h>

#include <string>

#include "kern/keyboard.h"

using namespace kern;

namespace {

const uint8_t RELEASE = 0x80;

void press(uint8_t code) { KeyboardInterrupt(code); }
void release(uint8_t code) { KeyboardInterrupt(code | RELEASE); }
void tap(uint8_t code)
{
    press(code);
    release(code);
}

std::string drain()
{
    std::string s;
    for (uint8_t c = Keyboard_GetCh(); c != 0; c = Keyboard_GetCh())
        s.push_back(static_cast<char>(c));
    return s;
}

// What a frame sees of a key: "held", "down" (newly), "up" (newly let go).
std::string seen(uint32_t code)
{
    std::string s = GetKey(code) ? "held" : "";
    if (GetKeyDown(code))
        s += s.empty() ? "down" : " down";
    if (GetKeyUp(code))
        s += s.empty() ? "up" : " up";
    return s;
}

// Key mode, all released, queue empty, also when the tests share a process.
void fresh()
{
    ASCIIMode(0);
    InitKeyboard();
    drain();
}

} // namespace

TEST(KeyMode, MakeHoldsBreakReleasesRepeatsKeepHolding)
{
    fresh();
    press(KEY_W);
    EXPECT_EQ(GetKey(KEY_W), 1u);
    press(KEY_W);
    press(KEY_W);   // typematic repeats
    EXPECT_EQ(GetKey(KEY_W), 1u);
    EXPECT_EQ(GetKey(KEY_S), 0u);
    KeyboardInterrupt(0x91);
    EXPECT_EQ(GetKey(KEY_W), 0u);
    EXPECT_EQ(Keyboard_GetCh(), 0);   // key mode queues nothing
}

TEST(KeyMode, ExtendedPrefixReleasesSlot60AndTheCodeSharesItsSlot)
{
    fresh();
    press(0x60);
    press(0x48);
    EXPECT_EQ(GetKey(0x60), 1u);
    KeyboardInterrupt(0xE0);   // Up arrow: E0 48
    KeyboardInterrupt(0x48);
    EXPECT_EQ(GetKey(0x60), 0u);
    EXPECT_EQ(GetKey(0x48), 1u);
    KeyboardInterrupt(0xE0);   // and its release: E0 C8
    KeyboardInterrupt(0xC8);
    EXPECT_EQ(GetKey(0x48), 0u);
}

TEST(KeyMode, CodesWithoutASlotChangeNothing)
{
    fresh();
    press(0x00);
    press(0x7E);
    UpdateKeyboard();
    KeyboardInterrupt(0x7F);
    KeyboardInterrupt(0xFF);
    for (uint32_t k = 0; k < 0x7F; k++) {
        uint32_t held = (k == 0x00 || k == 0x7E) ? 1 : 0;
        ASSERT_EQ(GetKey(k), held) << k;
        ASSERT_EQ(GetKeyDown(k), 0u) << k;
        ASSERT_EQ(GetKeyUp(k), 0u) << k;
    }
    ASCIIMode(1);
    KeyboardInterrupt(0x7F);
    KeyboardInterrupt(0xFF);
    EXPECT_EQ(Keyboard_GetCh(), 0);
}

TEST(KeyMode, ScancodesBeyondTheTableReadReleased)
{
    fresh();
    EXPECT_EQ(GetKey(0x7F), 0u);
    EXPECT_EQ(GetKeyDown(0x1000), 0u);
    EXPECT_EQ(GetKeyUp(0xFFFFFFFF), 0u);
}

TEST(KeyEdges, DownInTheFirstFrameOnlyUpInTheFrameAfterRelease)
{
    fresh();
    press(KEY_D);
    EXPECT_EQ(seen(KEY_D), "held down");   // frame 1
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_D), "held");        // frame 2, still held
    UpdateKeyboard();
    release(KEY_D);
    EXPECT_EQ(seen(KEY_D), "up");          // first frame after the release
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_D), "");
}

TEST(KeyTaps, APressAndReleaseBetweenTwoFramesHoldTheKeyForTheNextFrameOnly)
{
    fresh();
    tap(KEY_A);
    tap(KEY_A);                            // twice before the frame looks: still once
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_A), "held down");
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_A), "up");
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_A), "");
}

// A frame looks only at keys that changed since the last one; more changes
// than their ring holds (300 taps, then W) make it look at every key.
TEST(KeyTaps, MoreChangesInAFrameThanTheLoopNotesAreAllSeen)
{
    fresh();
    UpdateKeyboard();
    press(KEY_D);
    for (int i = 0; i < 300; i++)
        tap(KEY_A);
    press(KEY_W);
    release(KEY_D);
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_A), "held down");
    EXPECT_EQ(seen(KEY_W), "held");        // held when the frame looked
    EXPECT_EQ(seen(KEY_D), "held down");   // a tap as well
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_A), "up");
    EXPECT_EQ(seen(KEY_W), "held");
    EXPECT_EQ(seen(KEY_D), "up");
    tap(KEY_A);
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_A), "held down");
    EXPECT_EQ(seen(KEY_D), "");
    UpdateKeyboard();
    EXPECT_EQ(seen(KEY_A), "up");
}

TEST(KeyTaps, RepeatsOfAHeldKeyAreNoNewPressSoItsReleaseStopsIt)
{
    fresh();
    press(KEY_W);
    UpdateKeyboard();
    press(KEY_W);                       // typematic repeats
    press(KEY_W);
    UpdateKeyboard();
    EXPECT_EQ(GetKey(KEY_W), 1u);
    release(KEY_W);
    EXPECT_EQ(GetKey(KEY_W), 0u);       // this frame
    UpdateKeyboard();
    EXPECT_EQ(GetKey(KEY_W), 0u);       // and the next
    // A press never seen held still counts once, even let go before the frame looked.
    press(KEY_W);
    UpdateKeyboard();
    release(KEY_W);
    EXPECT_EQ(GetKey(KEY_W), 1u);
    UpdateKeyboard();
    EXPECT_EQ(GetKey(KEY_W), 0u);
}

TEST(KeyTaps, CharacterModeForgetsTapsAndTakesNone)
{
    fresh();
    tap(KEY_D);
    ASCIIMode(1);
    tap(KEY_S);                         // typed, not a key
    EXPECT_EQ(GetKey(KEY_D), 0u);
    ASCIIMode(0);
    UpdateKeyboard();
    EXPECT_EQ(GetKey(KEY_D), 0u);
    EXPECT_EQ(GetKey(KEY_S), 0u);
    EXPECT_EQ(drain(), "s");
    InitKeyboard();                     // so does the keyboard's set-up
    tap(KEY_D);
    InitKeyboard();
    UpdateKeyboard();
    EXPECT_EQ(GetKey(KEY_D), 0u);
}

TEST(CharacterMode, QueuesMakeCodesOnlyAsTheirCharacters)
{
    fresh();
    ASCIIMode(1);
    tap(KEY_Q);
    EXPECT_EQ(Keyboard_GetCh(), 0x71);
    EXPECT_EQ(Keyboard_GetCh(), 0);   // released Q queued nothing, q is read once
    tap(0x1C);
    tap(0x0E);
    tap(KEY_ESCAPE);
    tap(0x2A);
    tap(0x36);
    EXPECT_EQ(drain(), "\x0A\x08\x1B\x0F\x0F");
}

TEST(CharacterMode, MapsEveryMakeCodeOfTheTable)
{
    fresh();
    ASCIIMode(1);
    for (uint8_t code = 0; code <= 0x39; code++)
        press(code);
    const std::string expected =
        "\x01\x1B"
        "1234567890-=\x08\x09"
        "qwertyuiop[]\x0A\x01"
        "asdfghjkl;'`\x0F\\"
        "zxcvbnm,./\x0F*\x01 ";
    EXPECT_EQ(expected.size(), 58u);
    EXPECT_EQ(drain(), expected);
}

TEST(CharacterMode, KeysWithoutACharacterQueueNothing)
{
    fresh();
    ASCIIMode(1);
    for (uint32_t code = 0x3A; code <= 0x7F; code++)
        press(static_cast<uint8_t>(code));
    EXPECT_EQ(Keyboard_GetCh(), 0);
    press(0x39);   // the queue still works afterwards
    EXPECT_EQ(Keyboard_GetCh(), ' ');
}

TEST(CharacterMode, ArrowAndPageKeysQueueTheirOwnCharactersOnPressOnly)
{
    fresh();
    ASCIIMode(1);
    const uint8_t codes[] = {0x48, 0x50, 0x49, 0x51};   // Up, Down, PgUp, PgDn
    for (uint8_t code : codes) {
        for (int repeat = 0; repeat < 2; repeat++) {   // a typematic repeat comes prefixed too
            KeyboardInterrupt(0xE0);
            press(code);
        }
        KeyboardInterrupt(0xE0);
        release(code);
    }
    EXPECT_EQ(drain(), "\x80\x80\x81\x81\x82\x82\x83\x83");
    for (uint8_t code : codes)
        press(code);   // without the prefix: keypad 8, 2, 9, 3
    EXPECT_EQ(drain(), "");
}

TEST(CharacterMode, OtherExtendedKeysTypeAsTheirTwins)
{
    fresh();
    ASCIIMode(1);
    for (uint8_t code : {0x1C, 0x35, 0x4B}) {   // keypad Enter, keypad /, Left
        KeyboardInterrupt(0xE0);
        press(code);
        KeyboardInterrupt(0xE0);
        release(code);
    }
    press(0x48);   // the prefix covered only the byte after it
    tap(KEY_Q);
    EXPECT_EQ(drain(), "\n/q");
}

TEST(CharacterMode, AKeyModeByteEndsAPrefixLeftFromCharacterMode)
{
    fresh();
    ASCIIMode(1);
    KeyboardInterrupt(0xE0);
    ASCIIMode(0);
    press(KEY_W);
    ASCIIMode(1);
    press(0x48);   // keypad 8, not Up
    EXPECT_EQ(drain(), "");
}

TEST(CharacterMode, EmptyQueueReadsZero)
{
    fresh();
    EXPECT_EQ(Keyboard_GetCh(), 0);
    ASCIIMode(1);
    EXPECT_EQ(Keyboard_GetCh(), 0);
}

TEST(CharacterRing, AFullRingDropsTheNewestAndKeepsEverythingQueued)
{
    fresh();
    ASCIIMode(1);
    const std::string letters = "qwertyuiop";
    std::string typed;
    for (int i = 0; i < 300; i++) {
        uint8_t code = static_cast<uint8_t>(KEY_Q + i % letters.size());
        press(code);
        typed.push_back(letters[i % letters.size()]);
    }
    // 255 characters fit; the rest were dropped, not the queue.
    EXPECT_EQ(drain(), typed.substr(0, 255));
    tap(KEY_A);
    EXPECT_EQ(drain(), "a");
}

TEST(CharacterRing, KeepsOrderAcrossTheEndOfTheBuffer)
{
    fresh();
    ASCIIMode(1);
    for (int round = 0; round < 5; round++) {
        std::string typed;
        for (int i = 0; i < 200; i++) {
            uint8_t code = static_cast<uint8_t>(0x02 + (i + round) % 10);   // digits
            press(code);
            typed.push_back("1234567890"[(i + round) % 10]);
        }
        ASSERT_EQ(drain(), typed) << round;
    }
    // Interleaved with reads the ring never runs full.
    for (int i = 0; i < 600; i++) {
        press(KEY_K);
        ASSERT_EQ(Keyboard_GetCh(), 'k') << i;
    }
}

TEST(CharacterRing, AFullRingAcceptsOneMoreAfterOneRead)
{
    fresh();
    ASCIIMode(1);
    for (int i = 0; i < 255; i++)
        press(KEY_L);
    press(KEY_J);   // dropped
    EXPECT_EQ(Keyboard_GetCh(), 'l');
    press(KEY_I);   // now fits
    std::string rest = drain();
    EXPECT_EQ(rest.size(), 255u);
    EXPECT_EQ(rest.substr(0, 254), std::string(254, 'l'));
    EXPECT_EQ(rest.back(), 'i');
}

TEST(AsciiMode, ReleasesHeldKeysAtOnceAndKeepsThemReleased)
{
    fresh();
    press(KEY_W);
    UpdateKeyboard();
    ASCIIMode(1);
    EXPECT_EQ(GetKey(KEY_W), 0u);
    EXPECT_EQ(GetKeyUp(KEY_W), 0u);   // the snapshot was cleared too
    press(KEY_W);
    press(KEY_W);
    KeyboardInterrupt(0xE0);
    EXPECT_EQ(GetKey(KEY_W), 0u);
    EXPECT_EQ(GetKey(0x60), 0u);
    EXPECT_EQ(drain(), "ww");
}

TEST(AsciiMode, LeavingKeepsTheQueueAndLeavesKeysReleased)
{
    fresh();
    ASCIIMode(1);
    press(KEY_E);
    ASCIIMode(0);
    EXPECT_EQ(GetKey(KEY_E), 0u);
    press(KEY_S);   // key mode again: a key, not a character
    EXPECT_EQ(GetKey(KEY_S), 1u);
    EXPECT_EQ(drain(), "e");
}

TEST(AsciiMode, AnyNonZeroFlagIsCharacterMode)
{
    fresh();
    press(KEY_A);
    ASCIIMode(0x80000000u);
    EXPECT_EQ(GetKey(KEY_A), 0u);
    press(KEY_A);
    EXPECT_EQ(drain(), "a");
}
