// The boot hand-over keeps no state of its own.
#include "fresh_state.h"

void testing_support::reset_modules() {}
