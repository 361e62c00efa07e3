// The serial terminal's copy of the input line.
#include "kern/echo.h"
#include "kern/input.h"
#include "kern/serial.h"
#include "kern/string.h"

namespace kern {

// Erases the character left of the cursor on any terminal: back, blank it, back.
const char ERASE_ONE[] = "\b \b";
// Carriage return, then erase to the end of the line (ANSI EL).
const char ERASE_LINE[] = "\r\x1b[K";

static int prompt_shown;
static char shown[LINE_BYTES];   // the text after the prompt on the terminal

void Echo_Reset()
{
    prompt_shown = 0;
    __builtin_memset(shown, 0, sizeof shown);
}

void Echo_Prompt()
{
    if (prompt_shown)
        return;
    Serial_Outb(INPUT_PROMPT);
    Serial_Write(shown);
    prompt_shown = 1;
}

// One character erased goes back over it; more, and the line is drawn
// anew, which costs fewer bytes than erasing them one by one.
void Echo_Show(const char* line)
{
    const char* text = line + 1;
    Echo_Prompt();
    int same = 0;
    while (shown[same] != 0 && shown[same] == text[same])
        same++;
    int erased = strlen(shown) - same;
    if (erased > 1) {
        Serial_Write(ERASE_LINE);
        Serial_Outb(INPUT_PROMPT);
        same = 0;
    } else if (erased == 1) {
        Serial_Write(ERASE_ONE);
    }
    Serial_Write(text + same);
    strcpy(text, shown);
}

void Echo_End()
{
    if (prompt_shown)
        Serial_Outb('\n');
    prompt_shown = 0;
    shown[0] = 0;
}

void Echo_Clear()
{
    if (!prompt_shown)
        return;
    Serial_Write(ERASE_LINE);
    prompt_shown = 0;
}

} // namespace kern
