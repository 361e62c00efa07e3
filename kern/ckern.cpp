// Kernel start-up, the built-in scene and the frame loop.
#include "kern/ckern.h"

void kmain()
{
}
