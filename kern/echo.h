// The serial terminal's view of the console's input line: the prompt when
// the console is ready for input, each character as it is typed, erasures,
// and a recalled command in place of the line being typed. What it shows
// is kept here, so that every change goes out as the fewest bytes: an
// unedited line reads ">" + the line + "\n", as in a log.
//
// Frame loop only; every byte goes out through Serial_Outb.
#pragma once

namespace kern {

// Shows the prompt (and what the terminal showed of the line before it was
// taken off) unless it is shown.
void Echo_Prompt();
// Brings the terminal's line to `line` (the prompt and the typed text).
void Echo_Show(const char* line);
// The shown line was run or given up: a line feed ends it, no prompt shown.
void Echo_End();
// Takes the prompt line off the terminal so that other output starts at the
// left edge; Echo_Prompt draws it again.
void Echo_Clear();

// For tests: back to the state at load (no prompt shown).
void Echo_Reset();

} // namespace kern
