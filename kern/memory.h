// The region allocator: a never-freeing bump allocator over the 8 MiB heap
// from 0xC03FFFFF, each region recorded with its size and requester.
#pragma once
#include <stdint.h>
#include "hw/machine.h"
#include "kern/lines.h"

namespace kern {

const uint32_t HEAP_FIRST = machine::HEAP_FIRST;
const uint32_t HEAP_LAST = machine::HEAP_LAST;
const uint32_t HEAP_SIZE = 0x800000;
const uint32_t MAX_REGIONS = 32;

void Mem_EarlyInit();
// The region's address, or null (with a warning line) when it does not fit
// or when MAX_REGIONS regions are already recorded.
// `file` is kept by pointer: pass a constant text.
void* Mem_AllocRegion(uint32_t size, const char* file, int32_t line);
// Where the allocator's warnings and the reports below are written, a line
// at a time (the console, set by the start-up); nowhere until set.
void Mem_SetOutput(LineWriter writer);

// The "meminfo" and "memregion" commands: the heap's use, and one line per
// region with its size and who asked for it.
uint32_t mem_print_info(uint32_t first, uint32_t second);
uint32_t mem_print_regions(uint32_t first, uint32_t second);

// For tests: the next free byte and the number of regions recorded.
uint32_t Mem_HeapPtr();
uint32_t Mem_Regions();

// For tests: back to the state at load, before any set-up.
void Mem_Reset();

} // namespace kern
