// System volumes for QEMU tests: the boot environment in the boot sector and
// reserved sectors, like the real disk image, with any files in the root.
#pragma once
#include <string>
#include <vector>

#include "qemu.h"
#include "volume.h"

namespace system_volumes {

// Writes the volume (1.44 MB unless `kilobytes` says otherwise) to a
// scratch file and returns its path.
std::string make(const std::vector<testing_support::VolumeFile>& files, const std::string& name,
                 int kilobytes = 1440);

// Writes the boot environment into a volume made by other tools, around its
// BPB and into its reserved sectors (it needs the system volume's count of
// them): the boot sector's code, then the boot stages from sector 1.
void install_boot(const std::string& path);

// Patches bytes of a volume file in place (to craft names mtools won't write).
void patch(const std::string& path, size_t offset, const testing_support::Bytes& bytes);

// Byte offset of the root directory of a volume, from its boot sector.
size_t root_directory_offset(const std::string& path);

// The 80x25 text screen of a machine, one string per row without trailing
// blanks, trailing empty rows removed.
std::vector<std::string> text_screen(qemu::Machine& m);

// Boots a volume, attached as `medium` (qemu::Options), that must end in
// the loader's halt and returns its text screen. Expects (gtest) the halt within `seconds`, inside the seam's
// hlt() called from the loader's stop(), so the loader is intact, and the
// serial line to end with the screen's text.
std::vector<std::string> boot_to_loader_halt(const std::string& disk, double seconds,
                                             const std::string& medium = "ide");

} // namespace system_volumes
