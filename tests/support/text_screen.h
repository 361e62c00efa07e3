// Reading the 80x25 text screen at 0xB8000 in tests.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

namespace testing_support {

// Row r's characters, trailing blanks (character 0 or space) removed;
// character 0 elsewhere reads as a space.
std::string screen_row(int r);
// Rows 0 to 24 as screen_row gives them, trailing empty rows removed.
std::vector<std::string> screen_rows();
uint8_t screen_char(int r, int c);
uint8_t screen_attr(int r, int c);

} // namespace testing_support
