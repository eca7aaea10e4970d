#include "ExtendedHeaders.h"

#include <limits>

namespace unrar {

namespace {

bool ParseDecimal(const std::string& text, int64_t& value) {
    // pax times may carry a fraction; whole seconds are enough here.
    size_t i = 0;
    bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    size_t start = i;
    uint64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (v > (uint64_t(std::numeric_limits<int64_t>::max()) - 9) / 10) return false;
        v = v * 10 + uint64_t(text[i] - '0');
    }
    if (i == start) return false;
    if (i < text.size() && text[i] != '.') return false;
    value = negative ? -int64_t(v) : int64_t(v);
    return true;
}

// GNU.sparse.map: offset,size,offset,size...; empty for a file that is all
// hole.
bool ParseMapList(std::string_view list, TMapCollector& map) {
    if (list.empty()) return true;
    bool haveOffset = false;
    uint64_t offset = 0;
    for (size_t start = 0;;) {
        size_t comma = list.find(',', start);
        uint64_t number = 0;
        if (!ParseMapNumber(list.substr(start, comma - start), number)) return false;
        if (haveOffset) map.Add(offset, number);
        offset = number;
        haveOffset = !haveOffset;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return !haveOffset; // else an offset without its size
}

bool ParseSparseRecord(const std::string& key, const std::string& value, TPaxValues& pax) {
    if (key == "GNU.sparse.major") {
        pax.Sparse = pax.HasVersion = true;
        return ParseMapNumber(value, pax.Major);
    } else if (key == "GNU.sparse.minor") {
        pax.Sparse = pax.HasVersion = true;
        return ParseMapNumber(value, pax.Minor);
    } else if (key == "GNU.sparse.name") {
        pax.HasSparseName = true;
        pax.SparseName = value;
    } else if (key == "GNU.sparse.realsize" || key == "GNU.sparse.size") {
        pax.HasRealSize = true;
        return ParseMapNumber(value, pax.RealSize);
    } else if (key == "GNU.sparse.numblocks") {
        pax.Sparse = pax.HasNumBlocks = true;
        return ParseMapNumber(value, pax.NumBlocks);
    } else if (key == "GNU.sparse.offset") {
        if (pax.PendingOffset) return false;
        pax.Sparse = pax.PendingOffset = true;
        return ParseMapNumber(value, pax.Offset);
    } else if (key == "GNU.sparse.numbytes") {
        uint64_t size = 0;
        if (!pax.PendingOffset || !ParseMapNumber(value, size)) return false;
        pax.PendingOffset = false;
        pax.Map.Add(pax.Offset, size);
    } else if (key == "GNU.sparse.map") {
        pax.Sparse = true;
        return ParseMapList(value, pax.Map);
    }
    return true;
}

bool ParseRecord(const std::string& key, const std::string& value, TPaxValues& pax) {
    int64_t v = 0;
    if (key == "path") {
        pax.HasPath = true;
        pax.Path = value;
    } else if (key == "linkpath") {
        pax.HasLink = true;
        pax.Link = value;
    } else if (key == "size") {
        if (!ParseDecimal(value, v) || v < 0 || value.find('.') != std::string::npos) return false;
        pax.HasSize = true;
        pax.Size = uint64_t(v);
    } else if (key == "mtime") {
        if (!ParseDecimal(value, v)) return false;
        pax.HasTime = true;
        pax.Time = v;
    } else if (key.rfind("GNU.sparse.", 0) == 0) {
        return ParseSparseRecord(key, value, pax);
    } else if (key == "GNU.volume.offset") {
        uint64_t offset = 0;
        if (!ParseMapNumber(value, offset)) return false;
        pax.Continued = offset > 0;
    }
    return true;
}

} // namespace

std::string SparseMapTooLarge() {
    return "sparse map of more than " + std::to_string(MaxSparseSegments) + " parts";
}

const char* SparseMapError(const std::vector<TSparseSegment>& map, uint64_t realSize,
                           uint64_t dataSize) {
    uint64_t end = 0, stored = 0;
    for (const auto& segment : map) {
        if (segment.Offset < end) return "sparse map out of order or overlapping";
        if (segment.Size > realSize || segment.Offset > realSize - segment.Size)
            return "sparse map reaches past the end of its file";
        end = segment.Offset + segment.Size;
        stored += segment.Size; // rising and inside realSize: cannot overflow
    }
    if (stored != dataSize) return "sparse map does not match the data stored";
    return nullptr;
}

bool ParseMapNumber(std::string_view text, uint64_t& value) {
    if (text.empty()) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        if (v > (uint64_t(std::numeric_limits<int64_t>::max()) - uint64_t(c - '0')) / 10)
            return false;
        v = v * 10 + uint64_t(c - '0');
    }
    value = v;
    return true;
}

// Each record is "<length> <key>=<value>\n", its length counting all of it.
bool ParsePax(const std::string& data, TPaxValues& pax) {
    size_t pos = 0;
    while (pos < data.size()) {
        size_t space = data.find(' ', pos);
        if (space == std::string::npos || space == pos || space - pos > 12) return false;
        uint64_t length = 0;
        for (size_t i = pos; i < space; ++i) {
            if (data[i] < '0' || data[i] > '9') return false;
            length = length * 10 + uint64_t(data[i] - '0');
        }
        if (length <= space - pos + 1 || length > data.size() - pos ||
            data[pos + length - 1] != '\n')
            return false;
        std::string record = data.substr(space + 1, pos + length - 1 - (space + 1));
        pos += length;
        size_t eq = record.find('=');
        if (eq == std::string::npos) return false;
        if (!ParseRecord(record.substr(0, eq), record.substr(eq + 1), pax)) return false;
    }
    return true;
}

} // namespace unrar
