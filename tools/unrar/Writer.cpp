#include "Writer.h"

#include <mutex>
#include <utility>

namespace unrar {

namespace {

// Content queued at most: enough to keep the writer busy, little memory.
constexpr size_t QueueBytes = 4 * 1024 * 1024;
constexpr size_t QueueJobs = 256;

} // namespace

TWriter::TWriter() : FThread([this] { Work(); }) {}

TWriter::~TWriter() {
    Done(true);
    {
        std::lock_guard<TMutex> lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TWriter::Queue(std::unique_ptr<TWriteJob> job) {
    std::unique_lock<TMutex> lock(FMutex);
    FChanged.wait(lock, [this] {
        return FQueued.empty() || (FQueuedBytes < QueueBytes && FQueued.size() < QueueJobs);
    });
    FQueuedBytes += job->Data.size();
    FQueued.push_back(std::move(job));
    FChanged.notify_all();
}

std::vector<std::unique_ptr<TWriteJob>> TWriter::Done(bool all) {
    std::unique_lock<TMutex> lock(FMutex);
    if (all) FChanged.wait(lock, [this] { return FQueued.empty() && !FBusy; });
    std::vector<std::unique_ptr<TWriteJob>> done;
    for (auto& job : FDone)
        done.push_back(std::move(job));
    FDone.clear();
    return done;
}

void TWriter::Work() {
    for (;;) {
        std::unique_ptr<TWriteJob> job;
        bool drop = false;
        {
            std::unique_lock<TMutex> lock(FMutex);
            FChanged.wait(lock, [this] { return !FQueued.empty() || FStop; });
            if (FQueued.empty()) return;
            job = std::move(FQueued.front());
            FQueued.pop_front();
            FQueuedBytes -= job->Data.size();
            FBusy = true;
            drop = FFailed;
        }
        if (drop) {
            if (job->File) job->File->Discard();
            job->Outcome = TWriteJob::TOutcome::Dropped;
        } else if (job->File) {
            Write(*job);
        }
        job->Data.clear(); // its memory serves a later file
        {
            std::lock_guard<TMutex> lock(FMutex);
            FFailed = FFailed || job->Outcome == TWriteJob::TOutcome::Failed;
            FDone.push_back(std::move(job));
            FBusy = false;
        }
        FChanged.notify_all();
    }
}

void TWriter::Write(TWriteJob& job) {
    fs::TOutputFile& file = *job.File;
    if (!job.Data.empty() && !file.Write(job.Data.data(), job.Data.size())) {
        job.Why = fs::LastErrorText();
        file.Discard();
        job.Outcome = TWriteJob::TOutcome::Failed;
        return;
    }
    file.SetTime(job.MTime);
    if (!file.Close()) {
        job.Why = fs::LastErrorText();
        job.Outcome = TWriteJob::TOutcome::Failed;
        return;
    }
    job.Pending = file.Pending();
}

} // namespace unrar
