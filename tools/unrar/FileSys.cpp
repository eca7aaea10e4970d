#include "FileSys.h"

#include "Names.h"
#include "data/Extraction.h"

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace unrar::fs {

uint64_t WindowsFileTime(int64_t seconds) {
    // FILETIME counts 100 ns steps from 1601. An archive's time may be
    // anything: one before 1601 or beyond what FILETIME holds is taken as
    // the nearest it can hold.
    constexpr int64_t epoch = 11644473600LL;
    constexpr int64_t latest = int64_t(0x7FFFFFFFFFFFFFFFULL / 10000000ULL) - epoch;
    seconds = seconds < -epoch ? -epoch : seconds > latest ? latest : seconds;
    return uint64_t(seconds + epoch) * 10000000ULL;
}

#ifdef _WIN32

namespace {
HANDLE Handle(void* h) {
    return static_cast<HANDLE>(h);
}

// Paths are UTF-8 inside the program; the system takes them wide.
std::wstring W(const std::string& path) {
    return names::Wide(path);
}
} // namespace

TKind Probe(const std::string& path) {
    DWORD attributes = GetFileAttributesW(W(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return TKind::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return TKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return TKind::Directory;
    return TKind::File;
}

bool LeadsElsewhere(const std::string& path) {
    const TKind kind = Probe(path);
    if (kind == TKind::Link) return true;
    if (kind != TKind::Directory) return false;
    // A Unix link under Wine shows as a plain folder: where it resolves to
    // tells, as for a link anywhere on the way.
    HANDLE h = CreateFileW(
        W(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::wstring final(32768, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, final.data(), DWORD(final.size()), 0);
    CloseHandle(h);
    std::wstring full(32768, L'\0');
    DWORD f = GetFullPathNameW(W(path).c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n == 0 || n >= final.size() || f == 0 || f >= full.size()) return false;
    final.resize(n);
    full.resize(f);
    std::wstring longName(32768, L'\0');
    DWORD l = GetLongPathNameW(full.c_str(), longName.data(), DWORD(longName.size()));
    if (l > 0 && l < longName.size()) full.assign(longName.data(), l);
    auto bare = [](std::wstring p) {
        if (p.rfind(L"\\\\?\\UNC\\", 0) == 0)
            p = L"\\\\" + p.substr(8);
        else if (p.rfind(L"\\\\?\\", 0) == 0)
            p.erase(0, 4);
        while (p.size() > 3 && p.back() == L'\\')
            p.pop_back();
        return p;
    };
    final = bare(final);
    full = bare(full);
    return CompareStringOrdinal(final.c_str(), int(final.size()), full.c_str(), int(full.size()),
                                TRUE) != CSTR_EQUAL;
}

bool MakeDirectory(const std::string& path, std::string& error) {
    if (CreateDirectoryW(W(path).c_str(), nullptr)) return true;
    error = LastErrorText();
    return false;
}

void RemoveFile(const std::string& path) {
    DeleteFileW(W(path).c_str());
}

uint64_t Milliseconds() {
    return GetTickCount64();
}

std::string LastErrorText() {
    DWORD code = GetLastError();
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string result =
        n && text ? names::Utf8(std::wstring(text, n)) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    return result;
}

std::string CreateErrorEnding(bool inUse) {
    if (inUse) return std::string(extraction::InUseEnding);
    if (GetLastError() == ERROR_ACCESS_DENIED) return std::string(extraction::AccessDeniedEnding);
    return ": " + LastErrorText();
}

TInputFile::~TInputFile() {
    if (Handle(FHandle) != INVALID_HANDLE_VALUE) CloseHandle(Handle(FHandle));
}

bool TInputFile::Open(const std::string& path) {
    FHandle = CreateFileW(W(path).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return Handle(FHandle) != INVALID_HANDLE_VALUE;
}

size_t TInputFile::Read(char* buffer, size_t size, TArchiveFault& fault) {
    DWORD got = 0;
    DWORD want = size > 0x40000000 ? 0x40000000 : DWORD(size);
    if (!ReadFile(Handle(FHandle), buffer, want, &got, nullptr)) {
        fault.Set(ecFatal, "cannot read the archive: " + LastErrorText());
        return 0;
    }
    return got;
}

TOutputFile::~TOutputFile() {
    // Left open only when extraction broke off: nothing half-written stays.
    if (Handle(FHandle) != INVALID_HANDLE_VALUE) Discard();
}

namespace {

bool SharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// True when another program holds path open so that it cannot be replaced:
// an exclusive open for delete, as a rename over it needs, is refused.
bool HeldByOther(const std::string& path) {
    HANDLE h = CreateFileW(W(path).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return SharingError(GetLastError());
    CloseHandle(h);
    return false;
}

// Opening the reparse point itself keeps a planted link from redirecting the write.
constexpr DWORD CreateFlags =
    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT;

HANDLE CreateNew(const std::string& path) {
    return CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, CreateFlags, nullptr);
}

} // namespace

TCreateResult TOutputFile::Create(const std::string& path, uint32_t, bool overwrite) {
    FPath = path;
    FTemporary.clear();
    FPending = FInUse = false;
    // Most files of an installation are new: one call for them.
    HANDLE h = CreateNew(path);
    if (h != INVALID_HANDLE_VALUE) {
        FHandle = h;
        return TCreateResult::Created;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
        FInUse = SharingError(error);
        SetLastError(error);
        return TCreateResult::Failed;
    }
    if (!overwrite) return TCreateResult::Exists;
    DWORD attributes = GetFileAttributesW(W(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return TCreateResult::Failed;
    }
    // The new content goes beside the file and is renamed over it on Close.
    // Whatever lies at the temporary name is a leftover of an earlier run
    // (a content that waited for a restart that never came): it goes.
    FTemporary = path + PendingSuffix;
    SetFileAttributesW(W(FTemporary).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(W(FTemporary).c_str());
    h = CreateNew(FTemporary);
    if (h == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        FInUse = SharingError(error);
        FTemporary.clear();
        SetLastError(error);
        return TCreateResult::Failed;
    }
    FHandle = h;
    // Known now rather than at the rename: Wine renames over a file that
    // another process holds, where Windows refuses.
    FPending = HeldByOther(path);
    return TCreateResult::Created;
}

bool TOutputFile::Write(const char* data, size_t size) {
    while (size > 0) {
        DWORD put = 0;
        DWORD want = size > 0x40000000 ? 0x40000000 : DWORD(size);
        if (!WriteFile(Handle(FHandle), data, want, &put, nullptr) || put == 0) return false;
        data += put;
        size -= put;
    }
    return true;
}

void TOutputFile::MakeSparse() {
    DWORD returned = 0;
    DeviceIoControl(Handle(FHandle), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
}

bool TOutputFile::Seek(uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    return SetFilePointerEx(Handle(FHandle), at, nullptr, FILE_BEGIN);
}

bool TOutputFile::SetSize(uint64_t size) {
    return Seek(size) && SetEndOfFile(Handle(FHandle));
}

void TOutputFile::SetTime(int64_t mtime) {
    uint64_t ticks = WindowsFileTime(mtime);
    FILETIME ft{DWORD(ticks), DWORD(ticks >> 32)};
    SetFileTime(Handle(FHandle), nullptr, nullptr, &ft);
}

bool TOutputFile::CloseHandleOnly() {
    BOOL ok = CloseHandle(Handle(FHandle));
    FHandle = INVALID_HANDLE_VALUE;
    return ok;
}

bool TOutputFile::Close() {
    if (!CloseHandleOnly()) {
        Discard();
        return false;
    }
    if (FTemporary.empty() || FPending) return true;
    const std::wstring fromName = W(FTemporary), toName = W(FPath);
    const wchar_t* from = fromName.c_str();
    const wchar_t* to = toName.c_str();
    if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    DWORD error = GetLastError();
    // A read-only file refuses to be replaced until its attribute is cleared.
    DWORD attributes = GetFileAttributesW(to);
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) && SetFileAttributesW(to, FILE_ATTRIBUTE_NORMAL)) {
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
        error = GetLastError();
        SetFileAttributesW(to, attributes);
    }
    // Taken by another program since it was created: it waits beside it.
    if (SharingError(error) || (error == ERROR_ACCESS_DENIED && HeldByOther(FPath))) {
        FPending = true;
        return true;
    }
    DeleteFileW(from);
    SetLastError(error);
    return false;
}

void TOutputFile::Discard() {
    if (Handle(FHandle) != INVALID_HANDLE_VALUE) CloseHandleOnly();
    DWORD error = GetLastError();
    DeleteFileW(W(FTemporary.empty() ? FPath : FTemporary).c_str());
    SetLastError(error);
}

#else

TKind Probe(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return TKind::Missing;
    if (S_ISLNK(st.st_mode)) return TKind::Link;
    if (S_ISDIR(st.st_mode)) return TKind::Directory;
    if (S_ISREG(st.st_mode)) return TKind::File;
    return TKind::Other;
}

bool LeadsElsewhere(const std::string& path) {
    return Probe(path) == TKind::Link;
}

bool MakeDirectory(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), 0777) == 0) return true;
    error = LastErrorText();
    return false;
}

void RemoveFile(const std::string& path) {
    unlink(path.c_str());
}

uint64_t Milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000;
}

std::string LastErrorText() {
    return std::strerror(errno);
}

std::string CreateErrorEnding(bool inUse) {
    if (inUse) return std::string(extraction::InUseEnding);
    if (errno == EACCES || errno == EPERM) return std::string(extraction::AccessDeniedEnding);
    return ": " + LastErrorText();
}

TInputFile::~TInputFile() {
    if (FFd >= 0) close(FFd);
}

bool TInputFile::Open(const std::string& path) {
    FFd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) return false;
    struct stat st;
    if (fstat(FFd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(FFd);
        FFd = -1;
        errno = EISDIR;
        return false;
    }
    posix_fadvise(FFd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

size_t TInputFile::Read(char* buffer, size_t size, TArchiveFault& fault) {
    for (;;) {
        ssize_t n = read(FFd, buffer, size);
        if (n >= 0) return size_t(n);
        if (errno != EINTR) {
            fault.Set(ecFatal, "cannot read the archive: " + LastErrorText());
            return 0;
        }
    }
}

TOutputFile::~TOutputFile() {
    // Left open only when extraction broke off: nothing half-written stays.
    if (FFd >= 0) Discard();
}

TCreateResult TOutputFile::Create(const std::string& path, uint32_t mode, bool overwrite) {
    FPath = path;
    FTemporary.clear();
    FPending = FInUse = false;
    // O_NOFOLLOW with O_EXCL: a link planted at the file's place is never written through.
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    const mode_t permissions = (mode & 0777) | 0600;
    FFd = open(path.c_str(), flags, permissions);
    if (FFd >= 0) return TCreateResult::Created;
    if (errno != EEXIST) return TCreateResult::Failed;
    if (!overwrite) return TCreateResult::Exists;
    if (Probe(path) == TKind::Directory) {
        errno = EISDIR;
        return TCreateResult::Failed;
    }
    // The new content goes beside the file and is renamed over it on Close.
    FTemporary = path + PendingSuffix;
    unlink(FTemporary.c_str());
    FFd = open(FTemporary.c_str(), flags, permissions);
    if (FFd >= 0) return TCreateResult::Created;
    FTemporary.clear();
    return TCreateResult::Failed;
}

bool TOutputFile::Write(const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(FFd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

void TOutputFile::MakeSparse() {
    // Files here are sparse wherever they were never written.
}

bool TOutputFile::Seek(uint64_t offset) {
    return lseek(FFd, off_t(offset), SEEK_SET) >= 0;
}

bool TOutputFile::SetSize(uint64_t size) {
    return ftruncate(FFd, off_t(size)) == 0;
}

void TOutputFile::SetTime(int64_t mtime) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(mtime);
    times[1].tv_nsec = 0;
    futimens(FFd, times);
}

bool TOutputFile::CloseHandleOnly() {
    int rc = close(FFd);
    FFd = -1;
    return rc == 0;
}

bool TOutputFile::Close() {
    if (!CloseHandleOnly()) {
        Discard();
        return false;
    }
    if (FTemporary.empty() || rename(FTemporary.c_str(), FPath.c_str()) == 0) return true;
    Discard();
    return false;
}

void TOutputFile::Discard() {
    if (FFd >= 0) CloseHandleOnly();
    int error = errno;
    unlink((FTemporary.empty() ? FPath : FTemporary).c_str());
    errno = error;
}

#endif

} // namespace unrar::fs
