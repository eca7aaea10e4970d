// The sparse maps of all four GNU forms, from any bytes: each ends in the
// reader's fault or in pieces that rise, stay inside the file and add up to
// the data stored, and the entry after it is still read.
#include "TarReader.h"
#include "unit/unrar_tar_builder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

using unrar_test::TTarBuilder;

namespace {

// Input: form, eight bytes of real size, two of data length, then the map:
// raw header bytes from offset 386 on (old GNU), the value of
// GNU.sparse.map (0.1), records of GNU.sparse.offset and numbytes
// alternating, one number a line (0.0), or the data's leading map (1.0).
std::string Archive(const uint8_t* data, size_t size) {
    if (size < 11) return {};
    uint64_t realSize = 0;
    std::memcpy(&realSize, data + 1, 8);
    realSize &= (uint64_t(1) << 40) - 1;
    std::string stored(size_t(data[9]) | size_t(data[10]) << 8, 'd');
    std::string map(reinterpret_cast<const char*>(data) + 11, size - 11);
    std::string real = std::to_string(realSize);
    TTarBuilder tar;
    switch (data[0] % 4) {
    case 0: {
        tar.GnuSparse("sparse", realSize, {}, stored);
        std::string& d = tar.Data;
        size_t header = d.size() - 512 * ((stored.size() + 511) / 512) - 512;
        size_t n = std::min<size_t>(map.size(), 512 - 386);
        d.replace(header + 386, n, map, 0, n);
        TTarBuilder::Seal(&d[header]);
        // Extension blocks from the rest, for as long as their flags ask.
        std::string blocks;
        bool extended = d[header + 482] != '\0';
        for (size_t at = n; extended; at += 512) {
            std::string block = at < map.size() ? map.substr(at, 512) : std::string();
            block.resize(512, '\0');
            blocks += block;
            extended = block[504] != '\0';
        }
        d.insert(header + 512, blocks);
        break;
    }
    case 1:
        tar.Pax(TTarBuilder::PaxRecord("GNU.sparse.size", real) +
                TTarBuilder::PaxRecord("GNU.sparse.map", map));
        tar.Header("sparse", '0', stored.size());
        tar.Content(stored);
        break;
    case 2: {
        std::string records = TTarBuilder::PaxRecord("GNU.sparse.size", real);
        bool offset = true;
        for (size_t start = 0; start < map.size();) {
            size_t end = std::min(map.find('\n', start), map.size());
            records += TTarBuilder::PaxRecord(offset ? "GNU.sparse.offset" : "GNU.sparse.numbytes",
                                              map.substr(start, end - start));
            offset = !offset;
            start = end + 1;
        }
        tar.Pax(records);
        tar.Header("sparse", '0', stored.size());
        tar.Content(stored);
        break;
    }
    default:
        tar.Pax(TTarBuilder::PaxRecord("GNU.sparse.major", "1") +
                TTarBuilder::PaxRecord("GNU.sparse.minor", "0") +
                TTarBuilder::PaxRecord("GNU.sparse.realsize", real));
        tar.Header("sparse", '0', map.size() + stored.size());
        tar.Content(map + stored);
        break;
    }
    tar.File("after", "ok");
    tar.End();
    return tar.Data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string archive = Archive(data, size);
    if (archive.empty()) return 0;
    unrar::TMemorySource source(archive);
    auto stream = unrar::OpenArchiveStream(source, false);
    unrar::TTarReader reader(*stream);
    unrar::TTarEntry entry;
    bool after = false;
    while (reader.Next(entry)) {
        uint64_t end = 0, total = 0;
        std::string content;
        for (auto piece = reader.ReadData(); !piece.empty(); piece = reader.ReadData()) {
            if (reader.DataOffset() < end || piece.size() > entry.Size ||
                reader.DataOffset() > entry.Size - piece.size())
                __builtin_trap();
            end = reader.DataOffset() + piece.size();
            total += piece.size();
            content.append(piece.data(), piece.size());
        }
        if (reader.Fault()) break;
        if (total != entry.DataSize) __builtin_trap();
        after = entry.Path == "after" && content == "ok";
    }
    if (!after && !reader.Fault()) __builtin_trap();
    return 0;
}
