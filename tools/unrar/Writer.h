// Writing small files on a second thread. The extraction thread creates each
// file (so that a file that cannot be created is known at once, in archive
// order) and hands over its handle and content; this thread writes it, sets
// its time and closes it. Under Wine each of those calls waits for the
// server, and on Windows closing a file is what an antivirus makes slow: done
// here they overlap with inflating and creating the next files.
#pragma once

#include "FileSys.h"
#include "Worker.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace unrar {

// A file to write, or (without a file) only a line to pass on in its turn.
struct TWriteJob {
    std::unique_ptr<fs::TOutputFile> File; // created, empty
    std::vector<char> Data;                // the whole content
    uint64_t Size = 0;
    int64_t MTime = 0;
    std::string Path, Shown;
    std::string_view Label; // of a line-only job
    // The outcome, set by the writer.
    enum class TOutcome { Written, Failed, Dropped } Outcome = TOutcome::Written;
    bool Pending = false;  // put beside a held file (Pending line)
    std::string Why;       // why it failed (the system's text)
};

class TWriter {
public:
    // Content a job may carry: larger files are written by the caller.
    static constexpr size_t JobLimit = 1024 * 1024;

    TWriter();
    // Waits for every queued job; their outcomes are dropped.
    ~TWriter();
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    // Queues a job; waits while too much content is queued. After a job has
    // failed, later ones are not written: their files are deleted again
    // (Dropped), as if extraction had stopped at the failure.
    void Queue(std::unique_ptr<TWriteJob> job);
    // The jobs done so far, in queue order; with all, waits for every one.
    std::vector<std::unique_ptr<TWriteJob>> Done(bool all);

private:
    void Work();
    static void Write(TWriteJob& job);

    TMutex FMutex;
    TCondition FChanged;
    std::deque<std::unique_ptr<TWriteJob>> FQueued, FDone;
    size_t FQueuedBytes = 0;
    bool FBusy = false, FFailed = false, FStop = false;
    TThread FThread;
};

} // namespace unrar
