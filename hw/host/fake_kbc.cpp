#include "fake_kbc.h"
#include "hw_host.h"

#include <deque>

namespace hwsim {
namespace {

const uint8_t OUTPUT_FULL = 0x01;

std::deque<uint8_t> queue;
uint8_t last;

} // namespace

void kbc_attach(const std::vector<uint8_t>& waiting)
{
    queue.assign(waiting.begin(), waiting.end());
    last = 0;
    on_in(machine::KBC_STATUS, [](uint16_t) -> uint16_t { return queue.empty() ? 0 : OUTPUT_FULL; });
    on_in(machine::KBC_DATA, [](uint16_t) -> uint16_t {
        if (!queue.empty()) {
            last = queue.front();
            queue.pop_front();
        }
        return last;
    });
}

size_t kbc_waiting() { return queue.size(); }

} // namespace hwsim
