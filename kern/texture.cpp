// The texture heap: one region reserved at start-up, a 512-byte table of
// texture data offsets followed by 1 MiB of texture data.
#include "kern/texture.h"
#include "kern/memory.h"

namespace kern {

const uint32_t TEXTURE_REGION_BYTES = TEXTURE_TABLE_BYTES + TEXTURE_DATA_BYTES;
const int32_t TEXTURE_LOAD_FAILED = -1;

uint8_t* data_offsets;
uint8_t* texture_heap_begin;
uint32_t texture_heap_allocb;

void Texture_Reset()
{
    data_offsets = nullptr;
    texture_heap_begin = nullptr;
    texture_heap_allocb = 0;
}

void Texture_Init()
{
    texture_heap_allocb = 0;
    data_offsets = static_cast<uint8_t*>(Mem_AllocRegion(TEXTURE_REGION_BYTES, "./kern/texture", 13));
    // Without its region the heap stays absent rather than pointing at 512.
    texture_heap_begin = data_offsets != nullptr ? data_offsets + TEXTURE_TABLE_BYTES : nullptr;
}

// No texture format is known to the kernel: every load fails.
int32_t Texture_Load() { return TEXTURE_LOAD_FAILED; }

} // namespace kern
