#include "data/FolderRules.h"

#include "data/DeviceNames.h"
#include "platform/NameSet.h"
#include "platform/Text.h"

#include "data/Product.h"

#include <cstddef>

namespace {

bool IsSeparator(char C) {
    return C == '\\' || C == '/';
}

// Calls Visit(Index, Single) for each character of Text: Single is false for
// the two bytes of a double-byte character, which are never special.
template <typename F>
void ForEachChar(const std::string& Text, TLeadBytePredicate IsLead, F Visit) {
    for (std::size_t I = 0; I < Text.size();) {
        const bool Double =
            IsLead && I + 1 < Text.size() && IsLead(static_cast<unsigned char>(Text[I]));
        Visit(I, !Double);
        I += Double ? 2 : 1;
    }
}

// The levels of Text between separators (an empty text is one empty level).
std::vector<std::string> SplitLevels(const std::string& Text, TLeadBytePredicate IsLead) {
    std::vector<std::string> Levels(1);
    ForEachChar(Text, IsLead, [&](std::size_t I, bool Single) {
        if (Single && IsSeparator(Text[I])) {
            Levels.emplace_back();
            return;
        }
        Levels.back() += Text[I];
        if (!Single) Levels.back() += Text[I + 1];
    });
    return Levels;
}

bool IsAsciiLetter(char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
}

bool HasDrive(const std::string& Text) {
    return Text.size() >= 2 && IsAsciiLetter(Text[0]) && Text[1] == ':';
}

// One level of a path (no separators in it).
TFolderVerdict CheckLevel(const std::string& Level, TLeadBytePredicate IsLead) {
    if (Level.empty()) return TFolderVerdict::EmptyLevel;
    if (Level == "." || Level == "..") return TFolderVerdict::DotLevel;
    bool Bad = false;
    std::size_t Last = 0;
    bool LastSingle = true;
    ForEachChar(Level, IsLead, [&](std::size_t I, bool Single) {
        Last = I;
        LastSingle = Single;
        if (!Single) return;
        const unsigned char C = static_cast<unsigned char>(Level[I]);
        if (C < 32 || C == '<' || C == '>' || C == '"' || C == '|' || C == '?' || C == '*' ||
            C == ':')
            Bad = true;
    });
    if (Bad) return TFolderVerdict::BadCharacter;
    // Windows drops a trailing blank or period, so the folder made would not
    // be the folder named ("C:\Windows." is C:\Windows).
    if (LastSingle && (Level[Last] == ' ' || Level[Last] == '.')) return TFolderVerdict::BadName;
    if (IsDeviceName(Level)) return TFolderVerdict::BadName;
    return TFolderVerdict::Ok;
}

TFolderVerdict CheckLevels(const std::vector<std::string>& Levels, TLeadBytePredicate IsLead) {
    for (const std::string& Level : Levels) {
        TFolderVerdict Verdict = CheckLevel(Level, IsLead);
        if (Verdict != TFolderVerdict::Ok) return Verdict;
    }
    return TFolderVerdict::Ok;
}

bool SameOrInside(const std::string& Path, const std::string& Folder) {
    if (Folder.empty() || Path.size() < Folder.size()) return false;
    if (Path.compare(0, Folder.size(), Folder) != 0) return false;
    return Path.size() == Folder.size() || Folder.back() == '\\' || Path[Folder.size()] == '\\';
}

bool AnySameOrInside(const std::string& Path, const std::vector<std::string>& Folders,
                     TLeadBytePredicate IsLead) {
    for (const std::string& Folder : Folders)
        if (SameOrInside(Path, ComparablePath(Folder, IsLead))) return true;
    return false;
}

bool AnySame(const std::string& Path, const std::vector<std::string>& Folders,
             TLeadBytePredicate IsLead) {
    for (const std::string& Folder : Folders) {
        const std::string Comparable = ComparablePath(Folder, IsLead);
        if (!Comparable.empty() && Comparable == Path) return true;
    }
    return false;
}

std::string Quoted(const std::string& Text) {
    return "\"" + Text + "\"";
}

const char* const CharacterRule =
    "A folder name cannot contain any of these characters: < > : \" | ? * or control "
    "characters; a colon may only follow the drive letter.";
const char* const NameRule = "A folder name cannot end with a blank or a period, and cannot be "
                             "a device name such as CON, PRN, AUX, NUL, COM1 or LPT1.";
std::string ProgramFolderExample() {
    return std::string("The program folder is a folder inside the Start menu: enter its name "
                       "only, for example \"") +
           Product.DefaultStartFolder + "\".";
}

// "Setup cannot install <product> into " and what follows.
std::string CannotInstallInto(const char* Place) {
    return std::string("Setup cannot install ") + Product.Name + " into " + Place;
}

} // namespace

std::string ComparablePath(const std::string& Path, TLeadBytePredicate IsLead) {
    std::string Text = Path;
    // Resolved paths come in the long form "\\?\C:\..." or "\\?\UNC\server\...".
    const auto Prefixed = [&](const char* Prefix) {
        std::string P = Prefix;
        if (Text.size() < P.size()) return false;
        for (std::size_t I = 0; I < P.size(); ++I)
            if (UpperAscii(IsSeparator(Text[I]) ? '\\' : Text[I]) != P[I]) return false;
        return true;
    };
    if (Prefixed("\\\\?\\UNC\\"))
        Text = "\\\\" + Text.substr(8);
    else if (Prefixed("\\\\?\\") && HasDrive(Text.substr(4)))
        Text = Text.substr(4);

    std::string Result;
    ForEachChar(Text, IsLead, [&](std::size_t I, bool Single) {
        if (!Single) {
            Result += Text[I];
            Result += Text[I + 1];
            return;
        }
        const char C = IsSeparator(Text[I]) ? '\\' : UpperAscii(Text[I]);
        // Repeated separators name the same folder (except the two of a share).
        if (C == '\\' && Result.size() >= 2 && Result.back() == '\\') return;
        Result += C;
    });
    // A trailing backslash may still close a double-byte character; look at
    // characters, not bytes.
    bool TrailingSlash = false;
    ForEachChar(Result, IsLead, [&](std::size_t I, bool Single) {
        TrailingSlash = Single && I + 1 == Result.size() && Result[I] == '\\';
    });
    const bool DriveRoot = Result.size() == 3 && HasDrive(Result);
    if (TrailingSlash && !DriveRoot && Result.size() > 1) Result.pop_back();
    return Result;
}

TFolderVerdict CheckDestinationText(const std::string& Path, TLeadBytePredicate IsLead) {
    if (Path.empty()) return TFolderVerdict::Empty;
    std::vector<std::string> Levels;
    std::size_t RootLevels = 0; // levels that make up the root
    if (Path.size() >= 2 && IsSeparator(Path[0]) && IsSeparator(Path[1])) {
        Levels = SplitLevels(Path.substr(2), IsLead);
        RootLevels = 2; // server and share
    } else if (HasDrive(Path)) {
        if (Path.size() == 2) return TFolderVerdict::Root;
        // "C:Folder" is relative to the current folder of drive C.
        if (!IsSeparator(Path[2])) return TFolderVerdict::Relative;
        Levels = SplitLevels(Path.substr(3), IsLead);
    } else {
        return TFolderVerdict::Relative;
    }
    // One trailing backslash closes the path; it is no level.
    if (Levels.size() > 1 && Levels.back().empty()) Levels.pop_back();
    if (Levels.size() == 1 && Levels[0].empty()) return TFolderVerdict::Root; // "C:\"
    TFolderVerdict Verdict = CheckLevels(Levels, IsLead);
    if (Verdict != TFolderVerdict::Ok) return Verdict;
    if (Levels.size() <= RootLevels) return TFolderVerdict::Root;
    return TFolderVerdict::Ok;
}

TFolderVerdict CheckDestinationPlace(const std::string& Path, const TSystemFolders& Folders,
                                     TLeadBytePredicate IsLead) {
    const std::string Comparable = ComparablePath(Path, IsLead);
    if (AnySameOrInside(Comparable, Folders.Windows, IsLead)) return TFolderVerdict::WindowsFolder;
    if (AnySameOrInside(Comparable, Folders.StartMenu, IsLead)) return TFolderVerdict::StartMenu;
    if (AnySame(Comparable, Folders.ProgramFiles, IsLead)) return TFolderVerdict::ProgramFiles;
    if (AnySame(Comparable, Folders.UserFolders, IsLead)) return TFolderVerdict::UserFolder;
    return TFolderVerdict::Ok;
}

TFolderVerdict CheckDestination(const std::string& Path, const TSystemFolders& Folders,
                                TLeadBytePredicate IsLead) {
    TFolderVerdict Verdict = CheckDestinationText(Path, IsLead);
    if (Verdict != TFolderVerdict::Ok) return Verdict;
    return CheckDestinationPlace(Path, Folders, IsLead);
}

TFolderVerdict CheckProgramFolder(const std::string& Folder, TLeadBytePredicate IsLead) {
    if (Folder.empty()) return TFolderVerdict::Empty;
    if (HasDrive(Folder)) return TFolderVerdict::Drive;
    if (IsSeparator(Folder[0])) return TFolderVerdict::LeadingSlash;
    return CheckLevels(SplitLevels(Folder, IsLead), IsLead);
}

std::string DestinationRefusalText(TFolderVerdict Verdict, const std::string& Path) {
    const std::string Name = Quoted(Path);
    switch (Verdict) {
    case TFolderVerdict::Ok:
        return {};
    case TFolderVerdict::Empty:
        return std::string("Please enter the folder to install ") + Product.Name + " into.";
    case TFolderVerdict::Relative:
    case TFolderVerdict::Drive:
    case TFolderVerdict::LeadingSlash:
        return Name + " is not a full path.\r\n\r\nPlease enter a folder that starts with a drive "
                      "letter, such as C:\\, or with a network share, such as \\\\server\\share.";
    case TFolderVerdict::BadCharacter:
        return Name + " contains characters that Windows does not allow in a folder name.\r\n\r\n" +
               CharacterRule;
    case TFolderVerdict::BadName:
        return Name + " contains a folder name that Windows does not allow.\r\n\r\n" + NameRule;
    case TFolderVerdict::DotLevel:
        return Name + " contains a \".\" or \"..\" folder name.\r\n\r\nPlease enter the folder's "
                      "full path without them.";
    case TFolderVerdict::EmptyLevel:
        return Name + " contains two backslashes in a row.\r\n\r\nPlease enter the path with one "
                      "backslash between folder names.";
    case TFolderVerdict::Root:
        return CannotInstallInto("the root of a drive or network share (") + Name +
               ").\r\n\r\nPlease choose a folder inside it.";
    case TFolderVerdict::WindowsFolder:
        return CannotInstallInto("the Windows folder or a folder inside it (") + Name +
               ").\r\n\r\nPlease choose another folder.";
    case TFolderVerdict::ProgramFiles: {
        std::string Base = Path;
        while (!Base.empty() && IsSeparator(Base.back()))
            Base.pop_back();
        return CannotInstallInto("the Program Files folder itself (") + Name +
               ").\r\n\r\nPlease choose a folder inside it, for example \"" + Base + "\\" +
               Product.DefaultInstallSubDir + "\".";
    }
    case TFolderVerdict::UserFolder:
        return std::string("Setup cannot install ") + Product.Name +
               " directly into your user folder, your Desktop or your Documents folder (" + Name +
               ").\r\n\r\nPlease choose a folder inside it.";
    case TFolderVerdict::StartMenu:
        return CannotInstallInto("the Start menu or a folder inside it (") + Name +
               ").\r\n\r\nPlease choose another folder.";
    case TFolderVerdict::NotAFolder:
        return Name + " is a file, not a folder.\r\n\r\nPlease choose another folder.";
    case TFolderVerdict::Link:
        return CannotInstallInto("a link to another folder (") + Name +
               ").\r\n\r\nPlease choose another folder.";
    case TFolderVerdict::NotOwned:
        return CannotInstallInto("a folder that an administrator did not make (") + Name +
               "): other users could change what setup puts there.\r\n\r\nPlease choose "
               "another folder, or have an administrator make this one.";
    }
    return {};
}

std::string ProgramFolderRefusalText(TFolderVerdict Verdict, const std::string& Folder) {
    const std::string Name = "The program folder " + Quoted(Folder);
    switch (Verdict) {
    case TFolderVerdict::Ok:
        return {};
    case TFolderVerdict::Empty:
        return "Please enter a name for the program folder.";
    case TFolderVerdict::Drive:
        return Name + " contains a drive.\r\n\r\n" + ProgramFolderExample();
    case TFolderVerdict::LeadingSlash:
    case TFolderVerdict::Relative:
    case TFolderVerdict::Root:
        return Name + " starts with a backslash.\r\n\r\n" + ProgramFolderExample();
    case TFolderVerdict::EmptyLevel:
        return Name + " contains an empty folder name (two backslashes in a row, or a backslash "
                      "at either end).\r\n\r\nPlease remove the extra backslash.";
    case TFolderVerdict::DotLevel:
        return Name + " contains a \".\" or \"..\" folder name.\r\n\r\n" + ProgramFolderExample();
    case TFolderVerdict::BadCharacter:
        return Name + " contains characters that Windows does not allow in a folder name.\r\n\r\n" +
               CharacterRule;
    case TFolderVerdict::BadName:
        return Name + " contains a folder name that Windows does not allow.\r\n\r\n" + NameRule;
    default:
        return Name + " cannot be used.";
    }
}

std::string VerdictReason(TFolderVerdict Verdict) {
    switch (Verdict) {
    case TFolderVerdict::Ok:
        return "it may be used";
    case TFolderVerdict::Empty:
        return "it is empty";
    case TFolderVerdict::Relative:
        return "it is not a full path";
    case TFolderVerdict::BadCharacter:
        return "it contains characters Windows does not allow";
    case TFolderVerdict::BadName:
        return "it contains a name Windows does not allow";
    case TFolderVerdict::DotLevel:
        return "it contains a \".\" or \"..\" level";
    case TFolderVerdict::EmptyLevel:
        return "it contains an empty level";
    case TFolderVerdict::Drive:
        return "it contains a drive";
    case TFolderVerdict::LeadingSlash:
        return "it starts with a backslash";
    case TFolderVerdict::Root:
        return "it is the root of a drive or share";
    case TFolderVerdict::WindowsFolder:
        return "it is the Windows folder or inside it";
    case TFolderVerdict::ProgramFiles:
        return "it is a Program Files folder";
    case TFolderVerdict::UserFolder:
        return "it is the user's profile, Desktop or Documents folder";
    case TFolderVerdict::StartMenu:
        return "it is the Start menu or inside it";
    case TFolderVerdict::NotAFolder:
        return "it is a file";
    case TFolderVerdict::Link:
        return "it is a link to another folder";
    case TFolderVerdict::NotOwned:
        return "an administrator did not make it";
    }
    return {};
}

std::vector<std::string> ParseFileList(const std::string& Text, TLeadBytePredicate IsLead) {
    std::vector<std::string> Entries;
    TNameSet Seen;
    const std::string OwnName = ComparablePath(Product.InstalledFilesListName);
    std::size_t Start = 0;
    while (Start < Text.size()) {
        std::size_t End = Text.find('\n', Start);
        if (End == std::string::npos) End = Text.size();
        std::string Line = Text.substr(Start, End - Start);
        Start = End + 1;
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        if (Line.empty() || IsSeparator(Line[0])) continue;
        std::vector<std::string> Levels = SplitLevels(Line, IsLead);
        if (CheckLevels(Levels, IsLead) != TFolderVerdict::Ok) continue;
        std::string Entry;
        for (const std::string& Level : Levels)
            Entry += (Entry.empty() ? "" : "\\") + Level;
        const std::string Key = ComparablePath(Entry, IsLead);
        if (Key == OwnName || !Seen.Insert(Key)) continue;
        Entries.push_back(Entry);
    }
    return Entries;
}

std::string FormatFileList(const std::vector<std::string>& Entries) {
    std::string Text;
    for (const std::string& Entry : Entries)
        Text += Entry + "\r\n";
    return Text;
}
