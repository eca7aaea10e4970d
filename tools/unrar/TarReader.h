// Streaming reader of gzip-compressed (or plain) POSIX tar archives.
//
// Memory stays bounded whatever the archive's size: the decompressed stream
// is handed out in fixed-size chunks, and only header metadata (long names,
// pax records, both capped) is ever held whole.
//
// An archive error leaves the reader the way the end of the archive does:
// the reader keeps the first error it meets, its stream's or its own, as
// its fault, and from then on Next returns false and ReadData nothing. So
// the caller's loops end as at the end of the archive, and the caller asks
// Fault() whether the archive ended or failed. The same with exceptions
// built in or not (unrar.exe has none: their runtime would be two fifths of
// it).
#pragma once

#include "ExtendedHeaders.h"
#include "Streams.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace unrar {

enum class TEntryKind { File, Directory, HardLink, SymLink, Other };

struct TTarEntry {
    std::string Path;        // as stored, separators untouched
    bool PathIsUtf8 = false; // from a pax record, which is UTF-8 by definition
    std::string LinkPath;    // target of a link entry
    TEntryKind Kind = TEntryKind::File;
    char TypeFlag = '0';
    uint64_t Size = 0;     // of the file; a sparse file's real size, holes included
    uint64_t DataSize = 0; // of the data stored for it (a sparse map not counted)
    bool Sparse = false;   // data fills the pieces ReadData places; the rest are holes
    int64_t MTime = 0;     // seconds since 1970
    uint32_t Mode = 0644;
    std::string Refusal; // why the entry cannot be extracted, when the reader knows (Other)
};

class TTarReader {
public:
    explicit TTarReader(TByteStream& stream) : FStream(stream) {}

    // Moves to the next entry, skipping what is left of the current one's
    // data. Returns false after the end-of-archive marker, once the rest of
    // the stream (and so its gzip check values) has been verified, and on an
    // archive error.
    bool Next(TTarEntry& entry);

    // Next piece of the current entry's data, empty when it is all read and
    // on an archive error. Consumed by the next call.
    std::span<const char> ReadData();
    // Where in the file the piece ReadData returned last belongs: pieces
    // come in rising order, and a gap before one is a hole.
    uint64_t DataOffset() const { return FPieceOffset; }

    // The archive error that ended the reading; none at a clean end.
    const TArchiveFault& Fault() const { return FFault; }

private:
    struct TExtensions;

    // The helpers return false when the reading cannot go on: at an archive
    // error, which they then have set in FFault (the first one counts, so a
    // caller may add its own, less precise words), or where said so.

    // The stream's next bytes; when an error left it without any, that
    // error is the reader's.
    std::span<const char> Fill();
    bool Damaged(const char* what);
    // Skips what is left of the current entry: its data and padding.
    [[nodiscard]] bool StepOverRest();
    // Reads blocks up to the next entry's header, taking in the extension
    // records before it; size is that of the data after it. False also at
    // the end-of-archive marker.
    [[nodiscard]] bool ReadHeader(char* block, uint64_t& size, TExtensions& extensions);
    [[nodiscard]] bool ReadExtension(char type, uint64_t size, TExtensions& extensions);
    // The entry from its header and extension records; a number field that
    // is not one makes the archive damaged.
    [[nodiscard]] bool DecodeHeader(const char* block, uint64_t size, const TExtensions& extensions,
                                    TTarEntry& entry);
    // Prepares reading the entry's data: its sparse map, or one segment.
    [[nodiscard]] bool StartData(const char* block, TExtensions& extensions, TTarEntry& entry);
    [[nodiscard]] bool Skip(uint64_t count);
    // False also at the end of the stream before the block's first byte.
    [[nodiscard]] bool ReadBlock(char* block);
    [[nodiscard]] bool ReadMetaData(uint64_t size, uint64_t limit, std::string& data);
    [[nodiscard]] bool ReadGnuSparse(const char* header, TTarEntry& entry);
    [[nodiscard]] bool ReadPaxSparse(TExtensions& extensions, TTarEntry& entry);
    // False also at a line too long to be a number.
    [[nodiscard]] bool ReadMapNumber(uint64_t& value);
    [[nodiscard]] bool ReadDataMap(TTarEntry& entry);
    // Takes the map for the entry's data once it fits the entry.
    [[nodiscard]] bool UseMap(std::vector<TSparseSegment>& map, TTarEntry& entry);
    void Finish();

    TByteStream& FStream;
    TArchiveFault FFault;
    uint64_t FRemaining = 0; // data bytes of the current entry not yet consumed
    uint64_t FPadding = 0;   // padding after the current entry's data
    size_t FPending = 0;     // size of the piece last returned by ReadData
    bool FDone = false;
    std::vector<TSparseSegment> FMap; // of the current entry; one segment when not sparse
    size_t FSegment = 0;              // the segment being read
    uint64_t FSegmentLeft = 0;        // its bytes not yet consumed
    uint64_t FPieceOffset = 0;
};

// Parsing helpers, exposed for the tests.
// A numeric header field: octal text, or GNU base-256 when its top bit is set.
// Returns false when the field is malformed or does not fit.
bool ParseNumber(const char* field, size_t size, int64_t& value);
// The checksum a header block carries is valid for its contents.
bool HeaderChecksumValid(const char* block);

} // namespace unrar
