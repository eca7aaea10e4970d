#pragma once
// Which folders setup may install into and clean up, and the list of the
// files an installation put into its folder. Pure text rules: the system's
// own folders are passed in, so they can be checked on any platform.

#include <string>
#include <vector>

// Why a folder is refused; Ok when it is not.
enum class TFolderVerdict {
    Ok,
    Empty,         // no text at all
    Relative,      // no drive and no share: it would depend on the current folder
    BadCharacter,  // < > " | ? * control characters, or a colon not after the drive
    BadName,       // a name ending in a blank or a period, or a device name (CON, NUL...)
    DotLevel,      // a "." or ".." level
    EmptyLevel,    // two backslashes in a row (or, in a program folder, at either end)
    Drive,         // a program folder with a drive
    LeadingSlash,  // a program folder starting with a backslash
    Root,          // a drive or share root
    WindowsFolder, // the Windows folder or anything in it
    ProgramFiles,  // a Program Files folder itself
    UserFolder,    // the user's profile, Desktop or Documents itself
    StartMenu,     // the Start menu (its Programs folder) or anything in it
    NotAFolder,    // an existing file of that name
    Link,          // an existing folder that is a link to another place
    NotOwned,      // an existing folder of an owner setup does not trust
};

// The system's folders that decide where setup may go, each in as many
// spellings as the caller knows (long name, short name, resolved path).
struct TSystemFolders {
    std::vector<std::string> Windows;      // refused, and everything in them
    std::vector<std::string> ProgramFiles; // refused themselves; sub-folders are fine
    std::vector<std::string> UserFolders;  // profile, Desktop, Documents themselves
    std::vector<std::string> StartMenu;    // refused, and everything in them
};

// Tells whether a byte starts a double-byte character of the text's code
// page: the second byte of such a character may have the code of "\".
using TLeadBytePredicate = bool (*)(unsigned char Byte);

// The form of a destination folder: a full path with a drive or a share,
// below its root, whose levels Windows accepts. "/" counts as "\"; one
// trailing backslash is allowed.
TFolderVerdict CheckDestinationText(const std::string& Path, TLeadBytePredicate IsLead = nullptr);
// Where a full path lies among the system's folders; compared without
// regard to case, "/" or trailing backslashes.
TFolderVerdict CheckDestinationPlace(const std::string& Path, const TSystemFolders& Folders,
                                     TLeadBytePredicate IsLead = nullptr);
// Both: the form first, then the place.
TFolderVerdict CheckDestination(const std::string& Path, const TSystemFolders& Folders,
                                TLeadBytePredicate IsLead = nullptr);
// A program folder: one or more levels below the Start menu's Programs
// folder, separated by backslashes.
TFolderVerdict CheckProgramFolder(const std::string& Folder, TLeadBytePredicate IsLead = nullptr);

// The comparable form of a full path: "/" as "\", ASCII letters upper case,
// no trailing backslash except after a drive ("C:\").
std::string ComparablePath(const std::string& Path, TLeadBytePredicate IsLead = nullptr);

// What the wizard tells the user when it refuses Path for the destination
// or the program folder.
std::string DestinationRefusalText(TFolderVerdict Verdict, const std::string& Path);
std::string ProgramFolderRefusalText(TFolderVerdict Verdict, const std::string& Folder);
// A few words for the setup log: why a folder is not cleaned.
std::string VerdictReason(TFolderVerdict Verdict);

// The list of installed files kept in the installation folder
// (Product.InstalledFilesListName): relative paths with backslashes, one a
// line, CR LF after each. The entries of a list's text that are safe to act on below the folder,
// in their order, each once (compared without regard to case), "/" turned
// into "\". Skipped: empty lines, absolute paths, drives, "." and ".."
// levels, empty levels, wildcards and other characters Windows does not
// allow, device names, and the list's own name.
std::vector<std::string> ParseFileList(const std::string& Text,
                                       TLeadBytePredicate IsLead = nullptr);
// The text of a list: each entry and CR LF.
std::string FormatFileList(const std::vector<std::string>& Entries);
