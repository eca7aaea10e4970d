#include "support/Files.h"

#include <cstdio>
#include <memory>

#ifdef _WIN32
#include "platform/Owners.h"
#include <windows.h>
#else
#include <filesystem>
#include <system_error>
#include <unistd.h>
#endif

namespace {

struct TFileCloser {
    void operator()(std::FILE* File) const { std::fclose(File); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

#ifdef _WIN32
constexpr char Separator = '\\';

DWORD Attributes(const std::string& Path) {
    return GetFileAttributesA(Path.c_str());
}

std::string TempRoot() {
    char Buffer[MAX_PATH + 1] = {};
    return std::string(Buffer, GetTempPathA(sizeof Buffer, Buffer));
}

unsigned ProcessId() {
    return GetCurrentProcessId();
}
#else
constexpr char Separator = '/';

std::string TempRoot() {
    std::error_code Error;
    return std::filesystem::temp_directory_path(Error).string();
}

unsigned ProcessId() {
    return static_cast<unsigned>(getpid());
}
#endif

} // namespace

std::optional<std::string> ReadWholeFile(const std::string& Path) {
    const TFile File(std::fopen(Path.c_str(), "rb"));
    if (!File) return std::nullopt;
    std::string Bytes;
    char Buffer[65536];
    for (size_t Count; (Count = std::fread(Buffer, 1, sizeof Buffer, File.get())) > 0;)
        Bytes.append(Buffer, Count);
    return Bytes;
}

bool WriteWholeFile(const std::string& Path, const std::string& Bytes) {
    TFile File(std::fopen(Path.c_str(), "wb"));
    if (!File) return false;
    const bool Written = std::fwrite(Bytes.data(), 1, Bytes.size(), File.get()) == Bytes.size();
    return std::fclose(File.release()) == 0 && Written;
}

std::string JoinPath(const std::string& Folder, const std::string& Name) {
    if (!Folder.empty() && (Folder.back() == Separator || Folder.back() == '/'))
        return Folder + Name;
    return Folder + Separator + Name;
}

TTempFolder::TTempFolder(const std::string& Tag) {
    static unsigned Counter = 0;
    FPath = JoinPath(TempRoot(), "morvane-" + Tag + "-" + std::to_string(ProcessId()) + "-" +
                                     std::to_string(++Counter));
    WipeTree(FPath); // an earlier run's (process ids come round again)
    MakeFolders(FPath);
}

TTempFolder::~TTempFolder() {
    WipeTree(FPath);
}

#ifdef _WIN32

bool PathExists(const std::string& Path) {
    return Attributes(Path) != INVALID_FILE_ATTRIBUTES;
}

bool FilePresent(const std::string& Path) {
    const DWORD Found = Attributes(Path);
    return Found != INVALID_FILE_ATTRIBUTES && !(Found & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderPresent(const std::string& Path) {
    const DWORD Found = Attributes(Path);
    return Found != INVALID_FILE_ATTRIBUTES && (Found & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::string& Path) {
    if (Path.empty() || FolderPresent(Path)) return true;
    const size_t Slash = Path.find_last_of('\\');
    // Not above the drive's root ("C:\").
    if (Slash != std::string::npos && Slash > 2) MakeFolders(Path.substr(0, Slash));
    return CreateDirectoryA(Path.c_str(), nullptr) || FolderPresent(Path);
}

void WipeTree(const std::string& Path) {
    WIN32_FIND_DATAA Entry;
    if (const TFindHandle Find{FindFirstFileA(JoinPath(Path, "*").c_str(), &Entry)}) {
        do {
            const std::string Name = Entry.cFileName;
            if (Name == "." || Name == ".." ||
                (Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            const std::string Full = JoinPath(Path, Name);
            SetFileAttributesA(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                WipeTree(Full);
            else
                DeleteFileA(Full.c_str());
        } while (FindNextFileA(Find.get(), &Entry));
    }
    SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(Path.c_str());
}

#else

namespace fs = std::filesystem;

bool PathExists(const std::string& Path) {
    std::error_code Error;
    return fs::exists(Path, Error);
}

bool FilePresent(const std::string& Path) {
    std::error_code Error;
    return fs::exists(Path, Error) && !fs::is_directory(Path, Error);
}

bool FolderPresent(const std::string& Path) {
    std::error_code Error;
    return fs::is_directory(Path, Error);
}

bool MakeFolders(const std::string& Path) {
    std::error_code Error;
    fs::create_directories(Path, Error);
    return FolderPresent(Path);
}

void WipeTree(const std::string& Path) {
    std::error_code Error;
    fs::remove_all(Path, Error); // removes links, never what they point to
}

#endif

std::string Lower(std::string Text) {
    for (char& C : Text)
        if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
    return Text;
}
