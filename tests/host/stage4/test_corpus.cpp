// Every volume of the loader's fuzz corpus (fuzz/corpus, listed with its
// outcome in fuzz/corpus.txt) ends as listed: in its "ERROR:" line and the
// halt with nothing placed in the kernel range and the loader's own range
// untouched, or, for the sound ones, in the kernel's entry. The serial line
// carries the screen's text, line for line.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "fake_ata.h"
#include "fake_uart.h"
#include "fixed_memory.h"
#include "hw_host.h"
#include "stage4/st4.h"
#include "stage4/term.h"
#include "text_screen.h"
#include "volume.h"

using namespace testing_support;

namespace {

struct CorpusVolume {
    std::string file;
    std::string outcome;   // the "ERROR:" line, or "ENTER 0x..."
};

// Names the volume in test listings.
void PrintTo(const CorpusVolume& v, std::ostream* os) { *os << v.file; }

std::vector<CorpusVolume> corpus()
{
    std::vector<CorpusVolume> list;
    std::ifstream in(FUZZ_DIR "/corpus.txt");
    std::string line;
    while (std::getline(in, line)) {
        size_t tab = line.find('\t');
        if (tab != std::string::npos)
            list.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return list;
}

std::string test_name(const testing::TestParamInfo<CorpusVolume>& info)
{
    std::string name = info.param.file.substr(0, info.param.file.find('.'));
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

const uint32_t LOADER_IMAGE = machine::LOADER_BASE;
const uint32_t LOADER_IMAGE_SIZE = 0x3000;
const uint8_t LOADER_FILL = 0x55;
const uint8_t KERNEL_FILL = 0xAA;

// The first address in [start, start + size) that does not hold `fill`, or 0.
uint32_t first_changed(uint32_t start, uint32_t size, uint8_t fill)
{
    for (uint32_t i = 0; i < size; i++)
        if (*fixed(start + i) != fill)
            return start + i;
    return 0;
}

// The screen's rows as the serial line carries them: a newline after each,
// control bytes as '?'.
std::string serial_text(const std::vector<std::string>& rows)
{
    std::string text;
    for (const std::string& row : rows) {
        for (char c : row) {
            uint8_t b = static_cast<uint8_t>(c);
            text.push_back(b < 0x20 || (b >= 0x7F && b < 0xA0) ? '?' : c);
        }
        text.push_back('\n');
    }
    return text;
}

class Corpus : public testing::TestWithParam<CorpusVolume> {};

} // namespace

TEST(CorpusList, HoldsEveryVolumeOfTheCorpusDirectory)
{
    std::set<std::string> listed, present;
    for (const CorpusVolume& v : corpus())
        listed.insert(v.file);
    DIR* dir = opendir(FUZZ_DIR "/corpus");
    ASSERT_NE(dir, nullptr);
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.')
            present.insert(e->d_name);
    closedir(dir);
    EXPECT_GE(listed.size(), 30u);
    EXPECT_EQ(listed, present);
}

TEST_P(Corpus, EndsAsListed)
{
    const CorpusVolume& v = GetParam();
    Bytes disk = read_file(FUZZ_DIR "/corpus/" + v.file);
    std::memset(fixed(LOADER_IMAGE), LOADER_FILL, LOADER_IMAGE_SIZE);
    std::memset(fixed(loader::KERNEL_BASE), KERNEL_FILL,
                loader::BOOT_STACK_BOTTOM - loader::KERNEL_BASE);
    hwsim::reset();
    hwsim::set_tracing(false);
    hwsim::ata_attach(disk);
    hwsim::uart_attach();
    loader::clearScreen();

    uint32_t entered = 0;
    bool halted = false;
    try {
        st4main();
    } catch (const hwsim::Entry& e) {
        entered = e.address;
    } catch (const hwsim::Halt& h) {
        EXPECT_FALSE(h.interrupts_enabled);
        halted = true;
    }

    std::vector<std::string> rows = screen_rows();
    std::vector<std::string> errors;
    size_t error_row = 0;
    for (size_t i = 0; i < rows.size(); i++)
        if (rows[i].compare(0, 6, "ERROR:") == 0) {
            errors.push_back(rows[i]);
            error_row = i;
        }
    EXPECT_EQ(first_changed(LOADER_IMAGE, LOADER_IMAGE_SIZE, LOADER_FILL), 0u);
    // A screen that scrolled shows the serial line's last lines.
    const std::string& serial = hwsim::uart_output();
    std::string shown = serial_text(rows);
    if (std::count(serial.begin(), serial.end(), '\n') < loader::TERM_ROWS)
        EXPECT_EQ(serial, shown);
    else
        EXPECT_EQ(serial.substr(serial.size() - std::min(serial.size(), shown.size())), shown);

    if (v.outcome.compare(0, 6, "ENTER ") == 0) {
        EXPECT_EQ(entered, std::stoul(v.outcome.substr(6), nullptr, 16));
        EXPECT_TRUE(errors.empty()) << errors[0];
        return;
    }
    ASSERT_TRUE(halted) << "entered " << std::hex << entered;
    EXPECT_EQ(errors, std::vector<std::string>{v.outcome});
    // The error line, for a bad magic the line of what was found, a blank
    // line and the halt line end the screen.
    size_t after = v.outcome == "ERROR: ELF_MAGIC BORKED" ? 4 : 3;
    EXPECT_EQ(rows.size() - error_row, after);
    EXPECT_EQ(rows.back(), "Nothing left to do. Halt.");
    EXPECT_EQ(first_changed(loader::KERNEL_BASE, loader::BOOT_STACK_BOTTOM - loader::KERNEL_BASE,
                            KERNEL_FILL), 0u);
}

INSTANTIATE_TEST_SUITE_P(Loader, Corpus, testing::ValuesIn(corpus()), test_name);
