#include "Unrar.h"

#include "FileSys.h"
#include "Names.h"
#include "Paths.h"
#include "TarReader.h"
#include "Writer.h"
#include "data/Extraction.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <set>

namespace unrar {

const char* const UsageText =
    "Usage: unrar <command> [switches] <archive> [masks...] [destination\\]\n"
    "Commands:\n"
    "  x    extract with full paths\n"
    "  lb   list the archive's files, one relative path a line\n"
    "Switches:\n"
    "  -o+  overwrite existing files     -o-  keep existing files\n"
    "  -y   assume yes (overwrite)       -r   masks match in every folder\n"
    "  -c- -cfg- -dh -idp                accepted; nothing to change here\n"
    "The archive is a tar archive, optionally gzip-compressed.\n";

void Put(std::FILE* to, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), to);
}

namespace {

// Holes of sparse files a run may create, all files together. Where the
// file system cannot keep a file sparse (FAT) holes take disk like data, so
// an archive declaring huge files of almost no data is refused instead.
constexpr uint64_t HoleLimit = uint64_t(4) << 30;
// Memory kept for the content of files still to come.
constexpr size_t SpareLimit = 8 * 1024 * 1024;

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool EndsWithSeparator(const std::string& text) {
    return !text.empty() && (text.back() == '\\' || text.back() == '/');
}

// One run of a command: the outcome, the output and the folders known to exist.
class TRun {
public:
    TRun(const TOptions& options, std::FILE* out, std::FILE* err)
        : FOptions(options), FOut(out), FErr(err) {}
    ~TRun() {
#if __cpp_exceptions
        // Lines collected before an unexpected error (out of memory) still
        // reach the output. Built without exceptions, such an error ends the
        // program where it happens.
        try {
            Settle();
        } catch (...) {
        }
        Flush();
#endif
    }
    TRun(const TRun&) = delete;
    TRun& operator=(const TRun&) = delete;

    int Execute();

private:
    // Settles, reports and returns the exit code.
    int Finish();
    // An archive error ends the run as the end of the archive would: the
    // reader then hands out nothing more, the file being read into is
    // deleted, and the error line comes before the summary.
    void ReadEntries(fs::TInputFile& input, bool extract);
    // Splits the entry's path into parts; false when the entry is refused
    // (with a warning) or no mask selects it.
    bool Selects(const TTarEntry& entry, std::vector<std::string>& parts);
    void HandleEntry(TTarReader& reader, const TTarEntry& entry,
                     const std::vector<std::string>& parts, bool extract);
    int ExitCode() const;
    void PutSummary(int code);
    bool PrepareDestination();
    bool MakeFolders(const std::string& path);
    bool EnsureFolders(const std::vector<std::string>& parts, size_t count);
    void ExtractFile(TTarReader& reader, const TTarEntry& entry,
                     const std::vector<std::string>& parts, const std::string& shown);
    // The file created for an entry; null when it is skipped or cannot be.
    std::unique_ptr<fs::TOutputFile> CreateOutput(const std::string& path, const std::string& shown,
                                                  uint32_t mode);
    // Hands a small file to the writer, its data read whole.
    void QueueFile(TTarReader& reader, const TTarEntry& entry,
                   std::unique_ptr<fs::TOutputFile> file, const std::string& path,
                   const std::string& shown);
    void WriteFile(TTarReader& reader, const TTarEntry& entry, fs::TOutputFile& file,
                   const std::string& path, const std::string& shown);
    void Line(std::string_view label, const std::string& path);
    // A line after those of the files the writer still has.
    void LineInTurn(std::string_view label, const std::string& path);
    // Reports what the writer has done; first waits for all of it, unless
    // only what is done already is asked for.
    void Settle(bool waitForAll = true);
    // Writes the collected lines out.
    void Flush();
    void Error(TExitCode code, const std::string& message);
    std::string Shown(const std::vector<std::string>& parts) const;

    const TOptions& FOptions;
    std::FILE* FOut;
    std::FILE* FErr;
    std::string FPrefix; // destination with one trailing separator
    std::set<std::string> FKnownFolders;
    TExitCode FStop = ecSuccess; // the error that ended the run early
    uint64_t FHoleBudget = HoleLimit;
    bool FCreateFailed = false, FWarned = false, FPending = false;
    unsigned long long FFiles = 0, FFolders = 0, FBytes = 0, FMatched = 0;
    uint64_t FLastFlush = fs::Milliseconds();
    static constexpr size_t LineBlock = 64 * 1024;
    std::string FLines;               // lines not yet handed to FOut
    std::unique_ptr<TWriter> FWriter; // started by the first small file
    // Buffers of written files, for the next ones: memory stays flat.
    std::vector<std::vector<char>> FSpare;
    size_t FSpareBytes = 0;
    bool FSettling = false;
};

void TRun::Line(std::string_view label, const std::string& path) {
    if (!FSettling) Settle();
    // Collected here and handed to the runtime in large blocks: on Windows
    // the runtime asks the system about the console on every call, which
    // for one line per file cost more than writing the file itself.
    FLines += label;
    FLines += path;
    FLines += '\n';
    // Buffered for speed, yet a reader following the lines (a progress
    // display) still sees them at least every 100 ms.
    uint64_t now = fs::Milliseconds();
    if (FLines.size() >= LineBlock || now - FLastFlush >= 100) {
        Flush();
        FLastFlush = now;
    }
}

void TRun::Flush() {
    if (!FLines.empty()) {
        const std::string text = names::ForConsole(FLines);
        std::fwrite(text.data(), 1, text.size(), FOut);
    }
    FLines.clear();
    std::fflush(FOut);
}

void TRun::LineInTurn(std::string_view label, const std::string& path) {
    if (!FWriter) return Line(label, path);
    auto job = std::make_unique<TWriteJob>();
    job->Label = label;
    job->Shown = path;
    FWriter->Queue(std::move(job));
}

void TRun::Settle(bool waitForAll) {
    if (!FWriter || FSettling) return;
    FSettling = true;
    for (const auto& job : FWriter->Done(waitForAll)) {
        if (FSpareBytes + job->Data.capacity() <= SpareLimit) {
            FSpareBytes += job->Data.capacity();
            FSpare.push_back(std::move(job->Data));
        }
        if (job->Outcome == TWriteJob::TOutcome::Failed) {
            Error(ecWrite, "write error in " + job->Path + ": " + job->Why);
        } else if (job->Outcome == TWriteJob::TOutcome::Written && !job->File) {
            Line(job->Label, job->Shown);
        } else if (job->Outcome == TWriteJob::TOutcome::Written) {
            FBytes += job->Size;
            ++FFiles;
            if (job->Pending) FPending = true;
            Line(job->Pending ? extraction::Pending : extraction::Extracting, job->Shown);
        }
    }
    FSettling = false;
}

void TRun::Error(TExitCode code, const std::string& message) {
    if (!FSettling) Settle();
    Flush();
    Put(FErr, std::string(extraction::ErrorPrefix) + names::ForConsole(message) + "\n");
    std::fflush(FErr);
    if (code == ecWarning)
        FWarned = true;
    else if (code == ecCreate)
        FCreateFailed = true;
    else if (FStop == ecSuccess)
        FStop = code;
}

std::string TRun::Shown(const std::vector<std::string>& parts) const {
    std::string shown;
    for (const auto& part : parts) {
        if (!shown.empty()) shown += fs::Separator;
        shown += part;
    }
    return shown;
}

bool TRun::MakeFolders(const std::string& path) {
    fs::TKind kind = fs::Probe(path);
    if (kind == fs::TKind::Directory || kind == fs::TKind::Link) return true;
    if (kind != fs::TKind::Missing) {
        Error(ecCreate, "cannot create folder " + path + ": a file of that name exists");
        return false;
    }
    size_t cut = path.find_last_of("/\\");
    if (cut != std::string::npos && cut > 0) {
        std::string parent = path.substr(0, cut);
        bool driveRoot = parent.size() == 2 && parent[1] == ':';
        if (!driveRoot && fs::Probe(parent) == fs::TKind::Missing && !MakeFolders(parent))
            return false;
    }
    std::string error;
    if (!fs::MakeDirectory(path, error) && fs::Probe(path) != fs::TKind::Directory) {
        Error(ecCreate, "cannot create folder " + path + ": " + error);
        return false;
    }
    return true;
}

bool TRun::PrepareDestination() {
    std::string dest = FOptions.Destination;
    while (dest.size() > 1 && EndsWithSeparator(dest) && !(dest.size() == 3 && dest[1] == ':'))
        dest.pop_back();
    if (dest.empty()) dest = ".";
    bool root = dest == "/" || dest == "\\" || (dest.size() == 3 && dest[1] == ':');
    // Everything would land wherever the link leads.
    if (!root && fs::LeadsElsewhere(dest)) {
        Error(ecCreate, "cannot extract into " + dest +
                            ": it is a link to another place, not "
                            "followed");
        return false;
    }
    if (!root && !MakeFolders(dest)) return false;
    FPrefix = EndsWithSeparator(dest) ? dest : dest + fs::Separator;
    return true;
}

bool TRun::EnsureFolders(const std::vector<std::string>& parts, size_t count) {
    // One probe per folder per run; the cache is capped so memory stays flat.
    if (FKnownFolders.size() > 4096) FKnownFolders.clear();
    std::string path = FPrefix;
    for (size_t i = 0; i < count; ++i) {
        if (i) path += fs::Separator;
        path += parts[i];
        if (FKnownFolders.count(path)) continue;
        // Most folders of an archive are new: creating first and looking
        // only when that fails saves a system call per folder.
        std::string error;
        if (fs::MakeDirectory(path, error)) {
            FKnownFolders.insert(path);
            ++FFolders; // every folder made counts, listed or not
            continue;
        }
        switch (fs::Probe(path)) {
        case fs::TKind::Directory:
            break;
        case fs::TKind::Missing:
            Error(ecCreate, "cannot create folder " + path + ": " + error);
            return false;
        case fs::TKind::Link:
            // Following it could put files outside the destination.
            Error(ecCreate,
                  std::string(extraction::CannotCreate) + path + ": it is a link, not followed");
            return false;
        default:
            Error(ecCreate, "cannot create folder " + path + ": a file of that name exists");
            return false;
        }
        FKnownFolders.insert(path);
    }
    return true;
}

void TRun::ExtractFile(TTarReader& reader, const TTarEntry& entry,
                       const std::vector<std::string>& parts, const std::string& shown) {
    if (!EnsureFolders(parts, parts.size() - 1)) return;
    std::string path = FPrefix + shown;
    auto file = CreateOutput(path, shown, entry.Mode);
    if (!file) return;
    if (!entry.Sparse && entry.Size <= TWriter::JobLimit)
        return QueueFile(reader, entry, std::move(file), path, shown);
    // A large or sparse file is written here, after everything before it.
    Settle();
    if (FStop != ecSuccess) return file->Discard();
    WriteFile(reader, entry, *file, path, shown);
}

std::unique_ptr<fs::TOutputFile> TRun::CreateOutput(const std::string& path,
                                                    const std::string& shown, uint32_t mode) {
    bool overwrite = FOptions.Overwrite && !FOptions.KeepExisting;
    auto file = std::make_unique<fs::TOutputFile>();
    // A new file first; one that exists may be one the writer still has.
    fs::TCreateResult created = file->Create(path, mode, false);
    if (created == fs::TCreateResult::Exists) {
        Settle();
        if (FStop != ecSuccess) return nullptr;
        created = file->Create(path, mode, overwrite);
    }
    switch (created) {
    case fs::TCreateResult::Exists:
        Line(extraction::Skipping, shown);
        return nullptr;
    case fs::TCreateResult::Failed:
        Error(ecCreate,
              std::string(extraction::CannotCreate) + path + fs::CreateErrorEnding(file->InUse()));
        return nullptr;
    case fs::TCreateResult::Created:
        break;
    }
    return file;
}

void TRun::QueueFile(TTarReader& reader, const TTarEntry& entry,
                     std::unique_ptr<fs::TOutputFile> file, const std::string& path,
                     const std::string& shown) {
    auto job = std::make_unique<TWriteJob>();
    if (!FSpare.empty()) {
        job->Data = std::move(FSpare.back());
        FSpare.pop_back();
        FSpareBytes -= job->Data.capacity();
    }
    job->Data.reserve(size_t(entry.Size));
    for (auto data = reader.ReadData(); !data.empty(); data = reader.ReadData())
        job->Data.insert(job->Data.end(), data.begin(), data.end());
    if (reader.Fault()) return file->Discard();
    job->Data.resize(size_t(entry.Size));
    job->File = std::move(file);
    job->Size = entry.Size;
    job->MTime = entry.MTime;
    job->Path = path;
    job->Shown = shown;
    if (!FWriter) FWriter = std::make_unique<TWriter>();
    FWriter->Queue(std::move(job));
    Settle(false);
}

void TRun::WriteFile(TTarReader& reader, const TTarEntry& entry, fs::TOutputFile& file,
                     const std::string& path, const std::string& shown) {
    auto failed = [&] {
        Error(ecWrite, "write error in " + path + ": " + fs::LastErrorText());
        file.Discard();
    };
    if (entry.Sparse && entry.DataSize < entry.Size) file.MakeSparse();
    uint64_t end = 0; // of what is written so far
    for (auto data = reader.ReadData(); !data.empty(); data = reader.ReadData()) {
        uint64_t at = reader.DataOffset();
        if ((at != end && !file.Seek(at)) || !file.Write(data.data(), data.size())) return failed();
        end = at + data.size();
    }
    if (reader.Fault()) return file.Discard();
    if (end < entry.Size && !file.SetSize(entry.Size)) return failed();
    file.SetTime(entry.MTime);
    if (!file.Close()) {
        // Some file systems report a failed write only on closing: the
        // file is then incomplete and is gone.
        Error(ecWrite, "write error in " + path + ": " + fs::LastErrorText());
        return;
    }
    FBytes += entry.Size;
    ++FFiles;
    if (file.Pending()) {
        // Complete, but beside the file another program holds.
        FPending = true;
        Line(extraction::Pending, shown);
        return;
    }
    Line(extraction::Extracting, shown);
}

int TRun::Execute() {
    fs::TInputFile input;
    if (!input.Open(FOptions.Archive)) {
        const std::string why = fs::LastErrorText();
        Put(FErr, std::string(extraction::ErrorPrefix) + "cannot open " +
                      names::ForConsole(FOptions.Archive) + ": " + names::ForConsole(why) + "\n");
        return ecOpen;
    }
    bool extract = FOptions.Command == TCommand::Extract;
    if (extract) {
        if (!PrepareDestination()) return ecCreate;
        Put(FOut, "Extracting from " + names::ForConsole(FOptions.Archive) + "\n\n");
    }
    ReadEntries(input, extract);
    return Finish();
}

int TRun::Finish() {
    Settle();
    int code = ExitCode();
    if (code == ecNoFiles) Error(ecWarning, "no files to extract");
    Flush();
    if (FOptions.Command == TCommand::Extract) PutSummary(code);
    std::fflush(FOut);
    return code;
}

void TRun::ReadEntries(fs::TInputFile& input, bool extract) {
    auto stream = OpenArchiveStream(input, true);
    TTarReader reader(*stream);
    TTarEntry entry;
    std::vector<std::string> parts;
    while (FStop == ecSuccess && reader.Next(entry)) {
        entry.Path = names::EntryName(entry.Path, entry.PathIsUtf8);
        entry.LinkPath = names::EntryName(entry.LinkPath, entry.PathIsUtf8);
        if (Selects(entry, parts)) HandleEntry(reader, entry, parts, extract);
    }
    if (const TArchiveFault& fault = reader.Fault())
        Error(fault.Code, FOptions.Archive + ": " + fault.Message);
}

bool TRun::Selects(const TTarEntry& entry, std::vector<std::string>& parts) {
    TPathVerdict verdict = SplitSafePath(entry.Path, parts);
    if (verdict == TPathVerdict::Empty) return false; // "./": the destination itself
    if (verdict != TPathVerdict::Ok) {
        ++FMatched;
        Error(ecWarning, "refused " + entry.Path + ": " + VerdictText(verdict));
        return false;
    }
    // A file the setup program cannot name is one its uninstall could
    // not find again: it is not installed at all.
    if (!std::all_of(parts.begin(), parts.end(), names::FitsSetupProgram)) {
        ++FMatched;
        Error(ecWarning, "refused " + entry.Path + ": name not held by this system's code pages");
        return false;
    }
    bool selected =
        std::any_of(FOptions.Masks.begin(), FOptions.Masks.end(), [&](const std::string& mask) {
            return MaskSelects(mask, parts, FOptions.Recurse);
        });
    if (selected) ++FMatched;
    return selected;
}

void TRun::HandleEntry(TTarReader& reader, const TTarEntry& entry,
                       const std::vector<std::string>& parts, bool extract) {
    std::string shown = Shown(parts);
    switch (entry.Kind) {
    case TEntryKind::HardLink:
    case TEntryKind::SymLink:
        Error(ecWarning, "refused " + entry.Path + ": link entry (to " + entry.LinkPath + ")");
        break;
    case TEntryKind::Other:
        Error(ecWarning, "refused " + entry.Path + ": " +
                             (entry.Refusal.empty() ? "unsupported entry type '" +
                                                          std::string(1, entry.TypeFlag) + "'"
                                                    : entry.Refusal));
        break;
    case TEntryKind::Directory:
        if (extract && EnsureFolders(parts, parts.size())) LineInTurn(extraction::Creating, shown);
        break;
    case TEntryKind::File:
        if (!extract) {
            Line("", shown);
        } else if (entry.Size - entry.DataSize > FHoleBudget) {
            Error(ecWarning, "refused " + entry.Path + ": sparse file too large (" +
                                 std::to_string(entry.Size) + " bytes, holes over " +
                                 std::to_string(HoleLimit >> 30) + " GB in all)");
        } else {
            FHoleBudget -= entry.Size - entry.DataSize;
            ExtractFile(reader, entry, parts, shown);
        }
        break;
    }
}

int TRun::ExitCode() const {
    return FStop != ecSuccess ? FStop
           : FCreateFailed    ? ecCreate
           : FWarned          ? ecWarning
           : FMatched == 0    ? ecNoFiles
           : FPending         ? ecPending
                              : ecSuccess;
}

void TRun::PutSummary(int code) {
    const char* outcome = code == ecSuccess   ? "All OK"
                          : code == ecPending ? "All OK, some files wait for a restart"
                                              : "Finished with errors";
    Put(FOut, "\n" + std::string(outcome) + ": " + std::to_string(FFiles) + " files, " +
                  std::to_string(FFolders) + " folders, " + std::to_string(FBytes) + " bytes\n");
}

bool ParseCommand(const std::string& arg, TOptions& options, std::string& error) {
    std::string command = Lowered(arg);
    if (command == "x") {
        options.Command = TCommand::Extract;
    } else if (command == "lb") {
        options.Command = TCommand::ListBare;
    } else {
        error = "unknown command " + arg;
        return false;
    }
    return true;
}

// Sorts the arguments after the command into switches, which it applies,
// and names.
bool ParseSwitches(const std::vector<std::string>& args, TOptions& options,
                   std::vector<std::string>& names, std::string& error) {
    bool switches = true;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (switches && arg == "--") {
            switches = false;
            continue;
        }
        if (!(switches && arg.size() > 1 && arg[0] == '-')) {
            names.push_back(arg);
            continue;
        }
        std::string s = Lowered(arg.substr(1));
        if (s == "o+") {
            options.Overwrite = true;
            options.KeepExisting = false;
        } else if (s == "o-") {
            options.KeepExisting = true;
        } else if (s == "y") {
            options.Overwrite = true;
        } else if (s == "r") {
            options.Recurse = true;
        } else if (s != "c-" && s != "cfg-" && s != "dh" && s != "idp") {
            error = "unknown switch " + arg;
            return false;
        }
    }
    return true;
}

// Takes the destination from the end of the names when the last one is one.
bool TakeDestination(std::vector<std::string>& names, TOptions& options, std::string& error) {
    std::string last = names.back();
    bool quoted = !last.empty() && last.back() == '"';
    if (quoted) last.pop_back();
    if (!quoted && !EndsWithSeparator(last)) return true;
    if (last.find('"') != std::string::npos) {
        error = "bad destination " + names.back();
        return false;
    }
    // "C:\" arrives as C:" and would otherwise mean the current folder of drive C.
    if (last.size() == 2 && last[1] == ':') last += '\\';
    options.Destination = last.empty() ? "." : last;
    names.pop_back();
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args, TOptions& options, std::string& error) {
    options = TOptions{};
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    std::vector<std::string> names;
    if (!ParseCommand(args[0], options, error) || !ParseSwitches(args, options, names, error))
        return false;
    if (names.empty() || names[0].empty()) {
        error = "no archive name given";
        return false;
    }
    options.Archive = names[0];
    names.erase(names.begin());
    if (options.Command == TCommand::Extract && !names.empty() &&
        !TakeDestination(names, options, error))
        return false;
    for (const auto& mask : names) {
        if (mask.empty() || mask.find('"') != std::string::npos || EndsWithSeparator(mask)) {
            error = "bad file mask " + mask;
            return false;
        }
    }
    options.Masks = names.empty() ? std::vector<std::string>{"*"} : names;
    return true;
}

int Run(const TOptions& options, std::FILE* out, std::FILE* err) {
#if __cpp_exceptions
    try {
        TRun run(options, out, err);
        return run.Execute();
    } catch (const std::bad_alloc&) {
        // Said without allocating.
        Put(err, extraction::ErrorPrefix);
        Put(err, "out of memory\n");
    } catch (const std::exception& e) {
        Put(err, std::string(extraction::ErrorPrefix) + e.what() + "\n");
    }
    return ecFatal;
#else
    // Out of memory and the containers' errors end the program with the
    // same words (NoExceptions.cpp).
    TRun run(options, out, err);
    return run.Execute();
#endif
}

} // namespace unrar
