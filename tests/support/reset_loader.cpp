// The loader's modules back to their load-time state before each test.
#include "fresh_state.h"
#include "stage4/biosdisk.h"
#include "stage4/serial.h"
#include "stage4/term.h"

void testing_support::reset_modules()
{
    loader::serialReset();
    loader::termReset();
    loader::biosDiskReset();
}
