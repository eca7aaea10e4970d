#include "data/InstallData.h"
#include "platform/Error.h"

#include "data/InstalledFiles.h"

#include "platform/OsError.h"
#include "data/Product.h"
#include "platform/Owners.h"
#include "platform/Registry.h"
#include "platform/ShellNames.h"
#include "platform/Text.h"
#include "platform/Utils.h"

#include <windows.h>
#include <shlobj.h>

#include <utility>

namespace {

const char* const ProgramFilesFallback = "C:\\Program files";
const char* const VersionFileName = "version";

const REGSAM RecordView = MachineView;

std::string UpToNul(const char* Text) {
    return std::string(Text);
}

// Run as LocalSystem (a deployment tool), setup's links go where every
// user sees them: the system account's own Start menu is seen by nobody.
bool RunsAsLocalSystem() {
    THandle Token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put())) return false;
    alignas(TOKEN_USER) BYTE Buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD Size = 0;
    return GetTokenInformation(Token.get(), TokenUser, Buffer, sizeof Buffer, &Size) &&
           IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(Buffer)->User.Sid, WinLocalSystemSid);
}

int ProgramsCsidl(bool Common) {
    return Common ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS;
}

bool CommonPrograms = false; // set once, by the constructor

TItemIdList ProgramsFolderIdList(int Csidl = ProgramsCsidl(CommonPrograms)) {
    TItemIdList List;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, Csidl, List.put()))) List.reset();
    return List;
}

// --- shell folders ------------------------------------------------------------

std::string ProgramsFolderPath(int Csidl) {
    TItemIdList List = ProgramsFolderIdList(Csidl);
    if (!List) return {};
    char Buffer[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(List.get(), Buffer)) return {};
    return UpToNul(Buffer);
}

std::vector<std::string> ProgramsFolderNames() {
    std::vector<std::string> Names;
    TComPtr<IShellFolder> Desktop;
    if (FAILED(SHGetDesktopFolder(Desktop.put())) || !Desktop) return Names;

    TItemIdList List = ProgramsFolderIdList();
    if (!List) return Names;
    TComPtr<IShellFolder> Programs;
    if (FAILED(Desktop->BindToObject(List.get(), nullptr, IID_IShellFolder, Programs.put_void())) ||
        !Programs)
        return Names;

    TComPtr<IEnumIDList> Enum;
    // S_FALSE without an enumerator means an empty folder.
    if (Programs->EnumObjects(nullptr, SHCONTF_FOLDERS, Enum.put()) != S_OK || !Enum) return Names;

    for (;;) {
        TItemIdList Item;
        if (Enum->Next(1, Item.put(), nullptr) != S_OK) break;
        STRRET Name{};
        if (SUCCEEDED(Programs->GetDisplayNameOf(Item.get(), SHGDN_INFOLDER, &Name)))
            Names.push_back(StrRetToText(Name, Item.get()));
    }
    return Names;
}

std::string ProgramFilesPath() {
    char Buffer[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, Buffer) != S_OK)
        return ProgramFilesFallback;
    return UpToNul(Buffer);
}

// --- files --------------------------------------------------------------------

// The whole file, opened so that nobody writes to it while it is read.
std::string ReadWholeFile(const std::string& Name) {
    std::string Content;
    if (!ReadFileText(Name, Content)) {
        DWORD Code = GetLastError();
        throw Exception("Cannot open file \"" + FullPathOf(Name) + "\". " + SysErrorMessage(Code));
    }
    return Content;
}

// --- registry -----------------------------------------------------------------

// A missing value reads as empty; a value of another type than text is an error.
std::string ReadString(HKEY Key, const char* Name) {
    DWORD Type = 0, Size = 0;
    LONG Status = RegQueryValueExA(Key, Name, nullptr, &Type, nullptr, &Size);
    if (Status == ERROR_FILE_NOT_FOUND) return {};
    if (Status != ERROR_SUCCESS)
        throw EOSError(static_cast<std::uint32_t>(Status), "Reading the registry value", Name);
    if (Type != REG_SZ && Type != REG_EXPAND_SZ)
        throw Exception(std::string("Invalid data type for '") + Name + "'");
    std::string Data(Size + 1, '\0');
    Status =
        RegQueryValueExA(Key, Name, nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Size);
    if (Status != ERROR_SUCCESS)
        throw EOSError(static_cast<std::uint32_t>(Status), "Reading the registry value", Name);
    return UpToNul(Data.c_str());
}


} // namespace


// SetupVersion only gets its value from the file "version" after the
// registry is read; until then it holds an empty version.
TInstallData::TInstallData() : SetupVersion(std::string("-")) {
    CommonPrograms = RunsAsLocalSystem();
    ProgramsDir = ProgramsFolderPath(ProgramsCsidl(CommonPrograms));
    OtherProgramsDir = ProgramsFolderPath(ProgramsCsidl(!CommonPrograms));
    ProgramFolders = ProgramsFolderNames();
    InstallDir = PathIn(ProgramFilesPath(), Product.DefaultInstallSubDir);
    LoadFromRegistry();
    if (StartFolder.empty()) StartFolder = Product.DefaultStartFolder;
    VersionFileText = ReadWholeFile(VersionFileName);
    SetupVersion = TVersion(Trimmed(VersionFileText));
    if (!Installed)
        Mode = imInstall;
    else
        Mode = SetupVersion.FullText() == InstalledVersion->FullText() ? imReinstall : imUpdate;
}

std::string TInstallData::OcxFileName() const {
    return PathIn(InstallDir, Product.OcxFileName);
}

std::string TInstallData::MaintenanceFolder() const {
    return PathIn(InstallDir, MaintenanceFolderName);
}

std::string TInstallData::MaintenanceProgram() const {
    return MaintenanceFolder() + "\\" + OwnProgramName();
}

std::string UninstallEntryKey() {
    return std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + Product.Name;
}

std::string OwnProgramName() {
    char Path[MAX_PATH] = {};
    const DWORD Length = GetModuleFileNameA(nullptr, Path, MAX_PATH);
    if (Length == 0 || Length >= MAX_PATH) return {};
    const char* Name = strrchr(Path, '\\');
    return Name ? Name + 1 : Path;
}

std::string TInstallData::RecordedInstallDir() {
    TRegKey Key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Product.RecordKey, 0, KEY_READ | RecordView, Key.put()) !=
        ERROR_SUCCESS)
        return {};
    try {
        return ReadString(Key.get(), Product.InstallDirValue);
    } catch (const std::exception&) {
        return {};
    }
}

void TInstallData::LoadFromRegistry() {
    TRegKey Key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Product.RecordKey, 0, KEY_READ | RecordView, Key.put()) !=
        ERROR_SUCCESS) {
        Installed = false;
        return;
    }
    StartFolder = ReadString(Key.get(), Product.StartFolderValue);
    InstallDir = ReadString(Key.get(), Product.InstallDirValue);
    InstalledVersion.emplace(Trimmed(ReadString(Key.get(), Product.InstalledVersionValue)));
    Installed = !InstallDir.empty();
    if (!Installed) {
        InstallDir.clear();
        InstalledVersion.reset();
    }
}

namespace {

// The size of the installed files in KB, as the list of installed apps
// shows it; 0 while there is no list to tell.
DWORD InstalledKilobytes(const std::string& Folder) {
    std::vector<std::string> Entries;
    if (!ReadInstalledFiles(Folder, Entries)) return 0;
    unsigned long long Bytes = 0;
    for (const std::string& Entry : Entries) {
        WIN32_FILE_ATTRIBUTE_DATA Data;
        if (GetFileAttributesExA(PathIn(Folder, Entry).c_str(),
                                 GetFileExInfoStandard, &Data))
            Bytes +=
                (static_cast<unsigned long long>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
    }
    return static_cast<DWORD>((Bytes + 1023) / 1024);
}


// The key at Path, created when missing; raises when it cannot be had, so
// that a record that was not written is never taken for one that was.
TRegKey CreateOrRaise(const std::string& Path) {
    TRegKey Key;
    const LONG Status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, nullptr, 0,
                                        KEY_ALL_ACCESS | RecordView, nullptr, Key.put(), nullptr);
    if (Status != ERROR_SUCCESS)
        throw EOSError(static_cast<std::uint32_t>(Status), "Creating the registry key",
                       "HKEY_LOCAL_MACHINE\\" + Path);
    return Key;
}

// The entry of the list of installed apps: what it shows and the commands
// that uninstall, which start the maintenance copy.
void WriteUninstallEntry(const TInstallData& Data) {
    const TRegKey Key = CreateOrRaise(UninstallEntryKey());
    HKEY RawKey = Key.get();
    const std::string Program = "\"" + Data.MaintenanceProgram() + "\"";
    PutText(RawKey, "DisplayName", Product.Name);
    PutText(RawKey, "DisplayVersion", Data.SetupVersion.NumberText());
    PutText(RawKey, "Publisher", Product.Publisher);
    PutText(RawKey, "InstallLocation", Data.InstallDir);
    PutText(RawKey, "DisplayIcon", Data.MaintenanceProgram() + ",0");
    PutText(RawKey, "URLInfoAbout", Product.WebAddress);
    PutText(RawKey, "UninstallString", Program + " --uninstall");
    PutText(RawKey, "QuietUninstallString", Program + " --uninstall --silent");
    // The copy kept there can only uninstall: repairing needs the archive.
    PutNumber(RawKey, "NoModify", 1);
    PutNumber(RawKey, "NoRepair", 1);
    if (const DWORD Size = InstalledKilobytes(Data.InstallDir))
        PutNumber(RawKey, "EstimatedSize", Size);
}

} // namespace

void TInstallData::SaveToRegistry() {
    if (!Installed) {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, Product.RecordKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, UninstallEntryKey());
        return;
    }
    const TRegKey Key = CreateOrRaise(Product.RecordKey);
    HKEY RawKey = Key.get();
    PutText(RawKey, Product.InstallDirValue, InstallDir);
    PutText(RawKey, Product.StartFolderValue, StartFolder);
    PutText(RawKey, Product.InstalledVersionValue, SetupVersion.FullText());
    WriteUninstallEntry(*this);
}
