// Every test of a host test program starts from the machine as at load: the
// fixed ranges zero, no device on the bus, each module of the program's
// deliverable back to its load-time state. So a program run whole gives the
// same verdicts as one test per process.
#pragma once

namespace testing_support {

// The deliverable's modules back to their load-time state: one definition in
// each test program.
void reset_modules();

} // namespace testing_support
