// The texture heap: one region reserved at start-up for texture data.
#pragma once
#include <stdint.h>

namespace kern {

const uint32_t TEXTURE_TABLE_BYTES = 512;
const uint32_t TEXTURE_DATA_BYTES = 0x100000;

extern uint8_t* data_offsets;
extern uint8_t* texture_heap_begin;
extern uint32_t texture_heap_allocb;

void Texture_Init();
int32_t Texture_Load();

// For tests: back to the state at load, before any set-up.
void Texture_Reset();

} // namespace kern
