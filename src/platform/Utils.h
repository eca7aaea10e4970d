#pragma once
// File and path functions shared by the installation data and the engine.
// None of them raises an error: they answer with their result.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Attribute filter of CollectFileNames (the Windows attribute bits).
constexpr std::uint32_t faReadOnly = 0x01;
constexpr std::uint32_t faHidden = 0x02;
constexpr std::uint32_t faSysFile = 0x04;
constexpr std::uint32_t faVolumeID = 0x08;
constexpr std::uint32_t faDirectory = 0x10;
constexpr std::uint32_t faArchive = 0x20;
constexpr std::uint32_t faAnyFile = 0x3F;

// The path with "\" appended unless its last character (not byte) is one.
std::string AddTrailingBackslash(const std::string& Path);
// Name inside Folder: AddTrailingBackslash(Folder) + Name, made as one string.
std::string PathIn(const std::string& Folder, std::string_view Name);
// Digits random hexadecimal digits (0-9, a-f), for names nobody can know in
// advance. Should the system's generator fail, from the time, the process
// and a count of calls, so that calls in a row still differ.
std::string RandomHex(unsigned Digits);
// The path without its last character when that character is "\".
std::string StripTrailingBackslash(const std::string& Path);
// The same two, with the characters of the given code page instead of the
// process's ANSI code page.
std::string AddTrailingBackslashEx(const std::string& Path, std::uint32_t CodePage);
std::string StripTrailingBackslashEx(const std::string& Path, std::uint32_t CodePage);
// The full path of Name (relative to the current folder); Name itself when
// the system cannot tell.
std::string FullPathOf(const std::string& Name);
// Where the system resolves Path to: the link itself rather than its target
// where the system can tell them apart, or with FollowLinks the target;
// empty when unknown.
std::string FinalPath(const std::string& Path, bool FollowLinks = false);
// The same for an open file or folder (a HANDLE).
std::string FinalPathOf(void* File);
// A final path as the system writes it, without its "\\?\" (a share's
// "\\?\UNC\" becomes "\\"), and without a trailing backslash.
std::string Unprefixed(std::string Path);
// True when the file or folder open as File is the one Path names, reached
// through no link on the way (its final path is Path's full, long path);
// false when a link, junction or mount point leads there from elsewhere, or
// the system cannot tell.
bool ReachedUnderItsName(void* File, const std::string& Path);
// The whole file, opened so that nobody writes to it while it is read;
// false (the system's error code set) when it cannot be opened, and false
// when it holds more than Limit bytes.
bool ReadFileText(const std::string& Path, std::string& Text,
                  std::size_t Limit = static_cast<std::size_t>(-1));
// All of Text to the open file File (a HANDLE); false unless all was written.
bool WriteFileText(void* File, const std::string& Text);
// Opens the file Path for writing without ever writing through a link: a
// missing file is created; an existing one is used only when it is a plain
// file of one name (no hard link to it elsewhere) reached under Path, and
// is then emptied (Empty) or written at its end. The open file (a HANDLE,
// closed by the caller), or INVALID_HANDLE_VALUE with the system's error
// code: ERROR_CANT_RESOLVE_FILENAME for a file that is a link or has other names.
void* OpenPlainFileForWriting(const std::string& Path, bool Empty);
// The temporary folder for setup's own files, with a trailing backslash:
// GetTempPath2 where the system has it (it gives LocalSystem a folder of its
// own instead of the Windows folder's Temp, which every user may write
// into), else GetTempPath; empty when there is none.
std::string TempFolder();
// A new file named Prefix (its folder included), random hexadecimal digits
// and Suffix: made with CREATE_NEW, never an existing one, with the access,
// sharing and flags given and Security (a SECURITY_ATTRIBUTES*; nullptr:
// what the folder passes on). Its handle, or INVALID_HANDLE_VALUE with the
// system's error code; Path receives its name.
void* CreateUniqueFile(const std::string& Prefix, const std::string& Suffix, unsigned long Access,
                       unsigned long Share, unsigned long Flags, void* Security, std::string& Path);
// A new folder named Prefix and random hexadecimal digits, made with
// Security; Noting, when set, is told each name before it is tried. Its
// path, or empty with the system's error code.
std::string CreateUniqueFolder(const std::string& Prefix, void* Security,
                               const std::function<void(const std::string&)>& Noting = {});
// Makes Bytes the content of the file Path: written into a new file of a
// random name beside it first, which then takes Path's place in one rename,
// so that an existing file is never written through (it may be a hard link
// to another). False, with the system's error code, when it cannot.
bool ReplaceFileWith(const std::string& Path, const std::string& Bytes);
// The lines, each followed by CR LF, as every log and list of ours is stored.
std::string CrLfJoined(const std::vector<std::string>& Lines);
// True when Path exists and is a directory.
bool DirectoryPresent(const std::string& Path);
// Appends the names matching Mask (never "." or "..") to List; entries with
// hidden, system, volume or directory bits not in Attributes are skipped.
// True when the listing ran to its normal end.
bool CollectFileNames(const std::string& Mask, std::uint32_t Attributes,
                      std::vector<std::string>& List);
// Deletes the file, a read-only one too: its attribute is cleared only when
// the plain delete is refused for it (and put back when the file still
// cannot go), which spares the usual file a system call that under Wine
// costs more than the delete. The system's error when it stays.
bool DeleteFileEvenReadOnly(const std::string& Path);
// Makes the folders above Path that are missing, outer first; true when
// they are all there.
bool MakeFoldersAbove(const std::string& Path);
// Deletes the tree permanently, going on after failures. True when all of
// it, the directory included, is gone. Never follows a link out of the tree:
// a link (reparse point) is removed as an entry, its target stays.
bool RemoveTree(const std::string& Path);
// Moves the file or folder (with everything in it) to the Recycle Bin,
// silently and without asking. True when it is gone from its place.
bool RecycleFolder(const std::string& Path);
// The same for several at once, in one shell operation: each full path
// followed by a NUL character.
void RecyclePaths(const std::string& NulSeparated);
