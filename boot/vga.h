// Puts the VGA into 320x200x256 (chain-4, linear at 0xA0000) without the
// BIOS, and loads the standard palette. Part of the boot environment: the
// system itself never programs the display.
#pragma once

void vga_enter_graphics();
void vga_load_palette();
