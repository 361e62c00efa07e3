// The kernel image's ELF entry: the boot environment's last step. The loader
// calls it like any kernel entry; it switches the display from the loader's
// text mode to 320x200x256 with the standard palette and goes on to the
// kernel's own entry, start, which never returns.
#include "boot/vga.h"

extern "C" void start();

extern "C" void kernel_handover()
{
    vga_enter_graphics();
    vga_load_palette();
    start();
}
