// The kernel's modules back to their load-time state before each test.
#include "fresh_state.h"
#include "kern/startup.h"

void testing_support::reset_modules() { kern::reset_modules(); }
