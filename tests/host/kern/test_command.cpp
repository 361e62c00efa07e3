// The command registry: hashed names, first match wins, use counts, the
// built-in commands, and the table's capacity.
#include <gtest/gtest.h>

#include <string>

#include "fake_uart.h"
#include "hw_host.h"
#include "kern/command.h"
#include "kern/commands.h"
#include "kern/console.h"
#include "kern/memory.h"
#include "kern/serial.h"
#include "kern/startup.h"
#include "kern/texture.h"

using namespace kern;

namespace {

const char* const NOT_FOUND = "Command not found.";
const char* const TABLE_FULL = "WARNING: COMMAND TABLE FULL. CANNOT REGISTER COMMAND!!!";
const uint32_t TABLE = machine::HEAP_FIRST;   // the first heap region

uint32_t probeFirst, probeSecond;
int probeCalls;

uint32_t probe(uint32_t first, uint32_t second)
{
    probeFirst = first;
    probeSecond = second;
    probeCalls++;
    return 0;
}

const char* const KERNEL_COMMANDS[] = {"help", "clear", "meminfo", "memregion", "test", "cull",
                                       "model", "view", "perspective", "home", "fps", "orbit"};
const int KERNEL_COUNT = 12;

// The table as the running kernel has it.
void standard_table()
{
    probeCalls = 0;
    hwsim::reset();
    hwsim::uart_attach();
    start_modules();
    Commands_RegisterAll();
}

uint32_t read32(uint32_t address)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(address);
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

TEST(Command, HelpAnswersAndCountsEachUse)
{
    standard_table();
    size_t mark = hwsim::uart_output().size();
    Command_Fire("help", 0, 0);
    EXPECT_STREQ(Console_Line(0), "Nobody is coming to help you.");
    EXPECT_EQ(Command_Uses(0), 1);
    Command_Fire("help", 0, 0);
    EXPECT_EQ(Command_Uses(0), 2);
    EXPECT_EQ(hwsim::uart_output().substr(mark),
              "Nobody is coming to help you.\nNobody is coming to help you.\n");
}

TEST(Command, TheWholeTextIsTheName)
{
    standard_table();
    for (const char* name : {"help ", " help", "HELP", "", "hel", "help clear"}) {
        Console_WriteLine("marker");
        Command_Fire(name, 0, 0);
        EXPECT_STREQ(Console_Line(0), NOT_FOUND) << '"' << name << '"';
        EXPECT_STREQ(Console_Line(1), "marker");
    }
    for (int i = 0; i < Command_Count(); i++)
        EXPECT_EQ(Command_Uses(i), 0) << i;
}

TEST(Command, ClearEmptiesTheHistory)
{
    standard_table();
    Console_WriteLine("something");
    Command_Fire("clear", 0, 0);
    for (int i = 0; i < CONSOLE_LINES; i++)
        EXPECT_STREQ(Console_Line(i), "") << i;
    EXPECT_EQ(Command_Uses(1), 1);
}

TEST(Command, StandardTableIsInRegistrationOrder)
{
    standard_table();
    EXPECT_EQ(Command_Count(), KERNEL_COUNT);
    for (int i = 0; i < KERNEL_COUNT; i++) {
        Command_Fire(KERNEL_COMMANDS[i], 0, 0);
        EXPECT_EQ(Command_Uses(i), 1) << KERNEL_COMMANDS[i];
    }
}

TEST(Command, TableLivesInItsRegionAsHashesHandlersAndUses)
{
    standard_table();
    Command_Fire("clear", 0, 0);
    Command_Fire("clear", 0, 0);
    EXPECT_EQ(read32(TABLE), 0x52DF4AF5u);            // "help"
    EXPECT_EQ(read32(TABLE + 4), 0x21B6C7E8u);        // "clear"
    EXPECT_EQ(read32(TABLE + 16), 0xAA22D41Au);       // "test"
    EXPECT_EQ(read32(TABLE + 0x1000 + 16), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&testcmd)));
    EXPECT_EQ(read32(TABLE + 0x2000 + 4), 2u);
    EXPECT_EQ(read32(TABLE + 0x2000), 0u);
}

TEST(Command, PassesBothArgumentsThrough)
{
    standard_table();
    EXPECT_EQ(Command_Register("probe", probe), KERNEL_COUNT);
    Command_Fire("probe", 0xDEADBEEF, 7);
    EXPECT_EQ(probeCalls, 1);
    EXPECT_EQ(probeFirst, 0xDEADBEEFu);
    EXPECT_EQ(probeSecond, 7u);
}

TEST(Command, TheFirstEntryOfAHashWins)
{
    standard_table();
    EXPECT_EQ(Command_Register("help", probe), KERNEL_COUNT);
    EXPECT_EQ(Command_Count(), KERNEL_COUNT + 1);
    Command_Fire("help", 0, 0);
    EXPECT_EQ(probeCalls, 0);
    EXPECT_STREQ(Console_Line(0), "Nobody is coming to help you.");
    EXPECT_EQ(Command_Uses(0), 1);
    EXPECT_EQ(Command_Uses(KERNEL_COUNT), 0);
}

TEST(Command, A1025thCommandIsRefusedWithinTheRegion)
{
    standard_table();
    uint8_t* afterTable = reinterpret_cast<uint8_t*>(TABLE + 0x3000);
    uint8_t sentinel = afterTable[0];
    afterTable[0] = 0xA5;
    for (int i = Command_Count(); i < COMMAND_CAPACITY; i++)
        ASSERT_EQ(Command_Register("filler", probe), i);
    size_t mark = hwsim::uart_output().size();
    EXPECT_EQ(Command_Register("one-too-many", probe), -1);
    EXPECT_STREQ(Console_Line(0), TABLE_FULL);
    EXPECT_EQ(hwsim::uart_output().substr(mark), std::string(TABLE_FULL) + "\n");
    EXPECT_EQ(Command_Count(), COMMAND_CAPACITY);
    EXPECT_EQ(afterTable[0], 0xA5);   // the texture heap's first byte
    afterTable[0] = sentinel;
    Command_Fire("one-too-many", 0, 0);
    EXPECT_STREQ(Console_Line(0), NOT_FOUND);
}

TEST(Command, WithoutItsRegionTheTableHoldsNothing)
{
    hwsim::reset();
    hwsim::uart_attach();
    Serial_Initialize();
    Mem_EarlyInit();
    Console_Init();
    Mem_AllocRegion(HEAP_SIZE, "./all", 1);
    Command_SetOutput(Console_WriteLine);
    Command_Init();
    Commands_RegisterAll();
    EXPECT_EQ(Command_Count(), 0);
    EXPECT_STREQ(Console_Line(0), TABLE_FULL);
    Command_Fire("help", 0, 0);
    EXPECT_STREQ(Console_Line(0), NOT_FOUND);
}
