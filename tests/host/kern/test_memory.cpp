// The region allocator and the texture heap: the start-up regions, the two
// reports on the console and its serial copy, exhaustion and the record limit.
#include <gtest/gtest.h>

#include <string>

#include "fake_uart.h"
#include "hw_host.h"
#include "kern/command.h"
#include "kern/console.h"
#include "kern/video/font.h"
#include "kern/commands.h"
#include "kern/memory.h"
#include "kern/serial.h"
#include "kern/startup.h"
#include "kern/texture.h"

using namespace kern;

namespace {

const char* const OUT_OF_MEMORY = "WARNING: OUT OF MEMORY. CANNOT ALLOCATE REGION!!!";
const char* const TOO_MANY = "WARNING: TOO MANY REGIONS. CANNOT ALLOCATE REGION!!!";

size_t serialMark;

void console_only()
{
    hwsim::reset();
    hwsim::uart_attach();
    Serial_Initialize();
    Mem_EarlyInit();
    Mem_SetOutput(Console_WriteLine);
    Console_Init();
}

// The kernel's start-up, as far as the heap and its users go.
void standard_startup()
{
    hwsim::reset();
    hwsim::uart_attach();
    start_modules();
    Commands_RegisterAll();
}

void mark_serial() { serialMark = hwsim::uart_output().size(); }
std::string serial_since_mark() { return hwsim::uart_output().substr(serialMark); }

uint32_t address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

} // namespace

TEST(Memory, StartupRegionsLieBackToBackFromTheOddFirstByte)
{
    standard_startup();
    EXPECT_EQ(Mem_Regions(), 2u);
    EXPECT_EQ(address(data_offsets), 0xC0402FFFu);       // after the command table at 0xC03FFFFF
    EXPECT_EQ(address(texture_heap_begin), 0xC04031FFu);
    EXPECT_EQ(texture_heap_allocb, 0u);
    EXPECT_EQ(Mem_HeapPtr(), 0xC05031FFu);
}

TEST(Memory, FirstRegionStartsOneByteBelowTheMegabyte)
{
    console_only();
    EXPECT_EQ(Mem_HeapPtr(), 0xC03FFFFFu);   // the load-time value, untouched by Mem_EarlyInit
    EXPECT_EQ(address(Mem_AllocRegion(0x3000, "./a", 1)), 0xC03FFFFFu);
    EXPECT_EQ(address(Mem_AllocRegion(16, "./b", 2)), 0xC0402FFFu);
    EXPECT_EQ(address(Mem_AllocRegion(0, "./c", 3)), 0xC040300Fu);
    EXPECT_EQ(Mem_Regions(), 3u);
}

TEST(Memory, EarlyInitForgetsTheRecordsButNotThePointer)
{
    console_only();
    Mem_AllocRegion(100, "./a", 1);
    Mem_EarlyInit();
    EXPECT_EQ(Mem_Regions(), 0u);
    EXPECT_EQ(Mem_HeapPtr(), 0xC03FFFFFu + 100);
}

TEST(Meminfo, ReportsTotalsAfterTheStandardStartup)
{
    standard_startup();
    mark_serial();
    Command_Fire("meminfo", 0, 0);
    EXPECT_STREQ(Console_Line(1), "Heap Size / Used / Free / Regions");
    EXPECT_STREQ(Console_Line(0), "8388608 / 1061376 / 7327232 / 2");
    EXPECT_EQ(serial_since_mark(), "Heap Size / Used / Free / Regions\n8388608 / 1061376 / 7327232 / 2\n");
}

TEST(Memregion, ReportsEachRegionOldestFirst)
{
    standard_startup();
    mark_serial();
    Command_Fire("memregion", 0, 0);
    EXPECT_STREQ(Console_Line(1), "12288b by ./kern/command:28");
    EXPECT_STREQ(Console_Line(0), "1049088b by ./kern/texture:13");
    // Each line goes out whole, ended by its line feed.
    EXPECT_EQ(serial_since_mark(), "12288b by ./kern/command:28\n1049088b by ./kern/texture:13\n");
}

TEST(Memregion, PrintsNothingWithoutRegions)
{
    console_only();
    mark_serial();
    std::string newest = Console_Line(0);
    mem_print_regions(0, 0);
    EXPECT_EQ(Console_Line(0), newest);
    EXPECT_EQ(serial_since_mark(), "");
}

TEST(Memory, ExactlyTheFreeSpaceFitsAndThenOnlyEmptyRegionsDo)
{
    standard_startup();
    EXPECT_EQ(address(Mem_AllocRegion(7327232, "./big", 1)), 0xC05031FFu);
    EXPECT_EQ(Mem_HeapPtr(), 0xC0BFFFFFu);
    Command_Fire("meminfo", 0, 0);
    EXPECT_STREQ(Console_Line(0), "8388608 / 8388608 / 0 / 3");

    mark_serial();
    EXPECT_EQ(Mem_AllocRegion(1, "./more", 2), nullptr);
    EXPECT_STREQ(Console_Line(0), OUT_OF_MEMORY);
    EXPECT_EQ(serial_since_mark(), std::string(OUT_OF_MEMORY) + "\n");
    EXPECT_EQ(Mem_Regions(), 3u);
    EXPECT_EQ(Mem_HeapPtr(), 0xC0BFFFFFu);

    EXPECT_EQ(address(Mem_AllocRegion(0, "./empty", 3)), 0xC0BFFFFFu);
    EXPECT_EQ(Mem_Regions(), 4u);
}

TEST(Memory, OversizedRequestsChangeNothing)
{
    console_only();
    for (uint32_t size : {HEAP_SIZE + 1, 0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Mem_AllocRegion(size, "./huge", 1), nullptr) << size;
        EXPECT_STREQ(Console_Line(0), OUT_OF_MEMORY);
    }
    EXPECT_EQ(Mem_Regions(), 0u);
    EXPECT_EQ(Mem_HeapPtr(), HEAP_FIRST);
    // The whole heap in one region still fits.
    EXPECT_EQ(address(Mem_AllocRegion(HEAP_SIZE, "./all", 2)), HEAP_FIRST);
}

TEST(Memory, AThirtyThirdRegionIsRefusedNotRecordedPastTheTable)
{
    console_only();
    for (int i = 0; i < 32; i++)
        ASSERT_NE(Mem_AllocRegion(1, "./small", i), nullptr) << i;
    mark_serial();
    EXPECT_EQ(Mem_AllocRegion(1, "./one-too-many", 99), nullptr);
    EXPECT_STREQ(Console_Line(0), TOO_MANY);
    EXPECT_EQ(serial_since_mark(), std::string(TOO_MANY) + "\n");
    EXPECT_EQ(Mem_Regions(), 32u);
    EXPECT_EQ(Mem_HeapPtr(), HEAP_FIRST + 32);

    mark_serial();
    mem_print_regions(0, 0);
    std::string report = serial_since_mark();
    EXPECT_EQ(report.substr(0, 16), "1b by ./small:0\n");
    EXPECT_EQ(report.substr(report.size() - 17), "1b by ./small:31\n");
    EXPECT_EQ(report.find("one-too-many"), std::string::npos);
}

TEST(Texture, LoadAlwaysFails)
{
    standard_startup();
    EXPECT_EQ(Texture_Load(), -1);
    EXPECT_EQ(Texture_Load(), -1);
}

TEST(Texture, WithoutItsRegionTheHeapStaysAbsent)
{
    console_only();
    Mem_AllocRegion(HEAP_SIZE - 100, "./most", 1);
    Texture_Init();
    EXPECT_EQ(data_offsets, nullptr);
    EXPECT_EQ(texture_heap_begin, nullptr);
    EXPECT_STREQ(Console_Line(0), OUT_OF_MEMORY);
}
