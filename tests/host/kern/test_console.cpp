// The drop-down console: history and wrapping, the serial copy byte for byte,
// the input line, the slide, and the picture it paints.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "fake_uart.h"
#include "hw_host.h"
#include "kern/command.h"
#include "kern/console.h"
#include "kern/font.h"
#include "kern/keyboard.h"
#include "kern/memory.h"
#include "kern/serial.h"
#include "kern/texture.h"
#include "kern/video.h"
#include "png.h"

using namespace kern;

namespace {

const char* const BANNER = "Bare metal x86 32-bit 3d renderer Brindlewort v0.0.6";
const int32_t HIDDEN = -819200;
const int32_t OPEN = -409600;
const int32_t STEP = 40960;
const uint8_t BACKGROUND = 8;
const uint8_t TEXT = 15;
const uint8_t PAPER = 0x2B;

size_t serialMark;

void fresh_console()
{
    hwsim::reset();
    hwsim::uart_attach();
    Serial_Initialize();
    Mem_EarlyInit();
    Console_Init();
}

uint32_t hello(uint32_t, uint32_t)
{
    Console_WriteLine("Hello!");
    return 0;
}

// The kernel's start-up as the console sees it, command table included.
void standard_startup()
{
    hwsim::reset();
    hwsim::uart_attach();
    Serial_Initialize();
    Mem_EarlyInit();
    LoadFont();
    Console_Init();
    Command_Init();
    InitKeyboard();
    Texture_Init();
    Mem_LateInit();
    Command_Register("test", hello);
}

void mark_serial() { serialMark = hwsim::uart_output().size(); }
std::string serial_since_mark() { return hwsim::uart_output().substr(serialMark); }

// Set-1 make code of a character the console may be sent.
uint8_t scancode_of(char ch)
{
    const char* rows[] = {"1234567890-=", "qwertyuiop[]", "asdfghjkl;'`", "zxcvbnm,./"};
    const uint8_t firsts[] = {0x02, 0x10, 0x1E, 0x2C};
    for (int r = 0; r < 4; r++)
        for (int i = 0; rows[r][i] != 0; i++)
            if (rows[r][i] == ch)
                return static_cast<uint8_t>(firsts[r] + i);
    switch (ch) {
    case ' ': return 0x39;
    case '\n': return 0x1C;
    case '\b': return 0x0E;
    case 27: return KEY_ESCAPE;
    }
    ADD_FAILURE() << "no key for " << static_cast<int>(ch);
    return 0x7F;
}

// Presses and releases the keys of `text` (the console must be in character mode).
void type(const std::string& text)
{
    for (char ch : text) {
        KeyboardInterrupt(scancode_of(ch));
        KeyboardInterrupt(static_cast<uint8_t>(scancode_of(ch) | 0x80));
    }
}

// Holds the backquote key for one frame while the console is closed.
void backquote_frame()
{
    KeyboardInterrupt(KEY_BACKQUOTE);
    Console_Update();
    KeyboardInterrupt(KEY_BACKQUOTE | 0x80);
}

void open_fully()
{
    backquote_frame();
    for (int i = 0; i < 10; i++)
        Console_Update();
    ASSERT_EQ(Console_Offset(), OPEN);
}

// Types `text` and runs one frame.
void type_frame(const std::string& text)
{
    type(text);
    Console_Update();
}

void fill_buffer(uint8_t colour)
{
    for (uint32_t i = 0; i < SCREEN_BYTES; i++)
        back_buffer()[i] = colour;
}

png::Image back_buffer_image()
{
    png::Image image;
    image.width = SCREEN_WIDTH;
    image.height = SCREEN_HEIGHT;
    image.pixels.assign(back_buffer(), back_buffer() + SCREEN_BYTES);
    return image;
}

// Compares the back buffer with a golden picture; UPDATE_GOLDEN=1 in the
// environment writes the picture instead.
void expect_golden(const std::string& name)
{
    std::string path = std::string(GOLDEN_DIR) + "/" + name;
    png::Image actual = back_buffer_image();
    if (getenv("UPDATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(png::write_indexed(path, actual)) << path;
        return;
    }
    png::Image golden;
    ASSERT_TRUE(png::read_indexed(path, golden)) << path;
    ASSERT_EQ(golden.width, SCREEN_WIDTH);
    ASSERT_EQ(golden.height, SCREEN_HEIGHT);
    for (int i = 0; i < SCREEN_WIDTH * SCREEN_HEIGHT; i++)
        ASSERT_EQ(actual.pixels[i], golden.pixels[i]) << "pixel " << i % SCREEN_WIDTH << "," << i / SCREEN_WIDTH;
}

// A console with a session behind it: commands run, a line half typed.
void session()
{
    standard_startup();
    open_fully();
    type_frame("help\n");
    type_frame("meminfo\n");
    type_frame("memregion\n");
    type_frame("nosuchthing\n");
    type_frame("test\n");
    type_frame("the quick brown fox jumps over the lazy dog 0123456789 ,./;'[]-=`");
}

} // namespace

TEST(Console, InitWritesTheBannerOnTwoLines)
{
    fresh_console();
    EXPECT_STREQ(Console_Line(1), BANNER);
    std::string author = Console_Line(0);
    EXPECT_FALSE(author.empty());
    for (int i = 2; i < CONSOLE_LINES; i++)
        EXPECT_STREQ(Console_Line(i), "") << i;
    EXPECT_EQ(hwsim::uart_output(), std::string(BANNER) + "\n" + author + "\n");
    EXPECT_STREQ(Console_Input(), ">");
    EXPECT_EQ(Console_InputIndex(), 1);
    EXPECT_EQ(Console_IsOpen(), 0);
    EXPECT_EQ(Console_Offset(), HIDDEN);
}

TEST(Console, WriteLineOfNothingAddsAnEmptyLine)
{
    fresh_console();
    mark_serial();
    Console_WriteLine("");
    EXPECT_STREQ(Console_Line(0), "");
    EXPECT_STREQ(Console_Line(2), BANNER);
    EXPECT_EQ(serial_since_mark(), "\n");
}

TEST(Console, AppendLineWrapsAtEightyOnScreenOnly)
{
    fresh_console();
    Console_WriteLine("");
    mark_serial();
    std::string eighty(80, 'x');
    Console_AppendLine(eighty.c_str());
    EXPECT_EQ(Console_Line(0), eighty);
    EXPECT_STREQ(Console_Line(2), BANNER);   // no scroll yet
    Console_AppendLine("y");
    EXPECT_STREQ(Console_Line(0), "y");
    EXPECT_EQ(Console_Line(1), eighty);
    EXPECT_EQ(serial_since_mark(), eighty + "y");
}

TEST(Console, AppendLineStartsNewLinesAtNewlines)
{
    fresh_console();
    Console_WriteLine("ab");
    mark_serial();
    Console_AppendLine("cd\nef\n\ngh");
    EXPECT_STREQ(Console_Line(3), "abcd");
    EXPECT_STREQ(Console_Line(2), "ef");
    EXPECT_STREQ(Console_Line(1), "");
    EXPECT_STREQ(Console_Line(0), "gh");
    EXPECT_EQ(serial_since_mark(), "cd\nef\n\ngh");
}

TEST(Console, HistoryKeepsTheNewestTwentyFourLines)
{
    fresh_console();
    for (int i = 0; i < 25; i++)
        Console_WriteLine(("line " + std::to_string(i)).c_str());
    for (int i = 0; i < CONSOLE_LINES; i++)
        EXPECT_EQ(Console_Line(i), "line " + std::to_string(24 - i)) << i;
}

TEST(Console, ClearEmptiesTheHistoryButNotTheInput)
{
    standard_startup();
    open_fully();
    type_frame("abc");
    Console_Clear();
    for (int i = 0; i < CONSOLE_LINES; i++)
        EXPECT_STREQ(Console_Line(i), "") << i;
    EXPECT_STREQ(Console_Input(), ">abc");
}

TEST(Console, TypingStopsAtSeventyNineCharacters)
{
    standard_startup();
    open_fully();
    std::string typed;
    for (int i = 0; i < 85; i++)
        typed += static_cast<char>('a' + i % 26);
    type_frame(typed);
    EXPECT_EQ(Console_Input(), ">" + typed.substr(0, 79));
    EXPECT_EQ(Console_InputIndex(), 80);
}

TEST(Console, BackspaceNeverErasesThePrompt)
{
    standard_startup();
    open_fully();
    type_frame("\b");
    EXPECT_STREQ(Console_Input(), ">");
    type_frame("ab\b\b\b\bc");
    EXPECT_STREQ(Console_Input(), ">c");
    EXPECT_EQ(Console_InputIndex(), 2);
}

TEST(Console, ControlCharactersOtherThanTheEditingOnesAreDropped)
{
    standard_startup();
    open_fully();
    KeyboardInterrupt(0x0F);   // Tab
    KeyboardInterrupt(0x2A);   // Shift
    KeyboardInterrupt(0x1D);   // Ctrl
    type_frame("a");
    EXPECT_STREQ(Console_Input(), ">a");
}

TEST(Console, EnterEchoesTheLineThenRunsIt)
{
    standard_startup();
    open_fully();
    mark_serial();
    type_frame("help\n");
    EXPECT_STREQ(Console_Line(1), ">help");
    EXPECT_STREQ(Console_Line(0), "Nobody is coming to help you.");
    EXPECT_EQ(serial_since_mark(), ">help\nNobody is coming to help you.\n");
    EXPECT_STREQ(Console_Input(), ">");
    EXPECT_EQ(Console_InputIndex(), 1);
}

TEST(Console, EnterWithNothingTypedEchoesThePromptAndFindsNoCommand)
{
    standard_startup();
    open_fully();
    mark_serial();
    type_frame("\n");
    EXPECT_STREQ(Console_Line(1), ">");
    EXPECT_STREQ(Console_Line(0), "Command not found.");
    EXPECT_EQ(serial_since_mark(), ">\nCommand not found.\n");
}

TEST(Console, MemregionFromTheInputLineSplitsOnTheSerialLine)
{
    standard_startup();
    open_fully();
    mark_serial();
    type_frame("memregion\n");
    EXPECT_EQ(serial_since_mark(), ">memregion\n12288\nb by ./kern/command:281049088\nb by ./kern/texture:13");
    EXPECT_STREQ(Console_Line(0), "1049088b by ./kern/texture:13");
}

TEST(Console, SeveralLinesInOneFrameRunInOrder)
{
    standard_startup();
    open_fully();
    type_frame("test\nclear\nhelp\n");
    EXPECT_STREQ(Console_Line(1), ">help");
    EXPECT_STREQ(Console_Line(0), "Nobody is coming to help you.");
    EXPECT_STREQ(Console_Line(2), "");   // clear ran before
}

TEST(Console, OpensOnBackquoteAndSlidesDownInTenFrames)
{
    standard_startup();
    Console_Update();
    EXPECT_EQ(Console_IsOpen(), 0);
    EXPECT_EQ(Console_Offset(), HIDDEN);

    backquote_frame();
    EXPECT_EQ(Console_IsOpen(), 1);
    EXPECT_EQ(Console_Offset(), HIDDEN);   // the opening frame still slides up
    for (int i = 1; i <= 10; i++) {
        Console_Update();
        EXPECT_EQ(Console_Offset(), HIDDEN + i * STEP) << i;
    }
    EXPECT_EQ(Console_Offset(), OPEN);
    Console_Update();
    EXPECT_EQ(Console_Offset(), OPEN);
}

TEST(Console, WhileOpenBackquoteIsTypedAndCameraKeysReadReleased)
{
    standard_startup();
    KeyboardInterrupt(KEY_W);
    backquote_frame();
    EXPECT_EQ(GetKey(KEY_W), 0u);
    type_frame("`w");
    EXPECT_STREQ(Console_Input(), ">`w");
    EXPECT_EQ(GetKey(KEY_W), 0u);
    EXPECT_EQ(Console_IsOpen(), 1);
}

TEST(Console, EscapeClosesAndSlidesUpInTenFrames)
{
    standard_startup();
    open_fully();
    type_frame(std::string(1, 27));
    EXPECT_EQ(Console_IsOpen(), 0);
    EXPECT_EQ(Console_Offset(), OPEN);   // the closing frame ends with the downward step
    for (int i = 1; i <= 10; i++) {
        Console_Update();
        EXPECT_EQ(Console_Offset(), OPEN - i * STEP) << i;
    }
    EXPECT_EQ(Console_Offset(), HIDDEN);
    Console_Update();
    EXPECT_EQ(Console_Offset(), HIDDEN);
}

TEST(Console, CharactersAfterEscapeInTheSameFrameStillLand)
{
    standard_startup();
    open_fully();
    type_frame("ab");
    type_frame(std::string(1, 27) + "cd");
    EXPECT_EQ(Console_IsOpen(), 0);
    EXPECT_STREQ(Console_Input(), ">abcd");
    for (int i = 0; i < 12; i++)
        Console_Update();
    backquote_frame();
    EXPECT_EQ(Console_IsOpen(), 1);
    EXPECT_STREQ(Console_Input(), ">abcd");
    EXPECT_EQ(Console_InputIndex(), 5);
}

TEST(Console, EscapeDuringOpeningTurnsItBack)
{
    standard_startup();
    backquote_frame();
    for (int i = 0; i < 3; i++)
        Console_Update();
    ASSERT_EQ(Console_Offset(), HIDDEN + 3 * STEP);
    type_frame(std::string(1, 27));
    EXPECT_EQ(Console_Offset(), HIDDEN + 4 * STEP);
    Console_Update();
    EXPECT_EQ(Console_Offset(), HIDDEN + 3 * STEP);
}

TEST(Console, BackquoteWhileClosingReopensFromWhereItIs)
{
    standard_startup();
    open_fully();
    type_frame(std::string(1, 27));
    for (int i = 0; i < 3; i++)
        Console_Update();
    ASSERT_EQ(Console_Offset(), OPEN - 3 * STEP);
    backquote_frame();
    EXPECT_EQ(Console_IsOpen(), 1);
    EXPECT_EQ(Console_Offset(), OPEN - 4 * STEP);   // still up in this frame
    Console_Update();
    EXPECT_EQ(Console_Offset(), OPEN - 3 * STEP);   // then down
}

TEST(ConsoleDraw, HiddenConsoleLeavesTheBufferUntouched)
{
    standard_startup();
    fill_buffer(PAPER);
    Console_Draw();
    for (uint32_t i = 0; i < SCREEN_BYTES; i++)
        ASSERT_EQ(back_buffer()[i], PAPER) << i;
}

TEST(ConsoleDraw, OpenConsoleCoversTheTopHalf)
{
    fresh_console();
    for (int i = 0; i < CONSOLE_LINES; i++)
        Console_WriteLine(std::string(1, static_cast<char>('A' + i)).c_str());   // 'X' is the newest
    KeyboardInterrupt(KEY_BACKQUOTE);
    Console_Update();
    for (int i = 0; i < 10; i++)
        Console_Update();
    fill_buffer(PAPER);
    Console_Draw();
    auto px = [](int x, int y) { return back_buffer()[y * SCREEN_WIDTH + x]; };
    uint8_t glyph[GLYPH_BYTES];
    // Line k of the history sits at row -100 + 8 * (23 - k): the newest
    // ('X') at rows 84-91, line 11 ('M') half shown in rows 0-3.
    auto expect_cell = [&](char ch, int y0, int firstRow) {
        GetFontCharacter(static_cast<uint8_t>(ch), glyph);
        for (int r = firstRow; r < 8; r++)
            for (int col = 0; col < 4; col++)
                EXPECT_EQ(px(col, y0 + r), glyph[r * 4 + col] ? TEXT : BACKGROUND) << ch << " " << col << "," << r;
    };
    expect_cell('X', 84, 0);
    expect_cell('W', 76, 0);
    expect_cell('M', -4, 4);
    expect_cell('>', 92, 0);
    for (int y = 0; y < 100; y++)
        for (int x = 4; x < SCREEN_WIDTH; x++)
            ASSERT_EQ(px(x, y), BACKGROUND) << x << "," << y;
    for (int y = 100; y < SCREEN_HEIGHT; y++)
        for (int x = 0; x < SCREEN_WIDTH; x++)
            ASSERT_EQ(px(x, y), PAPER) << x << "," << y;
}

TEST(ConsoleDraw, OpenConsoleMatchesItsGoldenPicture)
{
    session();
    ClearScreen();
    Console_Draw();
    expect_golden("console_open.png");
}

TEST(ConsoleDraw, HalfwayConsoleMatchesItsGoldenPicture)
{
    session();
    type_frame(std::string(1, 27));
    for (int i = 0; i < 4; i++)
        Console_Update();
    ASSERT_EQ(Console_Offset(), OPEN - 4 * STEP);   // top edge at row -140
    ClearScreen();
    Console_Draw();
    expect_golden("console_closing.png");
}
