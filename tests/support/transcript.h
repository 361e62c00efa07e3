// What the kernel says on its serial line from power-on to its first frame.
#pragma once
#include <string>

namespace testing_support {

const std::string STARTUP_LINES =
    "Bare metal x86 32-bit 3d renderer Brindlewort v0.0.6\n"
    "Written by the Brindlewort kernel team\n"
    "Backface culling ENABLED\n"
    "Model transform matrix ENABLED\n"
    "View vector/matrix transform ENABLED\n"
    "Perspective projection ENABLED\n"
    "REMEMBER! You only have 4MiB for your kernel before you clobber the stack!\n"
    "Also 8MiB of allocable memory after the stack!\n";

} // namespace testing_support
