#include "TarReader.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace unrar {

namespace {

constexpr size_t BlockSize = 512;
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
