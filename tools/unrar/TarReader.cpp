#include "TarReader.h"
#include "Worker.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <limits>
#include <mutex>
#include <string_view>
#include <vector>

namespace unrar {

namespace {

constexpr size_t BlockSize = 512;
constexpr size_t InputChunk = 256 * 1024;
constexpr size_t OutputChunk = 1024 * 1024;
// Decompressed chunks the background thread may hold ahead of the reader.
constexpr size_t QueuedChunks = 4;
// GNU long names and links; no file system takes longer paths.
constexpr uint64_t LongNameLimit = 64 * 1024;
constexpr uint64_t PaxLimit = 1024 * 1024;
constexpr const char* MalformedPax = "malformed extended header";

// Where a field lies in a header block, in bytes.
struct THeaderField {
    size_t Offset, Size;
};

// The POSIX ustar header. Numbers are octal text (or GNU base-256), text
// ends at the first NUL or fills its field.
struct TUstarHeader {
    static constexpr THeaderField Name{0, 100};
    static constexpr THeaderField Mode{100, 8};
    static constexpr THeaderField Uid{108, 8};
    static constexpr THeaderField Gid{116, 8};
    static constexpr THeaderField Size{124, 12};
    static constexpr THeaderField MTime{136, 12};
    static constexpr THeaderField Checksum{148, 8};
    static constexpr THeaderField TypeFlag{156, 1};
    static constexpr THeaderField LinkName{157, 100};
    static constexpr THeaderField Magic{257, 6};
    static constexpr THeaderField Version{263, 2};
    static constexpr THeaderField UName{265, 32};
    static constexpr THeaderField GName{297, 32};
    static constexpr THeaderField DevMajor{329, 8};
    static constexpr THeaderField DevMinor{337, 8};
    static constexpr THeaderField Prefix{345, 155};
};

// One entry of an old GNU sparse map.
struct TGnuSparseEntry {
    static constexpr size_t Length = 24;
    static constexpr THeaderField Offset{0, 12};
    static constexpr THeaderField NumBytes{12, 12};
};

// The old GNU header where it differs from ustar: its magic runs into the
// version field, and the prefix's place holds times and a sparse map.
struct TOldGnuHeader {
    static constexpr THeaderField Magic{257, 8};
    static constexpr THeaderField ATime{345, 12};
    static constexpr THeaderField CTime{357, 12};
    static constexpr THeaderField Offset{369, 12};
    static constexpr THeaderField LongNames{381, 4};
    static constexpr THeaderField Unused{385, 1};
    static constexpr THeaderField Sparse{386, 4 * TGnuSparseEntry::Length};
    static constexpr THeaderField IsExtended{482, 1};
    static constexpr THeaderField RealSize{483, 12};
};

// A block continuing an old GNU sparse map.
struct TGnuSparseExtension {
    static constexpr THeaderField Sparse{0, 21 * TGnuSparseEntry::Length};
    static constexpr THeaderField IsExtended{504, 1};
};

// Each field starts where the one before it ends, the last within the block.
constexpr bool Contiguous(std::initializer_list<THeaderField> fields) {
    size_t end = fields.begin()->Offset;
    for (const THeaderField& field : fields) {
        if (field.Offset != end) return false;
        end = field.Offset + field.Size;
    }
    return end <= BlockSize;
}

static_assert(Contiguous({TUstarHeader::Name, TUstarHeader::Mode, TUstarHeader::Uid,
                          TUstarHeader::Gid, TUstarHeader::Size, TUstarHeader::MTime,
                          TUstarHeader::Checksum, TUstarHeader::TypeFlag, TUstarHeader::LinkName,
                          TUstarHeader::Magic, TUstarHeader::Version, TUstarHeader::UName,
                          TUstarHeader::GName, TUstarHeader::DevMajor, TUstarHeader::DevMinor,
                          TUstarHeader::Prefix}));
static_assert(Contiguous({TUstarHeader::Magic, TUstarHeader::Version}) &&
              TOldGnuHeader::Magic.Size == TUstarHeader::Magic.Size + TUstarHeader::Version.Size);
static_assert(Contiguous({TUstarHeader::DevMinor, TOldGnuHeader::ATime, TOldGnuHeader::CTime,
                          TOldGnuHeader::Offset, TOldGnuHeader::LongNames, TOldGnuHeader::Unused,
                          TOldGnuHeader::Sparse, TOldGnuHeader::IsExtended,
                          TOldGnuHeader::RealSize}));
static_assert(Contiguous({TGnuSparseEntry::Offset, TGnuSparseEntry::NumBytes}) &&
              TGnuSparseEntry::NumBytes.Offset + TGnuSparseEntry::NumBytes.Size ==
                  TGnuSparseEntry::Length);
static_assert(Contiguous({TGnuSparseExtension::Sparse, TGnuSparseExtension::IsExtended}));

const char* FieldAt(const char* block, THeaderField field) {
    return block + field.Offset;
}

std::string TextField(const char* block, THeaderField field) {
    const char* p = FieldAt(block, field);
    return std::string(p, strnlen(p, field.Size));
}

bool NumberField(const char* block, THeaderField field, int64_t& value) {
    return ParseNumber(FieldAt(block, field), field.Size, value);
}

// The field's bytes are the first field.Size bytes of the given ones.
bool FieldHolds(const char* block, THeaderField field, const char* bytes) {
    return std::memcmp(FieldAt(block, field), bytes, field.Size) == 0;
}

// Zeros after data of the given size, up to a whole block.
uint64_t PaddingAfter(uint64_t size) {
    return (BlockSize - size % BlockSize) % BlockSize;
}

// Hands out the bytes peeked to detect the format before the source's own.
class TPrefixedSource : public TRawSource {
public:
    TPrefixedSource(TRawSource& source, std::string prefix)
        : FSource(source), FPrefix(std::move(prefix)) {}
    size_t Read(char* buffer, size_t size, TArchiveFault& fault) override {
        if (FUsed < FPrefix.size()) {
            size_t n = std::min(size, FPrefix.size() - FUsed);
            std::memcpy(buffer, FPrefix.data() + FUsed, n);
            FUsed += n;
            return n;
        }
        return FSource.Read(buffer, size, fault);
    }

private:
    TRawSource& FSource;
    std::string FPrefix;
    size_t FUsed = 0;
};

// Reads until size bytes or the end, so short reads of pipes do not matter.
size_t ReadFull(TRawSource& source, char* buffer, size_t size, TArchiveFault& fault) {
    size_t got = 0;
    while (got < size) {
        size_t n = source.Read(buffer + got, size - got, fault);
        if (n == 0) break;
        got += n;
    }
    return got;
}

// The stream of a source that failed before its format was known.
class TFailedStream : public TByteStream {
public:
    explicit TFailedStream(const TArchiveFault& fault) { FFault.Set(fault); }
    std::span<const char> Fill() override { return {}; }
    void Consume(size_t) override {}
};

class TPlainStream : public TByteStream {
public:
    explicit TPlainStream(std::unique_ptr<TRawSource> source)
        : FSource(std::move(source)), FBuffer(OutputChunk) {}
    std::span<const char> Fill() override {
        if (FPos == FLen && !FFault) {
            FPos = 0;
            FLen = ReadFull(*FSource, FBuffer.data(), FBuffer.size(), FFault);
            // Bytes read before a failure are not handed out: the archive
            // ends with the failure where the chunk starts.
            if (FFault) FLen = 0;
        }
        return {FBuffer.data() + FPos, FLen - FPos};
    }
    void Consume(size_t count) override { FPos += count; }

private:
    std::unique_ptr<TRawSource> FSource;
    std::vector<char> FBuffer;
    size_t FPos = 0, FLen = 0;
};

// Gzip decompression of one or more concatenated members; zlib checks each
// member's CRC-32 and length.
class TInflater {
public:
    explicit TInflater(std::unique_ptr<TRawSource> source)
        : FSource(std::move(source)), FInput(InputChunk) {
        std::memset(&FZ, 0, sizeof FZ);
        if (inflateInit2(&FZ, 15 + 16) != Z_OK) FFault.Set(ecFatal, "out of memory");
    }
    ~TInflater() { inflateEnd(&FZ); }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    // Fills out with up to capacity bytes; 0 means the stream ended, cleanly
    // unless Fault() is set. It may run on a thread of its own.
    size_t Produce(char* out, size_t capacity) {
        FZ.next_out = reinterpret_cast<Bytef*>(out);
        FZ.avail_out = static_cast<uInt>(capacity);
        while (!FFault && FZ.avail_out == capacity) {
            if (FMemberEnded) {
                if (!StartNextMember()) break;
            }
            if (FZ.avail_in == 0 && !FEof) Refill();
            int rc = inflate(&FZ, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) {
                FMemberEnded = true;
            } else if (rc == Z_BUF_ERROR) {
                if (FZ.avail_in == 0 && FEof)
                    FFault.Set(ecDamaged, "unexpected end of archive (truncated)");
            } else if (rc == Z_DATA_ERROR) {
                FFault.Set(ecDamaged, std::string("compressed data damaged: ") +
                                          (FZ.msg ? FZ.msg : "invalid data"));
            } else if (rc != Z_OK) {
                FFault.Set(ecFatal, "decompression failed");
            }
        }
        return FFault ? 0 : capacity - FZ.avail_out;
    }
    const TArchiveFault& Fault() const { return FFault; }

private:
    void Refill() {
        // Keep unread bytes: the magic check of a following member needs two.
        if (FZ.avail_in > 0) std::memmove(FInput.data(), FZ.next_in, FZ.avail_in);
        size_t kept = FZ.avail_in;
        size_t n = FSource->Read(FInput.data() + kept, FInput.size() - kept, FFault);
        if (n == 0) FEof = true;
        FZ.next_in = reinterpret_cast<Bytef*>(FInput.data());
        FZ.avail_in = static_cast<uInt>(kept + n);
    }

    bool StartNextMember() {
        while (FZ.avail_in < 2 && !FEof)
            Refill();
        if (FZ.avail_in == 0 || FFault) return false;
        if (FZ.avail_in < 2 || FZ.next_in[0] != 0x1f || FZ.next_in[1] != 0x8b) {
            FFault.Set(ecDamaged, "unexpected data after the compressed archive");
            return false;
        }
        inflateReset(&FZ);
        FMemberEnded = false;
        return true;
    }

    std::unique_ptr<TRawSource> FSource;
    std::vector<char> FInput;
    z_stream FZ;
    bool FEof = false;
    bool FMemberEnded = false;
    TArchiveFault FFault; // the first error found
};

class TGzipStream : public TByteStream {
public:
    explicit TGzipStream(std::unique_ptr<TRawSource> source)
        : FInflater(std::move(source)), FBuffer(OutputChunk) {}
    std::span<const char> Fill() override {
        if (FPos == FLen) {
            FPos = 0;
            FLen = FInflater.Produce(FBuffer.data(), FBuffer.size());
            FFault.Set(FInflater.Fault());
        }
        return {FBuffer.data() + FPos, FLen - FPos};
    }
    void Consume(size_t count) override { FPos += count; }

private:
    TInflater FInflater;
    std::vector<char> FBuffer;
    size_t FPos = 0, FLen = 0;
};

// Inflates on a worker thread into a bounded queue of chunks.
class TBackgroundGzipStream : public TByteStream {
public:
    explicit TBackgroundGzipStream(std::unique_ptr<TRawSource> source)
        : FInflater(std::move(source)) {
        for (size_t i = 0; i < QueuedChunks; ++i)
            FFree.emplace_back(OutputChunk);
        FWorker = TThread([this] { Work(); });
    }
    ~TBackgroundGzipStream() override {
        {
            std::lock_guard<TMutex> lock(FMutex);
            FStop = true;
        }
        FChanged.notify_all();
        FWorker.join();
    }

    std::span<const char> Fill() override {
        if (FPos < FCurrentLen) return {FCurrent.data() + FPos, FCurrentLen - FPos};
        std::unique_lock<TMutex> lock(FMutex);
        if (!FCurrent.empty()) {
            FFree.push_back(std::move(FCurrent));
            FCurrent = {};
            FChanged.notify_all();
        }
        FChanged.wait(lock, [this] { return !FFull.empty() || FFinished; });
        if (FFull.empty()) {
            // The worker has ended: the inflater is this thread's to read.
            lock.unlock();
            FFault.Set(FInflater.Fault());
            FCurrentLen = FPos = 0;
            return {};
        }
        FCurrent = std::move(FFull.front().first);
        FCurrentLen = FFull.front().second;
        FFull.pop_front();
        FPos = 0;
        return {FCurrent.data(), FCurrentLen};
    }
    void Consume(size_t count) override { FPos += count; }

private:
    void Work() {
        for (;;) {
            std::vector<char> chunk;
            {
                std::unique_lock<TMutex> lock(FMutex);
                FChanged.wait(lock, [this] { return !FFree.empty() || FStop; });
                if (FStop) break;
                chunk = std::move(FFree.back());
                FFree.pop_back();
            }
            size_t n = FInflater.Produce(chunk.data(), chunk.size());
            std::lock_guard<TMutex> lock(FMutex);
            if (n == 0) break;
            FFull.emplace_back(std::move(chunk), n);
            FChanged.notify_all();
        }
        std::lock_guard<TMutex> lock(FMutex);
        FFinished = true;
        FChanged.notify_all();
    }

    TInflater FInflater;
    TMutex FMutex;
    TCondition FChanged;
    std::deque<std::vector<char>> FFree;
    std::deque<std::pair<std::vector<char>, size_t>> FFull;
    bool FStop = false, FFinished = false;
    std::vector<char> FCurrent;
    size_t FCurrentLen = 0, FPos = 0;
    TThread FWorker;
};

// A number of a sparse map: digits only, at most the largest file offset.
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
std::string SparseMapTooLarge() {
    return "sparse map of more than " + std::to_string(MaxSparseSegments) + " parts";
}

// Why the map cannot be that of a file of realSize with dataSize bytes
// stored (segments must rise without overlapping, stay inside the file and
// hold exactly the data); nullptr when it can.
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

// Types of the records that describe the entry after them, or no file at all.
bool IsExtension(char type) {
    return std::string_view("LKxXgV").find(type) != std::string_view::npos;
}

void Refuse(TTarEntry& entry, std::string why) {
    entry.Kind = TEntryKind::Other;
    entry.Refusal = std::move(why);
}

// The kind of entry the header's type flag (and for pre-POSIX archives the
// path) marks.
void SetKind(TTarEntry& entry) {
    switch (entry.TypeFlag) {
    case '0':
    case '7':
    case 'S':
        entry.Kind = TEntryKind::File;
        break;
    case '\0':
        // Pre-POSIX archives mark folders only by the trailing slash.
        entry.Kind = !entry.Path.empty() && entry.Path.back() == '/' ? TEntryKind::Directory
                                                                     : TEntryKind::File;
        break;
    case '5':
    case 'D': // GNU dumpdir: a folder, its data a listing for incremental restores
        entry.Kind = TEntryKind::Directory;
        break;
    case '1':
        entry.Kind = TEntryKind::HardLink;
        break;
    case '2':
        entry.Kind = TEntryKind::SymLink;
        break;
    case 'M':
        // Only the rest of a file whose start is in another volume.
        Refuse(entry, "file continued from another volume");
        break;
    default:
        entry.Kind = TEntryKind::Other;
        break;
    }
}

// Adds the segments in the slots of an old GNU sparse map; an unused slot
// ends the list. False at a slot that does not hold two numbers.
bool AddGnuSparseSlots(const char* block, THeaderField slots, TMapCollector& map) {
    for (size_t i = 0; i < slots.Size / TGnuSparseEntry::Length; ++i) {
        const char* slot = FieldAt(block, slots) + i * TGnuSparseEntry::Length;
        if (slot[0] == '\0') break;
        int64_t offset = 0, size = 0;
        if (!NumberField(slot, TGnuSparseEntry::Offset, offset) ||
            !NumberField(slot, TGnuSparseEntry::NumBytes, size) || offset < 0 || size < 0)
            return false;
        map.Add(uint64_t(offset), uint64_t(size));
    }
    return true;
}

} // namespace

size_t TMemorySource::Read(char* buffer, size_t size, TArchiveFault&) {
    size_t n = std::min(size, FData.size());
    if (n) std::memcpy(buffer, FData.data(), n);
    FData = FData.subspan(n);
    return n;
}

std::unique_ptr<TByteStream> OpenArchiveStream(TRawSource& source, bool background) {
    char magic[2];
    TArchiveFault fault;
    size_t n = ReadFull(source, magic, 2, fault);
    if (fault) return std::make_unique<TFailedStream>(fault);
    auto prefixed = std::make_unique<TPrefixedSource>(source, std::string(magic, n));
    bool gzip = n == 2 && uint8_t(magic[0]) == 0x1f && uint8_t(magic[1]) == 0x8b;
    if (!gzip) return std::make_unique<TPlainStream>(std::move(prefixed));
    if (background) return std::make_unique<TBackgroundGzipStream>(std::move(prefixed));
    return std::make_unique<TGzipStream>(std::move(prefixed));
}

bool ParseNumber(const char* field, size_t size, int64_t& value) {
    auto byte = [field](size_t i) { return uint8_t(field[i]); };
    if (size == 0) return false;
    if (byte(0) & 0x80) {
        // GNU base-256: big-endian two's complement after the marker bit.
        if (byte(0) != 0xff && (byte(0) & 0x40)) return false;
        int64_t v = byte(0) == 0xff ? -1 : int64_t(byte(0) & 0x3f);
        for (size_t i = 1; i < size; ++i) {
            if (v > (std::numeric_limits<int64_t>::max() >> 8) ||
                v < (std::numeric_limits<int64_t>::min() >> 8))
                return false;
            v = int64_t((uint64_t(v) << 8) | byte(i));
        }
        value = v;
        return true;
    }
    size_t i = 0;
    while (i < size && field[i] == ' ')
        ++i;
    uint64_t v = 0;
    for (; i < size && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (v > (uint64_t(std::numeric_limits<int64_t>::max()) >> 3)) return false;
        v = (v << 3) | uint64_t(field[i] - '0');
    }
    for (; i < size; ++i)
        if (field[i] != ' ' && field[i] != '\0') return false;
    value = int64_t(v);
    return true;
}

bool HeaderChecksumValid(const char* block) {
    constexpr THeaderField field = TUstarHeader::Checksum;
    int64_t stored = 0;
    if (!NumberField(block, field, stored)) return false;
    // Old tar programs summed signed chars; accept either reading.
    int64_t unsignedSum = 0, signedSum = 0;
    for (size_t i = 0; i < BlockSize; ++i) {
        bool inField = i >= field.Offset && i < field.Offset + field.Size;
        unsignedSum += inField ? ' ' : uint8_t(block[i]);
        signedSum += inField ? ' ' : int8_t(block[i]);
    }
    return stored == unsignedSum || stored == signedSum;
}

std::span<const char> TTarReader::Fill() {
    auto data = FStream.Fill();
    if (data.empty()) FFault.Set(FStream.Fault());
    return data;
}

bool TTarReader::Damaged(const char* what) {
    FFault.Set(ecDamaged, what);
    return false;
}

bool TTarReader::ReadBlock(char* block) {
    size_t got = 0;
    while (got < BlockSize) {
        auto data = Fill();
        if (data.empty()) {
            if (got > 0) Damaged("unexpected end of archive (truncated header)");
            return false;
        }
        size_t n = std::min(data.size(), BlockSize - got);
        std::memcpy(block + got, data.data(), n);
        FStream.Consume(n);
        got += n;
    }
    return true;
}

bool TTarReader::Skip(uint64_t count) {
    while (count > 0) {
        auto data = Fill();
        if (data.empty()) return Damaged("unexpected end of archive (truncated data)");
        size_t n = size_t(std::min<uint64_t>(data.size(), count));
        FStream.Consume(n);
        count -= n;
    }
    return true;
}

bool TTarReader::ReadMetaData(uint64_t size, uint64_t limit, std::string& data) {
    if (size > limit) return Damaged("extended header too large");
    data.clear();
    data.reserve(size_t(size));
    uint64_t left = size;
    while (left > 0) {
        auto chunk = Fill();
        if (chunk.empty()) return Damaged("unexpected end of archive (truncated header)");
        size_t n = size_t(std::min<uint64_t>(chunk.size(), left));
        data.append(chunk.data(), n);
        FStream.Consume(n);
        left -= n;
    }
    return Skip(PaddingAfter(size));
}

void TTarReader::Finish() {
    // Reading to the end makes zlib check the trailer: a damaged or cut tail
    // after the end marker is still a damaged archive.
    for (auto data = Fill(); !data.empty(); data = Fill())
        FStream.Consume(data.size());
}

std::span<const char> TTarReader::ReadData() {
    if (FFault) return {};
    if (FPending) {
        FStream.Consume(FPending);
        FRemaining -= FPending;
        FSegmentLeft -= FPending;
        FPending = 0;
    }
    if (FRemaining == 0) return {};
    while (FSegmentLeft == 0) {
        // The map was checked to hold exactly the data: this is a safeguard.
        if (++FSegment >= FMap.size()) {
            Damaged("sparse map does not match the data stored");
            return {};
        }
        FSegmentLeft = FMap[FSegment].Size;
    }
    auto data = Fill();
    if (data.empty()) {
        Damaged("unexpected end of archive (truncated data)");
        return {};
    }
    const TSparseSegment& segment = FMap[FSegment];
    FPending = size_t(std::min<uint64_t>({data.size(), FSegmentLeft, FRemaining}));
    FPieceOffset = segment.Offset + (segment.Size - FSegmentLeft);
    return data.first(FPending);
}

bool TTarReader::UseMap(std::vector<TSparseSegment>& map, TTarEntry& entry) {
    if (const char* why = SparseMapError(map, entry.Size, entry.DataSize)) return Damaged(why);
    FMap = std::move(map);
    entry.Sparse = true;
    return true;
}

// Old GNU sparse header: four segments in the header, then extension blocks
// of 21 each for as long as the flag after them says another follows. The
// blocks come before the data and are not counted in its size.
bool TTarReader::ReadGnuSparse(const char* header, TTarEntry& entry) {
    if (!FieldHolds(header, TOldGnuHeader::Magic, "ustar  \0")) {
        // Not GNU's layout (star's has its times where GNU keeps the map):
        // reading it as GNU's would write a wrong file.
        Refuse(entry, "sparse format not supported");
        return true;
    }
    int64_t realSize = 0;
    if (!NumberField(header, TOldGnuHeader::RealSize, realSize) || realSize < 0)
        return Damaged("bad real size in sparse header");
    TMapCollector map;
    bool slotsRead = AddGnuSparseSlots(header, TOldGnuHeader::Sparse, map);
    bool extended = *FieldAt(header, TOldGnuHeader::IsExtended) != '\0';
    char block[BlockSize];
    while (slotsRead && extended) {
        if (!ReadBlock(block))
            return Damaged("unexpected end of archive (truncated sparse header)");
        slotsRead = AddGnuSparseSlots(block, TGnuSparseExtension::Sparse, map);
        extended = *FieldAt(block, TGnuSparseExtension::IsExtended) != '\0';
    }
    if (!slotsRead) return Damaged("bad sparse map in header");
    entry.Size = uint64_t(realSize);
    if (map.TooLarge) {
        Refuse(entry, SparseMapTooLarge());
        return true;
    }
    return UseMap(map.Map, entry);
}

bool TTarReader::ReadMapNumber(uint64_t& value) {
    char digits[24];
    size_t count = 0;
    for (;;) {
        if (FRemaining == 0) return Damaged("sparse map runs past its entry");
        auto data = Fill();
        if (data.empty()) return Damaged("unexpected end of archive (truncated data)");
        char c = data[0];
        FStream.Consume(1);
        --FRemaining;
        if (c == '\n') break;
        if (count == sizeof digits) return false;
        digits[count++] = c;
    }
    return ParseMapNumber(std::string_view(digits, count), value);
}

// GNU sparse 1.0: the map leads the data as decimal lines (the count, then
// offset and size of each segment), padded to a whole block.
bool TTarReader::ReadDataMap(TTarEntry& entry) {
    const uint64_t stored = FRemaining;
    uint64_t count = 0;
    if (!ReadMapNumber(count)) return Damaged("malformed sparse map");
    if (count > MaxSparseSegments) {
        // Stepped over with the rest of the data.
        Refuse(entry, SparseMapTooLarge());
        return true;
    }
    TMapCollector map;
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t offset = 0, size = 0;
        if (!ReadMapNumber(offset) || !ReadMapNumber(size)) return Damaged("malformed sparse map");
        map.Add(offset, size);
    }
    uint64_t padding = PaddingAfter(stored - FRemaining);
    if (padding > FRemaining) return Damaged("sparse map runs past its entry");
    if (!Skip(padding)) return false;
    FRemaining -= padding;
    entry.DataSize = FRemaining;
    return UseMap(map.Map, entry);
}

// What the extension records before a header said about its entry.
struct TTarReader::TExtensions {
    std::string LongName, LongLink;
    bool HasLongName = false, HasLongLink = false;
    // Set by a global record: the next file began in an earlier volume.
    bool Continued = false;
    TPaxValues Pax;
};

bool TTarReader::Next(TTarEntry& entry) {
    if (FDone || FFault || !StepOverRest()) return false;
    char block[BlockSize];
    TExtensions extensions;
    uint64_t size = 0;
    if (!ReadHeader(block, size, extensions)) {
        // One zero block then the end of data is common enough to accept.
        if (!FFault) Finish();
        FDone = true;
        return false;
    }
    return DecodeHeader(block, size, extensions, entry) && StartData(block, extensions, entry);
}

bool TTarReader::StepOverRest() {
    if (FPending) {
        FStream.Consume(FPending);
        FRemaining -= FPending;
        FPending = 0;
    }
    bool stepped = Skip(FRemaining) && Skip(FPadding);
    FRemaining = FPadding = 0;
    return stepped;
}

bool TTarReader::ReadHeader(char* block, uint64_t& size, TExtensions& extensions) {
    for (;;) {
        if (!ReadBlock(block)) return Damaged("unexpected end of archive (no end marker)");
        if (std::all_of(block, block + BlockSize, [](char c) { return c == 0; })) return false;
        if (!HeaderChecksumValid(block)) return Damaged("header checksum error");
        int64_t number = 0;
        if (!NumberField(block, TUstarHeader::Size, number) || number < 0)
            return Damaged("bad size field in header");
        size = uint64_t(number);
        char type = *FieldAt(block, TUstarHeader::TypeFlag);
        if (!IsExtension(type)) return true;
        if (!ReadExtension(type, size, extensions)) return false;
    }
}

bool TTarReader::ReadExtension(char type, uint64_t size, TExtensions& extensions) {
    std::string text;
    if (type == 'L' || type == 'K') {
        // Of several in a row the last counts, as in GNU tar.
        if (!ReadMetaData(size, LongNameLimit, text)) return false;
        text.resize(strnlen(text.data(), text.size()));
        (type == 'L' ? extensions.LongName : extensions.LongLink) = std::move(text);
        (type == 'L' ? extensions.HasLongName : extensions.HasLongLink) = true;
        return true;
    }
    if (type == 'x' || type == 'X') {
        if (!ReadMetaData(size, PaxLimit, text)) return false;
        if (!ParsePax(text, extensions.Pax)) return Damaged(MalformedPax);
        return true;
    }
    if (type == 'g' && size <= PaxLimit) {
        // Global records name no file; only a volume's continuation matters.
        TPaxValues global;
        if (!ReadMetaData(size, PaxLimit, text)) return false;
        if (!ParsePax(text, global)) return Damaged(MalformedPax);
        extensions.Continued = global.Continued;
        return true;
    }
    // GNU volume labels name no file either.
    return Skip(size + PaddingAfter(size));
}

bool TTarReader::DecodeHeader(const char* block, uint64_t size, const TExtensions& extensions,
                              TTarEntry& entry) {
    const TPaxValues& pax = extensions.Pax;
    if (pax.PendingOffset) return Damaged(MalformedPax); // a sparse offset without its size

    entry = TTarEntry{};
    entry.TypeFlag = *FieldAt(block, TUstarHeader::TypeFlag);
    entry.Path = TextField(block, TUstarHeader::Name);
    if (FieldHolds(block, TUstarHeader::Magic, "ustar\0")) {
        std::string prefix = TextField(block, TUstarHeader::Prefix);
        if (!prefix.empty()) entry.Path = prefix + "/" + entry.Path;
    }
    entry.LinkPath = TextField(block, TUstarHeader::LinkName);
    if (extensions.HasLongName) entry.Path = extensions.LongName;
    if (extensions.HasLongLink) entry.LinkPath = extensions.LongLink;
    if (pax.HasPath) entry.Path = pax.Path;
    entry.PathIsUtf8 = pax.HasPath;
    if (pax.HasLink) entry.LinkPath = pax.Link;
    entry.Size = entry.DataSize = pax.HasSize ? pax.Size : size;
    int64_t number = 0;
    if (!NumberField(block, TUstarHeader::MTime, number))
        return Damaged("bad time field in header");
    entry.MTime = pax.HasTime ? pax.Time : number;
    if (!NumberField(block, TUstarHeader::Mode, number)) return Damaged("bad mode field in header");
    entry.Mode = uint32_t(number) & 07777;

    SetKind(entry);
    // The same in pax form, under a made-up name of its own.
    if (extensions.Continued) Refuse(entry, "file continued from another volume");
    return true;
}

bool TTarReader::StartData(const char* block, TExtensions& extensions, TTarEntry& entry) {
    FRemaining = entry.DataSize;
    FPadding = PaddingAfter(entry.DataSize);
    FMap.clear();
    if (entry.TypeFlag == 'S') {
        if (!ReadGnuSparse(block, entry)) return false;
    } else if (extensions.Pax.Sparse && entry.Kind == TEntryKind::File) {
        if (!ReadPaxSparse(extensions, entry)) return false;
    }
    if (!entry.Sparse) {
        // Refused sparse entries too: their data is then stepped over whole.
        FMap.assign(1, TSparseSegment{0, FRemaining});
        entry.Size = entry.DataSize = FRemaining;
    }
    FSegment = 0;
    FSegmentLeft = FMap.empty() ? 0 : FMap[0].Size;
    return true;
}

bool TTarReader::ReadPaxSparse(TExtensions& extensions, TTarEntry& entry) {
    TPaxValues& pax = extensions.Pax;
    if (pax.HasSparseName) entry.Path = pax.SparseName;
    entry.PathIsUtf8 = entry.PathIsUtf8 || pax.HasSparseName;
    if (!pax.HasRealSize) return Damaged("sparse file without its real size");
    entry.Size = pax.RealSize;
    if (pax.HasVersion && pax.Major == 1 && pax.Minor == 0) return ReadDataMap(entry);
    if (pax.HasVersion && pax.Major != 0) {
        Refuse(entry, "sparse format " + std::to_string(pax.Major) + "." +
                          std::to_string(pax.Minor) + " not supported");
    } else if (pax.Map.TooLarge) {
        Refuse(entry, SparseMapTooLarge());
    } else if (pax.HasNumBlocks && pax.NumBlocks != pax.Map.Map.size()) {
        return Damaged("sparse map does not have the parts it declares");
    } else {
        return UseMap(pax.Map.Map, entry);
    }
    return true;
}

} // namespace unrar
