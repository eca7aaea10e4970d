// The archive's bytes: raw sources, and the stream over them that inflates
// gzip when the data is compressed.
#pragma once

#include "data/Extraction.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <utility>

namespace unrar {

// Exit codes of the program (the setup program's too); an archive error
// carries the one it ends with.
using extraction::TExitCode;
using enum extraction::TExitCode;

// An archive error: the first one found, kept. Whoever finds one sets it and
// stops, handing out nothing more; the one who asked reads it at the end.
struct TArchiveFault {
    TExitCode Code = ecSuccess;
    std::string Message;
    explicit operator bool() const { return Code != ecSuccess; }
    // The first error counts: what follows from it says less.
    void Set(TExitCode code, std::string message) {
        if (Code != ecSuccess) return;
        Code = code;
        Message = std::move(message);
    }
    void Set(const TArchiveFault& fault) {
        if (fault) Set(fault.Code, fault.Message);
    }
};

// Where compressed (or raw) archive bytes come from.
class TRawSource {
public:
    virtual ~TRawSource() = default;
    // Fills up to size bytes; 0 at the end, and on failure, which it then
    // sets in fault.
    virtual size_t Read(char* buffer, size_t size, TArchiveFault& fault) = 0;
};

class TMemorySource : public TRawSource {
public:
    explicit TMemorySource(std::span<const char> data) : FData(data) {}
    size_t Read(char* buffer, size_t size, TArchiveFault& fault) override;

private:
    std::span<const char> FData;
};

// A stream of archive bytes handed out without copying: Fill returns what is
// available, Consume drops bytes from its front. Fill returns nothing at the
// end, and from an error on, which Fault then tells.
class TByteStream {
public:
    virtual ~TByteStream() = default;
    virtual std::span<const char> Fill() = 0;
    virtual void Consume(size_t count) = 0;
    const TArchiveFault& Fault() const { return FFault; }

protected:
    TArchiveFault FFault; // set on the thread that calls Fill
};

// Opens the stream over a source: gzip when the data starts with the gzip
// magic, plain tar otherwise. With background set, decompression runs on its
// own thread one bounded queue of chunks ahead of the caller, so inflating
// overlaps with writing files.
std::unique_ptr<TByteStream> OpenArchiveStream(TRawSource& source, bool background);

} // namespace unrar
