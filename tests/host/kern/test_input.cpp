// The console's input line with its recall list, and the serial decoder,
// driven by plain byte sequences.
#include <gtest/gtest.h>

#include <string>

#include "kern/input.h"
#include "kern/keyboard.h"

using namespace kern;

namespace {

void keys(const std::string& text)
{
    for (char c : text)
        Input_Key(static_cast<uint8_t>(c));
}

// Types a line and enters it.
void enter(const std::string& text)
{
    keys(text);
    Input_Commit();
}

std::string line() { return Input_Line(); }

// The characters a run of serial bytes decodes to, 0s left out.
std::string decode(SerialDecoder& d, const std::string& bytes)
{
    std::string out;
    for (char c : bytes) {
        uint8_t ch = serial_decode(d, static_cast<uint8_t>(c));
        if (ch != 0)
            out.push_back(static_cast<char>(ch));
    }
    return out;
}

std::string decode(const std::string& bytes)
{
    SerialDecoder d = {};
    return decode(d, bytes);
}

const std::string UP(1, static_cast<char>(CH_UP));
const std::string DOWN(1, static_cast<char>(CH_DOWN));
const std::string PAGE_UP(1, static_cast<char>(CH_PAGE_UP));
const std::string PAGE_DOWN(1, static_cast<char>(CH_PAGE_DOWN));

} // namespace

TEST(InputLine, TypesErasesAndStopsAtSeventyNine)
{
    Input_Init();
    EXPECT_EQ(line(), ">");
    keys("ab\b\bc\b\b\bd\t\x1b");
    EXPECT_EQ(line(), ">d");
    EXPECT_EQ(Input_Index(), 2);
    keys(std::string(90, 'x'));
    EXPECT_EQ(line(), ">d" + std::string(78, 'x'));
    EXPECT_EQ(Input_Index(), 80);
}

TEST(InputLine, CommitStartsAnEmptyLine)
{
    Input_Init();
    enter("help");
    EXPECT_EQ(line(), ">");
    EXPECT_EQ(Input_Index(), 1);
}

TEST(Recall, UpStepsBackThroughCommandsAndStopsAtTheOldest)
{
    Input_Init();
    enter("one");
    enter("two");
    enter("three");
    keys(UP);
    EXPECT_EQ(line(), ">three");
    EXPECT_EQ(Input_Index(), 6);
    keys(UP);
    EXPECT_EQ(line(), ">two");
    keys(UP + UP + UP);
    EXPECT_EQ(line(), ">one");
    keys(DOWN);
    EXPECT_EQ(line(), ">two");
}

TEST(Recall, DownPastTheNewestGivesBackTheHalfTypedLine)
{
    Input_Init();
    enter("one");
    keys("half");
    keys(UP);
    EXPECT_EQ(line(), ">one");
    keys(DOWN);
    EXPECT_EQ(line(), ">half");
    keys(DOWN);   // nothing newer
    EXPECT_EQ(line(), ">half");
    keys("way");
    EXPECT_EQ(line(), ">halfway");
}

TEST(Recall, NothingToRecallLeavesTheLineAlone)
{
    Input_Init();
    keys("abc" + UP + DOWN);
    EXPECT_EQ(line(), ">abc");
}

TEST(Recall, EmptyLinesAreNotKeptAndARecalledCommandBecomesTheNewest)
{
    Input_Init();
    enter("one");
    enter("two");
    enter("");
    keys(UP + UP);
    EXPECT_EQ(line(), ">one");
    Input_Commit();
    keys(UP);
    EXPECT_EQ(line(), ">one");
    keys(UP);
    EXPECT_EQ(line(), ">two");
}

TEST(Recall, AnEditedRecallIsKeptAsANewCommand)
{
    Input_Init();
    enter("view");
    keys(UP + "\b\b\b\bcull");
    Input_Commit();
    keys(UP);
    EXPECT_EQ(line(), ">cull");
    keys(UP);
    EXPECT_EQ(line(), ">view");
}

TEST(Recall, KeepsTheLastSixteenCommands)
{
    Input_Init();
    for (int i = 0; i < 20; i++)
        enter("c" + std::to_string(i));
    for (int i = 0; i < 20; i++)
        keys(UP);
    EXPECT_EQ(line(), ">c4");
    keys(DOWN);
    EXPECT_EQ(line(), ">c5");
}

TEST(Recall, InitForgetsEveryCommand)
{
    Input_Init();
    enter("one");
    Input_Init();
    keys(UP);
    EXPECT_EQ(line(), ">");
}

TEST(SerialDecoder, PrintablesPassEnterAndErasingMapToTheKeyboardsCharacters)
{
    EXPECT_EQ(decode("help me ~"), "help me ~");
    EXPECT_EQ(decode("a\rb\nc"), "a\nb\nc");
    EXPECT_EQ(decode("x\by\x7f"), "x\by\b");
    EXPECT_EQ(decode(std::string("\x01\t\x0c\x80\xff", 5)), "");
}

TEST(SerialDecoder, ACrLfPairIsOneEnterOtherRunsAreOneEach)
{
    EXPECT_EQ(decode("a\r\nb"), "a\nb");
    EXPECT_EQ(decode("\r\r\n\n"), "\n\n\n");
    EXPECT_EQ(decode("\n\r"), "\n\n");
    SerialDecoder d = {};
    EXPECT_EQ(decode(d, "cull\r"), "cull\n");
    EXPECT_EQ(decode(d, "\nview\r\n"), "view\n");   // the pair split between two reads
}

TEST(SerialDecoder, CursorAndPageSequencesRecallAndPage)
{
    EXPECT_EQ(decode("\x1b[A\x1b[B"), UP + DOWN);
    EXPECT_EQ(decode("\x1bOA\x1bOB"), UP + DOWN);       // application cursor mode
    EXPECT_EQ(decode("\x1b[5~\x1b[6~"), PAGE_UP + PAGE_DOWN);
    EXPECT_EQ(decode("\x1b[1;5A"), UP);                 // with a modifier
}

TEST(SerialDecoder, OtherSequencesAreSwallowedWhole)
{
    EXPECT_EQ(decode("a\x1b[C\x1b[D\x1b[3~\x1b[15~\x1b[?25hb"), "ab");
    EXPECT_EQ(decode("\x1b[56~\x1b[255~\x1bOP"), "");
}

TEST(SerialDecoder, ALoneEscapeNeverReachesTheConsole)
{
    EXPECT_EQ(decode("\x1b"), "");
    EXPECT_EQ(decode("\x1bx"), "x");
    EXPECT_EQ(decode("\x1b\x1b[A"), UP);
    EXPECT_EQ(decode("\x1b[\r"), "\n");   // a broken sequence, then Enter
    EXPECT_EQ(decode("\x1b[5\x7f"), "\b");
}
