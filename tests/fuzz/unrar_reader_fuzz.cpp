// Any bytes given to the archive reader end in entries, or in a fault after
// which it hands out nothing more: no crash, no unbounded memory, no endless
// loop.
#include "Paths.h"
#include "TarReader.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const char> bytes(reinterpret_cast<const char*>(data), size);
    unrar::TMemorySource source(bytes);
    auto stream = unrar::OpenArchiveStream(source, false);
    unrar::TTarReader reader(*stream);
    unrar::TTarEntry entry;
    std::vector<std::string> parts;
    while (reader.Next(entry)) {
        if (unrar::SplitSafePath(entry.Path, parts) == unrar::TPathVerdict::Ok)
            unrar::MaskSelects("*d?t*.*x", parts, true);
        while (!reader.ReadData().empty()) {
        }
    }
    if (reader.Fault() && (reader.Next(entry) || !reader.ReadData().empty())) __builtin_trap();
    return 0;
}
