// The drop-down console: history and wrapping, the serial copy byte for byte,
// the input line, the slide, and the picture it paints.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>

#include <string>

#include "fake_uart.h"
#include "hw_host.h"
#include "kern/command.h"
#include "kern/console.h"
#include "kern/font.h"
#include "kern/keyboard.h"
#include "kern/memory.h"
#include "kern/serial.h"
#include "kern/startup.h"
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
    start_modules();
    Serial_EnableReceive();
    Command_Register("test", hello);
}

// Bytes arriving on the serial line, taken by its interrupt.
void serial_in(const std::string& bytes)
{
    hwsim::uart_receive(bytes);
    Serial_Interrupt();
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

// Extended keys: 0xE0 before the make code and before the break code.
const uint8_t EXTENDED_CODES[] = {0x48, 0x50, 0x49, 0x51};   // Up, Down, PgUp, PgDn
const std::string UP(1, static_cast<char>(CH_UP));
const std::string DOWN(1, static_cast<char>(CH_DOWN));
const std::string PAGE_UP(1, static_cast<char>(CH_PAGE_UP));
const std::string PAGE_DOWN(1, static_cast<char>(CH_PAGE_DOWN));

// Presses and releases the keys of `text` (the console must be in
// character mode); CH_UP to CH_PAGE_DOWN press the extended keys.
void type(const std::string& text)
{
    for (char ch : text) {
        uint8_t c = static_cast<uint8_t>(ch);
        if (c >= CH_UP && c <= CH_PAGE_DOWN) {
            uint8_t code = EXTENDED_CODES[c - CH_UP];
            for (uint8_t byte : {uint8_t(0xE0), code, uint8_t(0xE0), uint8_t(code | 0x80)})
                KeyboardInterrupt(byte);
            continue;
        }
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

// Whether the back buffer shows `ch` in the first cell of the row band from
// y0 (rows above the screen are skipped).
bool cell_shows(char ch, int y0)
{
    uint8_t glyph[GLYPH_BYTES];
    GetFontCharacter(static_cast<uint8_t>(ch), glyph);
    for (int r = 0; r < GLYPH_HEIGHT; r++)
        for (int col = 0; col < 4 && y0 + r >= 0; col++)
            if (back_buffer()[(y0 + r) * SCREEN_WIDTH + col] != (glyph[r * 4 + col] ? TEXT : BACKGROUND))
                return false;
    return true;
}

// Lines 'A' (oldest) to 'X' (newest) in a fully open console.
void lettered_open_console()
{
    standard_startup();
    for (int i = 0; i < CONSOLE_LINES; i++)
        Console_WriteLine(std::string(1, static_cast<char>('A' + i)).c_str());
    open_fully();
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
    // The prompt went out when the console was ready; the next one after the answer.
    EXPECT_EQ(serial_since_mark(), "help\nNobody is coming to help you.\n>");
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
    EXPECT_EQ(serial_since_mark(), "\nCommand not found.\n>");
}

TEST(Console, MemregionFromTheInputLineSendsWholeLines)
{
    standard_startup();
    open_fully();
    mark_serial();
    type_frame("memregion\ntest\n");
    EXPECT_EQ(serial_since_mark(), "memregion\n12288b by ./kern/command:28\n1049088b by ./kern/texture:13\n"
                                   ">test\nHello!\n>");
    EXPECT_STREQ(Console_Line(2), "1049088b by ./kern/texture:13");
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

TEST(ConsoleSerial, LinesTypedOnTheSerialLineRunAndTheConsoleStaysClosed)
{
    standard_startup();
    mark_serial();
    serial_in("test\r");
    Console_Update();
    EXPECT_EQ(serial_since_mark(), ">test\nHello!\n>");
    EXPECT_STREQ(Console_Line(1), ">test");
    EXPECT_EQ(Console_IsOpen(), 0);
    EXPECT_EQ(Console_Offset(), HIDDEN);
    EXPECT_EQ(GetKey(KEY_W), 0u);
    KeyboardInterrupt(KEY_W);   // the keyboard still flies the camera
    EXPECT_EQ(GetKey(KEY_W), 1u);
}

TEST(ConsoleSerial, DeleteAndBackspaceEraseAndACrLfPairRunsOnce)
{
    standard_startup();
    mark_serial();
    serial_in("hxx\x7f\x08" "elp\r\ntest\r\n");
    Console_Update();
    // Each erasure shows on the terminal as it happens.
    EXPECT_EQ(serial_since_mark(), ">hxx\b \b\b \belp\nNobody is coming to help you.\n>test\nHello!\n>");
}

TEST(ConsoleSerial, EscapeOnTheSerialLineNeitherClosesNorOpens)
{
    standard_startup();
    serial_in("\x1b");
    Console_Update();
    EXPECT_EQ(Console_IsOpen(), 0);
    open_fully();
    serial_in("\x1b`\x1b");
    Console_Update();
    EXPECT_EQ(Console_IsOpen(), 1);
    EXPECT_STREQ(Console_Input(), ">`");
}

TEST(ConsoleSerial, APastedLineOfSeventyNineCharactersArrivesWhole)
{
    standard_startup();
    mark_serial();
    std::string pasted;
    for (int i = 0; i < 79; i++)
        pasted.push_back(static_cast<char>('!' + i));
    pasted += "\r";
    // 38400 baud is 3840 bytes a second, 55 a frame: the FIFO interrupts at
    // 14 bytes and the loop reads the ring once a frame.
    for (size_t at = 0; at < pasted.size(); at += 14) {
        serial_in(pasted.substr(at, 14));
        if (at % 56 == 42)
            Console_Update();
    }
    Console_Update();
    EXPECT_EQ(serial_since_mark(), ">" + pasted.substr(0, 79) + "\nCommand not found.\n>");
}

namespace {

// Sends `bytes` as an emulator does: into the chip's 16-byte FIFO only as
// it empties, the receive interrupt's handler running whenever the
// interrupt is on and bytes wait; a frame runs after every `per_frame`
// bytes offered, until all are taken.
void paste(const std::string& bytes, size_t per_frame = 64)
{
    size_t sent = 0;
    for (int frames = 0; frames < 100000; frames++) {
        for (size_t offered = 0; offered < per_frame; ) {
            if (hwsim::uart_register(1) != 0x01)
                break;                          // held back: the interrupt is off
            if (hwsim::uart_unread() == 0) {
                if (sent == bytes.size())
                    break;
                size_t n = std::min<size_t>(16, bytes.size() - sent);
                hwsim::uart_receive(bytes.substr(sent, n));
                sent += n;
                offered += n;
            }
            Serial_Interrupt();
        }
        Console_Update();
        if (sent == bytes.size() && hwsim::uart_unread() == 0 && hwsim::uart_register(1) == 0x01) {
            Console_Update();
            return;
        }
    }
    ADD_FAILURE() << "the paste never went through";
}

} // namespace

TEST(ConsoleSerial, APasteOfFourThousandBytesRunsEveryLineInOrder)
{
    standard_startup();
    Console_Update();
    mark_serial();
    std::string bytes, answers;
    for (int i = 0; i < 800; i++) {
        bytes += "test\r";
        answers += "test\nHello!\n>";
    }
    paste(bytes, 1024);   // far more a frame than a frame takes
    EXPECT_EQ(serial_since_mark(), answers);
}

TEST(ConsoleSerial, ALineThatLostABytesIsDiscardedWholeAndSaidOnce)
{
    standard_startup();
    Console_Update();
    mark_serial();
    hwsim::uart_receive("tes");
    hwsim::uart_overrun();
    Serial_Interrupt();
    hwsim::uart_receive("t");
    hwsim::uart_receive_garbled('x', 0x08);   // a second loss in the same line
    hwsim::uart_receive("t\rtest\r");
    Serial_Interrupt();
    Console_Update();
    EXPECT_EQ(serial_since_mark(), "tes\nWARNING: SERIAL INPUT LOST. LINE DISCARDED!!!\n"
                                   ">test\nHello!\n>");
    EXPECT_STREQ(Console_Line(2), "WARNING: SERIAL INPUT LOST. LINE DISCARDED!!!");
    mark_serial();
    serial_in("\x1b[A\r");                   // the lost line was not kept for recall
    Console_Update();
    EXPECT_EQ(serial_since_mark(), "test\nHello!\n>");
}

TEST(ConsoleSerial, OtherOutputTakesThePromptLineOffAndTheNextFrameDrawsItAgain)
{
    standard_startup();
    serial_in("te");
    Console_Update();
    mark_serial();
    Console_WriteLine("Backface culling DISABLED");   // a line no typed command wrote
    Console_Update();
    EXPECT_EQ(serial_since_mark(), "\r\x1b[KBackface culling DISABLED\n>te");
    mark_serial();
    serial_in("st\r");
    Console_Update();
    EXPECT_EQ(serial_since_mark(), "st\nHello!\n>");
}

TEST(ConsoleSerial, KeyboardEditsStayOffTheLineWhichShowsWhenItRuns)
{
    standard_startup();
    open_fully();
    mark_serial();
    type_frame("hexx\b\b");
    type_frame("lp");
    EXPECT_EQ(serial_since_mark(), "");
    type_frame("\n");
    EXPECT_EQ(serial_since_mark(), "help\nNobody is coming to help you.\n>");
}

TEST(ConsoleHistory, UpTwiceThenEnterRerunsTheCommandBeforeLast)
{
    standard_startup();
    open_fully();
    type_frame("test\nhelp\n");
    mark_serial();
    type_frame(UP + UP + "\n");
    EXPECT_EQ(serial_since_mark(), "test\nHello!\n>");   // the keyboard's recall shows when it runs
    type_frame(UP + UP + DOWN);
    EXPECT_STREQ(Console_Input(), ">test");
}

TEST(ConsoleHistory, TheSerialLineRecallsWithCursorSequences)
{
    standard_startup();
    serial_in("test\rhelp\r");
    Console_Update();
    mark_serial();
    serial_in("\x1b[A\x1b[A\x1b[A\x1b[B\r");
    Console_Update();
    // Each recalled command is drawn in place of the line before it; the
    // third Up finds nothing older and changes nothing.
    EXPECT_EQ(serial_since_mark(), "help\r\x1b[K>test\r\x1b[K>help\nNobody is coming to help you.\n>");
}

TEST(ConsoleView, PageKeysMoveTheViewWithinTheHistory)
{
    lettered_open_console();
    EXPECT_EQ(Console_ViewBack(), 0);
    type_frame(PAGE_UP);
    EXPECT_EQ(Console_ViewBack(), 10);
    type_frame(PAGE_UP);
    EXPECT_EQ(Console_ViewBack(), 13);   // line 23 is the top whole line
    type_frame(PAGE_UP);
    EXPECT_EQ(Console_ViewBack(), 13);
    type_frame(PAGE_DOWN);
    EXPECT_EQ(Console_ViewBack(), 3);
    type_frame(PAGE_DOWN);
    EXPECT_EQ(Console_ViewBack(), 0);
    serial_in("\x1b[5~");
    Console_Update();
    EXPECT_EQ(Console_ViewBack(), 10);
    EXPECT_STREQ(Console_Line(0), "X");   // the history itself stays
}

TEST(ConsoleView, AnyNewLineOrClearReturnsTheViewToTheNewest)
{
    lettered_open_console();
    type_frame(PAGE_UP);
    Console_WriteLine("Y");
    EXPECT_EQ(Console_ViewBack(), 0);
    type_frame(PAGE_UP + "ab");
    EXPECT_EQ(Console_ViewBack(), 10);   // typing alone does not move it
    type_frame("\n");
    EXPECT_EQ(Console_ViewBack(), 0);
    type_frame(PAGE_UP);
    Console_Clear();
    EXPECT_EQ(Console_ViewBack(), 0);
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

TEST(ConsoleDraw, PageUpShowsOlderLinesAndPageDownTheSamePictureAgain)
{
    lettered_open_console();
    ClearScreen();
    Console_Draw();
    png::Image newest = back_buffer_image();
    ASSERT_TRUE(cell_shows('X', 84));

    // Line k sits k - view lines above the newest slot (row 84).
    type_frame(PAGE_UP);
    ClearScreen();
    Console_Draw();
    EXPECT_TRUE(cell_shows('N', 84));   // line 10
    EXPECT_TRUE(cell_shows('D', 4));    // line 20
    EXPECT_TRUE(cell_shows('>', 92));   // the input line stays
    type_frame(PAGE_UP);
    ClearScreen();
    Console_Draw();
    EXPECT_TRUE(cell_shows('K', 84));   // line 13
    EXPECT_TRUE(cell_shows('A', 4));    // line 23, the oldest
    EXPECT_TRUE(cell_shows(' ', -4));   // nothing older

    type_frame(PAGE_DOWN + PAGE_DOWN);
    ClearScreen();
    Console_Draw();
    EXPECT_TRUE(back_buffer_image().pixels == newest.pixels);
}

TEST(ConsoleDraw, PagingAFullHistoryOfRepeatedLinesStillShowsThatTheViewMoved)
{
    standard_startup();
    for (int i = 0; i < 1000; i++)
        Console_WriteLine(i % 2 == 0 ? ">test" : "Hello!");
    open_fully();
    ClearScreen();
    Console_Draw();
    png::Image newest = back_buffer_image();
    auto corner = [] { return back_buffer()[92 * SCREEN_WIDTH + SCREEN_WIDTH - 1]; };
    EXPECT_EQ(corner(), BACKGROUND);

    // Ten lines back the text is the same: the tag at the input row's end
    // says how far the view stands back.
    type_frame(PAGE_UP);
    ClearScreen();
    Console_Draw();
    EXPECT_EQ(Console_ViewBack(), 10);
    EXPECT_EQ(corner(), TEXT);
    EXPECT_FALSE(back_buffer_image().pixels == newest.pixels);
    type_frame(PAGE_UP);
    EXPECT_EQ(Console_ViewBack(), 13);

    type_frame(PAGE_DOWN + PAGE_DOWN);
    ClearScreen();
    Console_Draw();
    EXPECT_TRUE(back_buffer_image().pixels == newest.pixels);
}
