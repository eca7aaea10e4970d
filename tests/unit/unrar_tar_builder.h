// A tiny tar writer for tests: crafts the archives no well-behaved archiver
// would make (links, absolute paths, bad checksums) as well as ordinary ones.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace unrar_test {

enum class TLongForm { Gnu, Pax };

class TTarBuilder {
public:
    // One raw header block; name and link are cut to their fields.
    std::string& Header(const std::string& name, char type, uint64_t size,
                        const std::string& link = "", const std::string& prefix = "") {
        char block[512] = {};
        std::memcpy(block, name.data(), std::min<size_t>(name.size(), 100));
        Octal(block + 100, 8, 0644);
        Octal(block + 108, 8, 1000);
        Octal(block + 116, 8, 1000);
        Octal(block + 124, 12, size);
        Octal(block + 136, 12, 1600000000);
        block[156] = type;
        std::memcpy(block + 157, link.data(), std::min<size_t>(link.size(), 100));
        std::memcpy(block + 257,
                    "ustar\0"
                    "00",
                    8);
        std::memcpy(block + 345, prefix.data(), std::min<size_t>(prefix.size(), 155));
        Seal(block);
        Data.append(block, 512);
        return Data;
    }

    // An old GNU sparse entry: the map in the header and in as many
    // extension blocks as it needs, then the data of its segments.
    void GnuSparse(const std::string& name, uint64_t realSize,
                   const std::vector<std::pair<uint64_t, uint64_t>>& map, const std::string& data) {
        Header(name, 'S', data.size());
        std::string header = Data.substr(Data.size() - 512), extensions;
        Data.resize(Data.size() - 512);
        std::memcpy(&header[257], "ustar  ", 8);
        Octal(&header[483], 12, realSize);
        std::string* block = &header;
        size_t fields = 386, flag = 482, slot = 0, slots = 4;
        for (const auto& [offset, size] : map) {
            if (slot == slots) {
                (*block)[flag] = 1;
                extensions.append(512, '\0');
                block = &extensions;
                fields = extensions.size() - 512;
                flag = fields + 504;
                slot = 0;
                slots = 21;
            }
            Octal(&(*block)[fields + slot * 24], 12, offset);
            Octal(&(*block)[fields + slot * 24 + 12], 12, size);
            ++slot;
        }
        Seal(header.data());
        Data += header + extensions;
        Content(data);
    }

    void Content(const std::string& content) {
        Data += content;
        Data.append((512 - content.size() % 512) % 512, '\0');
    }

    void File(const std::string& name, const std::string& content,
              TLongForm form = TLongForm::Gnu) {
        LongName(name, form, 'L', "path");
        Header(name, '0', content.size());
        Content(content);
    }

    void Dir(const std::string& name) { Header(name, '5', 0); }

    void Link(char type, const std::string& name, const std::string& target) {
        LongName(target, TLongForm::Gnu, 'K', "linkpath");
        Header(name, type, 0, target);
    }

    // The extended header that gives the next entry a long name.
    void LongName(const std::string& name, TLongForm form, char gnuType, const char* paxKey) {
        if (name.size() <= 100) return;
        if (form == TLongForm::Gnu) {
            Header("././@LongLink", gnuType, name.size() + 1);
            Content(name + '\0');
        } else {
            Pax(PaxRecord(paxKey, name));
        }
    }

    void Pax(const std::string& records) {
        Header("PaxHeaders/x", 'x', records.size());
        Content(records);
    }

    static std::string PaxRecord(const std::string& key, const std::string& value) {
        // The length counts itself, so settle it by iterating.
        size_t body = key.size() + value.size() + 3, length = body + 1;
        while (std::to_string(length).size() + body != length)
            ++length;
        return std::to_string(length) + " " + key + "=" + value + "\n";
    }

    void End() { Data.append(1024, '\0'); }

    static std::string Gzip(const std::string& data, int level = 6) {
        z_stream z{};
        if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("deflateInit2");
        std::string out(deflateBound(&z, uLong(data.size())) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z.avail_in = uInt(data.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        int rc = deflate(&z, Z_FINISH);
        deflateEnd(&z);
        if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
        out.resize(z.total_out);
        return out;
    }

    std::string Data;

    // Sets a header block's checksum.
    static void Seal(char* block) {
        std::memset(block + 148, ' ', 8);
        unsigned sum = 0;
        for (size_t i = 0; i < 512; ++i)
            sum += static_cast<unsigned char>(block[i]);
        std::snprintf(block + 148, 8, "%06o", sum);
    }

private:
    static void Octal(char* field, size_t size, uint64_t value) {
        std::snprintf(field, size, "%0*llo", int(size - 1), static_cast<unsigned long long>(value));
    }
};

// Deterministic bytes that no compressor can shrink.
inline std::string NoiseBytes(size_t size, uint32_t seed = 12345) {
    std::string data(size, '\0');
    uint64_t state = seed;
    for (auto& c : data) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        c = char(state >> 56);
    }
    return data;
}

} // namespace unrar_test
