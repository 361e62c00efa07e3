// The region allocator: regions are cut back to back from the heap, never
// freed, and each is recorded with its size and the source that asked.
#include "kern/memory.h"
#include "kern/string.h"

namespace kern {

const uint32_t NUMBER_BUFFER = 32;
const uint32_t REPORT_LINE = 128;

// The load-time value is the heap's start: nothing sets it before the first
// allocation.
static uint32_t heapPtr = HEAP_FIRST;
static uint32_t allocRegions;
static uint32_t allocSizes[MAX_REGIONS];
static int32_t allocLines[MAX_REGIONS];
static const char* allocFiles[MAX_REGIONS];
// Where warnings and reports go: the console, once the start-up says so.
static LineWriter writeLine;

static void say(const char* line) { write_line(writeLine, line); }

void Mem_SetOutput(LineWriter writer) { writeLine = writer; }

void Mem_Reset()
{
    heapPtr = HEAP_FIRST;
    allocRegions = 0;
    __builtin_memset(allocSizes, 0, sizeof allocSizes);
    __builtin_memset(allocLines, 0, sizeof allocLines);
    __builtin_memset(allocFiles, 0, sizeof allocFiles);
    writeLine = nullptr;
}

void Mem_EarlyInit() { allocRegions = 0; }

void* Mem_AllocRegion(uint32_t size, const char* file, int32_t line)
{
    if (size > HEAP_LAST - heapPtr) {
        say("WARNING: OUT OF MEMORY. CANNOT ALLOCATE REGION!!!");
        return nullptr;
    }
    if (allocRegions == MAX_REGIONS) {
        say("WARNING: TOO MANY REGIONS. CANNOT ALLOCATE REGION!!!");
        return nullptr;
    }
    uint32_t start = heapPtr;
    heapPtr += size;
    allocSizes[allocRegions] = size;
    allocLines[allocRegions] = line;
    allocFiles[allocRegions] = file;
    allocRegions++;
    return reinterpret_cast<void*>(start);
}

// Sizes beyond 2^31 cannot occur: the whole heap is 8 MiB.
static char* number(uint32_t value, char buffer[NUMBER_BUFFER])
{
    return putint(static_cast<int32_t>(value), buffer, NUMBER_BUFFER);
}

uint32_t mem_print_info(uint32_t, uint32_t)
{
    char size[NUMBER_BUFFER], used[NUMBER_BUFFER], left[NUMBER_BUFFER], regions[NUMBER_BUFFER];
    number(HEAP_SIZE, size);
    number(heapPtr - HEAP_FIRST, used);
    number(HEAP_LAST - heapPtr, left);
    number(allocRegions, regions);

    char line[REPORT_LINE];
    strcpy(size, line);
    strcat(" / ", line);
    strcat(used, line);
    strcat(" / ", line);
    strcat(left, line);
    strcat(" / ", line);
    strcat(regions, line);
    say("Heap Size / Used / Free / Regions");
    say(line);
    return 0;
}

// Appends as much of `text` as the line has room for.
static void append(const char* text, char line[REPORT_LINE])
{
    int32_t n = strlen(line);
    for (const char* p = text; *p != 0 && n < static_cast<int32_t>(REPORT_LINE) - 1; p++)
        line[n++] = *p;
    line[n] = 0;
}

// Each region's line is built whole and written once, so that its serial
// copy also goes out as one line.
uint32_t mem_print_regions(uint32_t, uint32_t)
{
    char text[NUMBER_BUFFER];
    char line[REPORT_LINE];
    for (uint32_t i = 0; i < allocRegions; i++) {
        line[0] = 0;
        append(number(allocSizes[i], text), line);
        append("b by ", line);
        append(allocFiles[i], line);
        append(":", line);
        append(putint(allocLines[i], text, NUMBER_BUFFER), line);
        say(line);
    }
    return 0;
}

uint32_t Mem_HeapPtr() { return heapPtr; }
uint32_t Mem_Regions() { return allocRegions; }

} // namespace kern
