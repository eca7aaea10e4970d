// The few file operations extraction needs, over the native API of each
// system (POSIX calls; the Windows A functions), so no runtime layer adds
// buffering or per-call overhead to the large writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Streams.h"

namespace unrar::fs {

#ifdef _WIN32
constexpr char Separator = '\\';
#else
constexpr char Separator = '/';
#endif

enum class TKind { Missing, File, Directory, Link, Other };

// Windows' file time (100 ns steps since 1601) of a time in seconds since
// 1970; one that the file time cannot hold is taken as the nearest it can.
uint64_t WindowsFileTime(int64_t seconds);

// What is at path, without following a final link.
TKind Probe(const std::string& path);

// True when path is a link (a junction, a symbolic link, a mount point), or
// a folder that a link on its way leads to from elsewhere.
bool LeadsElsewhere(const std::string& path);

// Creates one folder; false with the system's reason in error.
bool MakeDirectory(const std::string& path, std::string& error);

// Deletes a file (a partly written one after a failure); result ignored by callers.
void RemoveFile(const std::string& path);

// A clock that only moves forward, in milliseconds from an unspecified start.
uint64_t Milliseconds();

// Text of the last system error of this thread.
std::string LastErrorText();
// Why a file could not be created, after a failed TOutputFile::Create, as
// the ending of the line that names it: ": " and the system's text, or for
// the two reasons the setup program tells apart, in use and access denied,
// the endings it looks for (data/Extraction.h).
std::string CreateErrorEnding(bool inUse);

class TInputFile : public TRawSource {
public:
    TInputFile() = default;
    ~TInputFile() override;
    TInputFile(const TInputFile&) = delete;
    TInputFile& operator=(const TInputFile&) = delete;
    bool Open(const std::string& path);
    size_t Read(char* buffer, size_t size, TArchiveFault& fault) override;

private:
#ifdef _WIN32
    void* FHandle = reinterpret_cast<void*>(-1);
#else
    int FFd = -1;
#endif
};

enum class TCreateResult { Created, Exists, Failed };

// Suffix of the file that carries a held file's new content beside it.
inline constexpr const char* PendingSuffix = ".~new";

class TOutputFile {
public:
    TOutputFile() = default;
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;
    // Creates path. An existing file is replaced only when overwrite is set:
    // the new content goes into path + PendingSuffix, which Close renames
    // over it, so nothing is ever written through an existing file (it may
    // be a hard link to another) and an existing link is replaced, never
    // followed. Read-only files are replaced too.
    TCreateResult Create(const std::string& path, uint32_t mode, bool overwrite);
    bool Write(const char* data, size_t size);
    // Holes of a sparse file: marked so they take no disk where the file
    // system can (failure ignored: the holes are then stored as zeros),
    // skipped by moving the write position, and a final one left by
    // setting the size. No hole is ever written byte by byte.
    void MakeSparse();
    bool Seek(uint64_t offset);
    bool SetSize(uint64_t size);
    // Sets the modification time (seconds since 1970) before closing.
    void SetTime(int64_t mtime);
    // Closes the file and puts it in place. False when the system reports
    // a failed write on closing or the file cannot be put in place; the
    // new content is then gone.
    bool Close();
    // Closes and deletes what was written: nothing of it is left.
    void Discard();
    // After Close: the file it replaces is held open by another program, so
    // the new content stays beside it, in path + PendingSuffix.
    bool Pending() const { return FPending; }
    // After a failed Create: another program holds the file.
    bool InUse() const { return FInUse; }

private:
    bool CloseHandleOnly();
    std::string FPath, FTemporary; // FTemporary: set while replacing a file
    bool FPending = false, FInUse = false;
#ifdef _WIN32
    void* FHandle = reinterpret_cast<void*>(-1);
#else
    int FFd = -1;
#endif
};

} // namespace unrar::fs
