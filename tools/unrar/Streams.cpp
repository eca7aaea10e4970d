#include "Streams.h"
#include "Worker.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace unrar {

namespace {

constexpr size_t InputChunk = 256 * 1024;
constexpr size_t OutputChunk = 1024 * 1024;
// Decompressed chunks the background thread may hold ahead of the reader.
constexpr size_t QueuedChunks = 4;

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

} // namespace unrar
