#include "text_screen.h"
#include "hw/machine.h"

namespace testing_support {

static const volatile uint8_t* cell(int r, int c)
{
    return reinterpret_cast<const volatile uint8_t*>(machine::TEXT_SCREEN) + 2 * (r * 80 + c);
}

uint8_t screen_char(int r, int c) { return cell(r, c)[0]; }
uint8_t screen_attr(int r, int c) { return cell(r, c)[1]; }

std::string screen_row(int r)
{
    std::string s;
    for (int c = 0; c < 80; c++)
        s.push_back(screen_char(r, c) ? static_cast<char>(screen_char(r, c)) : ' ');
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

std::vector<std::string> screen_rows()
{
    std::vector<std::string> rows;
    for (int r = 0; r < 25; r++)
        rows.push_back(screen_row(r));
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    return rows;
}

} // namespace testing_support
