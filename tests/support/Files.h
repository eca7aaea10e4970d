#pragma once
// Files and folders for every test: one kind of temp folder and one set of
// file helpers. Portable: the native tests use them as the Windows ones do
// (which go through the system's 8-bit calls, as the program does).

#include <optional>
#include <string>

// The whole file as bytes; nothing when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::string& Path);
// Creates or replaces the file; false unless all of Bytes was written.
bool WriteWholeFile(const std::string& Path, const std::string& Bytes);

bool PathExists(const std::string& Path);
bool FilePresent(const std::string& Path);
bool FolderPresent(const std::string& Path);

// Text with the ASCII capitals made small, as the file system compares names.
std::string Lower(std::string Text);
// Folder and Name with one separator between them.
std::string JoinPath(const std::string& Folder, const std::string& Name);
// Creates the folder and the missing ones above it; false when it is not there after.
bool MakeFolders(const std::string& Path);
// Deletes a folder with everything below it whatever the attributes; missing
// is fine. Links stay, with the folders that hold them: under Wine, deleting
// a link can delete what it points to.
void WipeTree(const std::string& Path);

// A fresh, empty folder below the temp folder, removed with everything in it.
class TTempFolder {
public:
    explicit TTempFolder(const std::string& Tag);
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return JoinPath(FPath, Name); }

private:
    std::string FPath;
};
