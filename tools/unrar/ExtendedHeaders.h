// What extension records say about the entry after them: pax records, and
// the sparse maps GNU tar writes in them or before a sparse file's data.
// Text in, values out; the reader takes the records from the archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace unrar {

// Segments of a sparse map kept at most: more than any file an installer
// ships, and it keeps a hostile map to 1 MB. Larger maps are refused.
constexpr size_t MaxSparseSegments = 65536;

// Where a stored run of a sparse file's data goes.
struct TSparseSegment {
    uint64_t Offset = 0;
    uint64_t Size = 0;
};

// Collects a sparse map. Past MaxSparseSegments it only notes that the map
// is too large: a hostile map costs reading time, never memory.
struct TMapCollector {
    std::vector<TSparseSegment> Map;
    bool TooLarge = false;
    void Add(uint64_t offset, uint64_t size) {
        if (Map.size() >= MaxSparseSegments)
            TooLarge = true;
        else
            Map.push_back({offset, size});
    }
};

// Why an entry whose map is too large is refused.
std::string SparseMapTooLarge();

// Why the map cannot be that of a file of realSize with dataSize bytes
// stored (segments must rise without overlapping, stay inside the file and
// hold exactly the data); nullptr when it can.
const char* SparseMapError(const std::vector<TSparseSegment>& map, uint64_t realSize,
                           uint64_t dataSize);

// A number of a sparse map: digits only, at most the largest file offset.
bool ParseMapNumber(std::string_view text, uint64_t& value);

struct TPaxValues {
    bool HasPath = false, HasLink = false, HasSize = false, HasTime = false;
    std::string Path, Link;
    uint64_t Size = 0;
    int64_t Time = 0;
    // GNU sparse files in pax form: 0.0 repeats offset and numbytes records,
    // 0.1 lists the map in one record, 1.0 stores it before the data.
    bool Sparse = false, HasVersion = false, HasSparseName = false, HasRealSize = false;
    bool HasNumBlocks = false, PendingOffset = false;
    uint64_t Major = 0, Minor = 0, RealSize = 0, NumBlocks = 0, Offset = 0;
    std::string SparseName;
    TMapCollector Map;
    // Set in the global header of a GNU multi-volume set's later volume
    // whose first file began in an earlier one.
    bool Continued = false;
};

// Takes in the records of one extended header; records of keys it does not
// know are passed over. False when the header is malformed.
bool ParsePax(const std::string& data, TPaxValues& pax);

} // namespace unrar
