// The loader's text terminal on the real text-screen address.
#include <gtest/gtest.h>

#include "fake_uart.h"
#include "hw_host.h"
#include "stage4/serial.h"
#include "stage4/st4.h"
#include "stage4/term.h"
#include "text_screen.h"

using namespace loader;
using testing_support::screen_attr;
using testing_support::screen_char;
using testing_support::screen_row;

namespace {

void fresh_screen()
{
    hwsim::reset();
    ClrScr32();
}

void put_n(char ch, int n)
{
    for (int i = 0; i < n; i++)
        putch(ch);
}

} // namespace

TEST(ClrScr32, FillsEveryCellWithBlankWhiteOnBlueAndKeepsRegisters)
{
    volatile uint8_t* screen = reinterpret_cast<volatile uint8_t*>(machine::TEXT_SCREEN);
    for (int i = 0; i < 4001; i++)
        screen[i] = 0xEE;
    uint32_t a = 0x11111111, b = 0x22222222, c = 0x33333333, d = 0x44444444;
    uint32_t s = 0x55555555, di = 0x66666666;
    asm volatile("call ClrScr32"
                 : "+a"(a), "+b"(b), "+c"(c), "+d"(d), "+S"(s), "+D"(di)
                 :
                 : "memory", "cc");
    EXPECT_EQ(a, 0x11111111u);
    EXPECT_EQ(b, 0x22222222u);
    EXPECT_EQ(c, 0x33333333u);
    EXPECT_EQ(d, 0x44444444u);
    EXPECT_EQ(s, 0x55555555u);
    EXPECT_EQ(di, 0x66666666u);
    for (int r = 0; r < 25; r++)
        for (int col = 0; col < 80; col++) {
            ASSERT_EQ(screen_char(r, col), 0) << r << "," << col;
            ASSERT_EQ(screen_attr(r, col), 0x1F) << r << "," << col;
        }
    // The byte after the screen is not touched.
    EXPECT_EQ(reinterpret_cast<volatile uint8_t*>(machine::TEXT_SCREEN)[4000], 0xEE);
}

TEST(Terminal, BannerThenEmptyRowThenCursorOnRowTwo)
{
    fresh_screen();
    initTerm();
    EXPECT_EQ(screen_row(0), "Quillon's Rattlebox Bootloader II");
    EXPECT_EQ(screen_row(1), "");
    EXPECT_EQ(cursorX(), 0);
    EXPECT_EQ(cursorY(), 2);
    EXPECT_EQ(screen_attr(0, 0), 0x1F);
}

TEST(Terminal, TwentyFiveNewlinesScrollOnceAndLeaveTheCursorOnTheLastRow)
{
    fresh_screen();
    loader::puts("top");
    putch('\n');
    loader::puts("second");
    for (int i = 0; i < 24; i++)
        putch('\n');
    EXPECT_EQ(cursorY(), 24);
    EXPECT_EQ(cursorX(), 0);
    EXPECT_EQ(screen_row(0), "second");   // "top" moved off
    EXPECT_EQ(screen_row(24), "");
}

TEST(Terminal, EightyCharactersFillARowAndTheNextWraps)
{
    fresh_screen();
    put_n('x', 80);
    EXPECT_EQ(cursorX(), 80);
    EXPECT_EQ(cursorY(), 0);
    putch('y');
    EXPECT_EQ(screen_row(0), std::string(80, 'x'));
    EXPECT_EQ(screen_row(1), "y");
    EXPECT_EQ(cursorX(), 1);
    EXPECT_EQ(cursorY(), 1);
}

TEST(Terminal, NewlineOnAFullRowMovesDownOneRowOnly)
{
    fresh_screen();
    put_n('x', 80);
    putch('\n');
    putch('z');
    EXPECT_EQ(screen_row(1), "z");
}

TEST(Terminal, WritingPastTheLastRowScrollsTheScreenUp)
{
    fresh_screen();
    for (int i = 0; i < 25; i++) {
        putch(static_cast<char>('A' + i));
        if (i < 24)
            putch('\n');
    }
    EXPECT_EQ(screen_row(0), "A");
    EXPECT_EQ(screen_row(24), "Y");
    put_n('-', 80);   // row 24 now: "Y" then 79 dashes, the 80th dash wraps
    EXPECT_EQ(screen_row(0), "B");
    EXPECT_EQ(screen_row(23), "Y" + std::string(79, '-'));
    EXPECT_EQ(screen_row(24), "-");
    EXPECT_EQ(cursorY(), 24);
}

TEST(Terminal, ScrollKeepsTheLastRowsAttributesAndBlanksItsCharacters)
{
    fresh_screen();
    reinterpret_cast<volatile uint8_t*>(machine::TEXT_SCREEN)[2 * (24 * 80 + 5) + 1] = 0x4E;
    loader::puts("row zero");
    scrollDown(1);
    EXPECT_EQ(screen_row(0), "");
    EXPECT_EQ(screen_attr(23, 5), 0x4E);
    EXPECT_EQ(screen_attr(24, 5), 0x4E);
    EXPECT_EQ(screen_char(24, 5), 0);
    // Scrolling above the top puts the cursor home.
    EXPECT_EQ(cursorY(), 0);
    EXPECT_EQ(cursorX(), 0);
}

TEST(Terminal, NumbersInDecimalAndHexadecimal)
{
    fresh_screen();
    putint(0);
    putch(' ');
    putint(4294967295u);
    putch(' ');
    putint(1234);
    putch('\n');
    putintx(0);
    putch(' ');
    putintx(machine::KERNEL_BASE);
    putch(' ');
    putintx(255);
    putch(' ');
    putintx(0x464C457F);
    EXPECT_EQ(screen_row(0), "0 4294967295 1234");
    EXPECT_EQ(screen_row(1), "0x0 0xC0000000 0xFF 0x464C457F");
}

TEST(Terminal, ControlBytesOtherThanNewlineAreCellsThatAdvance)
{
    fresh_screen();
    putch('\t');
    putch('\r');
    putch('\x01');
    EXPECT_EQ(screen_char(0, 0), '\t');
    EXPECT_EQ(screen_char(0, 1), '\r');
    EXPECT_EQ(screen_char(0, 2), 1);
    EXPECT_EQ(cursorX(), 3);
}

TEST(Terminal, HardwareCursorMovesWithDelaysAfterEachWrite)
{
    fresh_screen();
    MovCur(5, 3);   // cell 245 = 0x00F5
    std::vector<hwsim::Access> expected = {
        hwsim::out8(machine::VGA_CRTC_INDEX, 0x0F), hwsim::delay(), hwsim::out8(machine::VGA_CRTC_INDEX + 1, 0xF5), hwsim::delay(),
        hwsim::out8(machine::VGA_CRTC_INDEX, 0x0E), hwsim::delay(), hwsim::out8(machine::VGA_CRTC_INDEX + 1, 0x00), hwsim::delay(),
    };
    EXPECT_EQ(hwsim::trace(), expected);
}

TEST(Terminal, OrdinaryCharactersLeaveTheHardwareCursorAlone)
{
    fresh_screen();
    putch('a');
    putch('b');
    EXPECT_TRUE(hwsim::trace().empty());
    loader::puts("cd");   // puts moves it once, after the text: cell 4
    std::vector<hwsim::Access> t = hwsim::trace_without_delays();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[1], hwsim::out8(machine::VGA_CRTC_INDEX + 1, 4));
}

TEST(Terminal, ClearScreenBlanksAndHomesTheCursor)
{
    fresh_screen();
    loader::puts("text\nmore");
    clearScreen();
    EXPECT_EQ(screen_row(0), "");
    EXPECT_EQ(screen_row(1), "");
    EXPECT_EQ(screen_attr(1, 2), 0x1F);
    EXPECT_EQ(cursorX(), 0);
    EXPECT_EQ(cursorY(), 0);
}

TEST(Terminal, ScrollUpOnlyWarns)
{
    fresh_screen();
    loader::puts("stay");
    putch('\n');
    scrollUp();
    EXPECT_EQ(screen_row(0), "stay");
    EXPECT_EQ(screen_row(1), "WARNING: scrollUp is not implemented.");
    EXPECT_EQ(cursorY(), 2);
}

namespace {

const std::string BANNER = "Quillon's Rattlebox Bootloader II\n\n";

// Accesses to the UART's eight ports, delays left out.
std::vector<hwsim::Access> uart_accesses()
{
    std::vector<hwsim::Access> t;
    for (const hwsim::Access& a : hwsim::trace_without_delays())
        if (a.port >= machine::COM1 && a.port <= machine::COM1 + 7)
            t.push_back(a);
    return t;
}

size_t line_status_reads()
{
    size_t n = 0;
    for (const hwsim::Access& a : hwsim::trace())
        n += a.port == machine::COM1 + 5;
    return n;
}

} // namespace

TEST(SerialCopy, TheUartIsSetUpAsTheKernelDoesAndCarriesTheBanner)
{
    fresh_screen();
    hwsim::uart_attach();
    initTerm();
    using hwsim::in8;
    using hwsim::out8;
    std::vector<hwsim::Access> setup = {
        out8(machine::COM1 + 1, 0x00), out8(machine::COM1 + 3, 0x80), out8(machine::COM1, 0x03), out8(machine::COM1 + 1, 0x00),
        out8(machine::COM1 + 3, 0x03), out8(machine::COM1 + 2, 0xC7), out8(machine::COM1 + 4, 0x0B), out8(machine::COM1 + 4, 0x1E),
        out8(machine::COM1, 0xAE), in8(machine::COM1, 0xAE), out8(machine::COM1 + 4, 0x0F),
    };
    std::vector<hwsim::Access> t = uart_accesses();
    ASSERT_GT(t.size(), setup.size());
    EXPECT_EQ(std::vector<hwsim::Access>(t.begin(), t.begin() + setup.size()), setup);
    // Each byte after the transmitter shows empty.
    EXPECT_EQ(t[setup.size()], in8(machine::COM1 + 5, 0x60));
    EXPECT_EQ(t[setup.size() + 1], out8(machine::COM1, 'Q'));
    EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));
    EXPECT_EQ(hwsim::uart_output(), BANNER);
    EXPECT_EQ(hwsim::uart_register(hwsim::UART_DLL), 3);
    EXPECT_EQ(hwsim::uart_register(hwsim::UART_DLM), 0);
    // The screen is as without the UART.
    EXPECT_EQ(screen_row(0), "Quillon's Rattlebox Bootloader II");
    EXPECT_EQ(cursorY(), 2);
}

TEST(SerialCopy, AUartThatFailsItsLoopbackGetsNothingMore)
{
    fresh_screen();
    hwsim::UartOptions broken;
    broken.broken_loopback = true;
    hwsim::uart_attach(broken);
    initTerm();
    loader::writeLine("more");
    EXPECT_EQ(hwsim::uart_output(), "");
    EXPECT_EQ(hwsim::uart_register(4), 0x1E);   // left in loopback
    EXPECT_EQ(uart_accesses().size(), 10u);      // the set-up up to the loopback read
    EXPECT_EQ(screen_row(2), "more");

    // No UART at all: the floating bus reads 0xFF.
    hwsim::reset();
    loader::clearScreen();
    initTerm();
    EXPECT_EQ(uart_accesses().size(), 10u);
    EXPECT_EQ(screen_row(0), "Quillon's Rattlebox Bootloader II");
}

TEST(SerialCopy, ATransmitterThatStaysFullIsGivenUpAfterTheBound)
{
    // The fake shows the transmitter full for `busy_reads` line-status reads
    // after each byte, the loopback byte too.
    fresh_screen();
    hwsim::uart_attach({false, static_cast<int>(SERIAL_WAIT_READS) - 1});
    initTerm();
    EXPECT_EQ(hwsim::uart_output(), BANNER);

    hwsim::reset();
    loader::clearScreen();
    hwsim::uart_attach({false, static_cast<int>(SERIAL_WAIT_READS)});
    initTerm();
    loader::writeLine("more");
    serialFlush();
    EXPECT_EQ(hwsim::uart_output(), "");
    EXPECT_EQ(line_status_reads(), SERIAL_WAIT_READS);
    EXPECT_EQ(screen_row(2), "more");
}

TEST(SerialCopy, NewlinesAreLineFeedsAndOtherControlBytesPlaceholders)
{
    fresh_screen();
    hwsim::uart_attach();
    serialInit();
    loader::puts("a\tb\n");
    putglyph('\n');
    putglyph('\r');
    putglyph('\x9B');   // a terminal's one-byte CSI
    putglyph('\xE5');
    putglyph('c');
    EXPECT_EQ(hwsim::uart_output(), "a?b\n???\xE5" "c");
    // On the screen each is a glyph in its cell; none moves the cursor.
    EXPECT_EQ(screen_char(1, 0), '\n');
    EXPECT_EQ(screen_char(1, 1), '\r');
    EXPECT_EQ(screen_char(1, 2), 0x9B);
    EXPECT_EQ(cursorY(), 1);
    EXPECT_EQ(cursorX(), 5);
}

TEST(CommandLine, BackspaceWithNothingTypedChangesNothing)
{
    fresh_screen();
    loader::puts("ab");
    hwsim::clear_trace();
    backspace();
    EXPECT_EQ(screen_row(0), "ab");
    EXPECT_EQ(cursorX(), 2);
    EXPECT_TRUE(hwsim::trace().empty());
}

TEST(CommandLine, ThreeBackspacesUndoThreeTypedCharacters)
{
    fresh_screen();
    loader::puts("> ");
    for (char ch : std::string("abc"))
        addCharToCmdBufferAndPrint(ch);
    EXPECT_EQ(screen_row(0), "> abc");
    for (int i = 0; i < 3; i++)
        backspace();
    EXPECT_EQ(screen_row(0), ">");
    EXPECT_EQ(cursorX(), 2);
    EXPECT_EQ(cursorY(), 0);
    backspace();   // the buffer is empty again: the prompt stays
    EXPECT_EQ(screen_row(0), ">");
}

TEST(CommandLine, BackspaceAtColumnZeroGoesToTheLastCharacterOfTheRowAbove)
{
    fresh_screen();
    put_n('x', 80 - 3);
    for (int i = 0; i < 4; i++)
        addCharToCmdBufferAndPrint('k');   // three end row 0, one wraps to row 1
    EXPECT_EQ(cursorY(), 1);
    backspace();
    EXPECT_EQ(screen_row(1), "");
    EXPECT_EQ(cursorX(), 0);
    backspace();   // column 0: to the last non-blank cell of row 0, column 79
    EXPECT_EQ(cursorY(), 0);
    EXPECT_EQ(cursorX(), 79);
    EXPECT_EQ(screen_row(0), std::string(77, 'x') + "kk");
}

TEST(CommandLine, TheBufferHoldsAtMost1024Characters)
{
    fresh_screen();
    for (int i = 0; i < 1024; i++)
        addCharToCmdBufferAndPrint('.');
    uint8_t x = cursorX(), y = cursorY();
    addCharToCmdBufferAndPrint('!');
    EXPECT_EQ(cursorX(), x);
    EXPECT_EQ(cursorY(), y);
    for (int r = 0; r < 25; r++)
        EXPECT_EQ(screen_row(r).find('!'), std::string::npos);
}

TEST(KeyboardRows, CharactersSitAtTheirMakeCodes)
{
    EXPECT_EQ(toptwolowercase[0x02], '1');
    EXPECT_EQ(toptwolowercase[0x10], 'q');
    EXPECT_EQ(toptwouppercase[0x1B], '}');
    EXPECT_EQ(secondrowlowercase[0x26 - 0x1E], 'l');
    EXPECT_EQ(secondrowuppercase[0x28 - 0x1E], '"');
    EXPECT_EQ(static_cast<uint8_t>(secondrowuppercase[0x29 - 0x1E]), 0xC2);
    EXPECT_EQ(thirdrowlowercase[0x32 - 0x2C], 'm');
    EXPECT_EQ(thirdrowuppercase[0x35 - 0x2C], '?');
}
