#include "engine/Compile.h"
#include "platform/Error.h"

#include "data/Extraction.h"
#include "data/FolderSafety.h"
#include "data/InstallData.h"
#include "platform/OsError.h"
#include "platform/Owners.h"
#include "platform/Utils.h"
#include "engine/CapExec.h"
#include "engine/Children.h"
#include "engine/ShellOps.h"

#include <windows.h>

#include <cstdlib>

namespace {

const char* const LogFileName = "install.log";

std::string OsName(const TOsVersion& V) {
    if (V.PlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (V.Minor < 10) return "Windows 95";
        if (V.Minor < 90) return "Windows 98";
        if (V.Minor == 90) return "Windows ME";
        return {};
    }
    if (V.PlatformId == VER_PLATFORM_WIN32_NT) {
        if (V.Major == 4) return "Windows NT4";
        if (V.Major == 5 && V.Minor == 0) return "Windows 2000";
        if (V.Major == 5 && V.Minor == 1) return "Windows XP";
    }
    return {};
}

} // namespace

std::optional<std::string> SystemLineOf(const TOsVersion& Version) {
    std::string Name = OsName(Version);
    if (Name.empty()) return std::nullopt;
    // The 9x family keeps its major and minor version in the high word of
    // the build number.
    std::uint32_t Build =
        Version.PlatformId == VER_PLATFORM_WIN32_WINDOWS ? (Version.Build & 0xFFFF) : Version.Build;
    return Name + " " + Version.ServicePack + " (" +
           std::to_string(static_cast<int>(Version.Major)) + "." +
           std::to_string(static_cast<int>(Version.Minor)) + "." +
           std::to_string(static_cast<int>(Build)) + ")";
}

std::optional<std::string> SystemLine() {
    OSVERSIONINFOA Info{};
    Info.dwOSVersionInfoSize = sizeof Info;
    if (!GetVersionExA(&Info)) return std::nullopt;
    TOsVersion Version;
    Version.PlatformId = Info.dwPlatformId;
    Version.Major = Info.dwMajorVersion;
    Version.Minor = Info.dwMinorVersion;
    Version.Build = Info.dwBuildNumber;
    Version.ServicePack.assign(Info.szCSDVersion,
                               strnlen(Info.szCSDVersion, sizeof Info.szCSDVersion));
    return SystemLineOf(Version);
}

std::string InstallerFolder() {
    std::string Path(MAX_PATH, '\0');
    for (;;) {
        DWORD Length = GetModuleFileNameA(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
        if (Length == 0) return {};
        if (Length < Path.size()) {
            Path.resize(Length);
            break;
        }
        Path.resize(Path.size() * 2);
    }
    std::string::size_type Slash = Path.find_last_of('\\');
    if (Slash == std::string::npos) return {};
    // A drive root keeps its backslash: "C:" alone would mean the current
    // folder of drive C.
    if (Slash > 0 && Path[Slash - 1] == ':') return Path.substr(0, Slash + 1);
    return Path.substr(0, Slash);
}

std::string SystemRegSvr32() {
    char Folder[MAX_PATH];
    UINT Length = GetSystemDirectoryA(Folder, sizeof Folder);
    if (Length == 0 || Length >= sizeof Folder) return "regsvr32.exe";
    std::string Path(Folder, Length);
    if (Path.back() != '\\') Path += '\\';
    return Path + "regsvr32.exe";
}

std::uint16_t ImageMachine(const std::string& Path) {
    // The machine field of the PE header: after "MZ", at e_lfanew, "PE\0\0".
    const THandle File(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    IMAGE_DOS_HEADER Dos{};
    DWORD Signature = 0, Read = 0;
    WORD Machine = 0;
    if (!File || !ReadFile(File.get(), &Dos, sizeof Dos, &Read, nullptr) || Read != sizeof Dos ||
        Dos.e_magic != IMAGE_DOS_SIGNATURE ||
        SetFilePointer(File.get(), Dos.e_lfanew, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !ReadFile(File.get(), &Signature, sizeof Signature, &Read, nullptr) ||
        Signature != IMAGE_NT_SIGNATURE ||
        !ReadFile(File.get(), &Machine, sizeof Machine, &Read, nullptr) || Read != sizeof Machine)
        return 0;
    return Machine;
}

std::string RegSvr32ForMachine(std::uint16_t Machine) {
    char Folder[MAX_PATH];
#ifdef _WIN64
    // A 32-bit component registers in the 32-bit view, by the 32-bit regsvr32.
    if (Machine == IMAGE_FILE_MACHINE_I386) {
        const UINT Length = GetSystemWow64DirectoryA(Folder, MAX_PATH);
        if (Length > 0 && Length < MAX_PATH) return PathIn(Folder, "regsvr32.exe");
    }
#else
    // Seen from a 32-bit program, the 64-bit system folder is "Sysnative".
    if (Machine == IMAGE_FILE_MACHINE_AMD64 || Machine == IMAGE_FILE_MACHINE_ARM64) {
        const UINT Length = GetWindowsDirectoryA(Folder, MAX_PATH);
        if (Length > 0 && Length < MAX_PATH)
            return PathIn(Folder, "Sysnative\\regsvr32.exe");
    }
#endif
    return SystemRegSvr32();
}

std::string RegSvr32ForImage(const std::string& Path) {
    return RegSvr32ForMachine(ImageMachine(Path));
}

std::string RunOnceRegSvr32(std::uint16_t Machine) {
    // Windows runs RunOnce as a program of its own architecture, to which
    // the system folder is the system's own and a 32-bit component has the
    // regsvr32 of the 32-bit system folder (none on 32-bit Windows).
    if (Machine == IMAGE_FILE_MACHINE_I386) {
        char Folder[MAX_PATH];
        const UINT Length = GetSystemWow64DirectoryA(Folder, MAX_PATH);
        if (Length > 0 && Length < MAX_PATH) return PathIn(Folder, "regsvr32.exe");
    }
    return SystemRegSvr32();
}

std::string RunRegSvr32(const std::string& RegSvr32, const char* Switches, const std::string& Ocx,
                        const char* Failure) {
    bool TimedOut = false;
    SetLastError(0);
    const std::optional<std::uint32_t> ExitCode =
        RunAndWait(RegSvr32, std::string(" ") + Switches + " \"" + Ocx + "\"", SW_SHOWNORMAL,
                   RegistrationTimeLimitMs, TimedOut);
    std::string Text = Failure;
    if (TimedOut) {
        Text += ": regsvr32.exe did not end within " +
                std::to_string(RegistrationTimeLimitMs / 60000) + " minutes and was stopped.";
    } else if (!ExitCode) {
        const DWORD Code = GetLastError();
        if (Code == 0) return Text + ": regsvr32.exe did not report how it ended.";
        Text += ": regsvr32.exe could not be started.";
        const std::string Reason = SysErrorMessage(Code);
        if (!Reason.empty()) Text += " " + Reason;
    } else if (*ExitCode == 0) {
        Text.clear();
    } else {
        Text += ". Code: " + std::to_string(static_cast<std::int32_t>(*ExitCode)) + ".";
    }
    return Text;
}

TCompiler::~TCompiler() {
    if (FReleased) return;
    try {
        SaveLog();
    } catch (...) {
        // Nobody is left to tell; Release is the way to hear of it.
    }
}

void TCompiler::Output(const std::string& Line, bool& AbortFlag) {
    FLog.push_back(Line);
    if (OnLogLine) OnLogLine(Line, Abort);
    AbortFlag = Abort;
}

void TCompiler::LogLine(const std::string& Line) {
    Output(Line, Abort);
}

void TCompiler::WriteLine(const std::string& Line) {
    LogLine(Line);
    if (OnOutputLine) OnOutputLine(Line, Abort);
}

void TCompiler::WriteLine(const char* Line) { WriteLine(std::string(Line)); }

void TCompiler::Report(const std::string& Line, bool Shown) {
    FReport.push_back(Line);
    if (Shown)
        WriteLine(Line);
    else
        LogLine(Line);
}

namespace {

// A new file of an unpredictable name in the temporary folder, for the log
// that cannot be written where it belongs; empty when there is none.
std::string CreateTempLog(THandle& File) {
    const std::string Temp = TempFolder();
    if (Temp.empty()) return {};
    std::string Name;
    File.reset(CreateUniqueFile(Temp + "install-", ".log", GENERIC_WRITE, FILE_SHARE_READ,
                                FILE_ATTRIBUTE_NORMAL, nullptr, Name));
    return File ? Name : std::string();
}

} // namespace

std::string TCompiler::LogFilePath() const {
    return FLogPath.empty() ? FullPathOf(LogFileName) : FLogPath;
}

void TCompiler::SaveLog() {
    // The current folder is the user's (a downloads folder): whatever stands
    // there under the log's name is not followed anywhere.
    THandle File(OpenPlainFileForWriting(FLogPath.empty() ? LogFileName : FLogPath, true));
    if (!File && FLogPath.empty()) {
        // A folder that cannot be written (a mounted ISO, a read-only
        // share), or a link in the log's place, costs the log its place,
        // not the installation its outcome.
        const DWORD Code = GetLastError();
        const std::string Temp = CreateTempLog(File);
        if (!Temp.empty()) {
            FLogPath = Temp;
            const std::string Why =
                Code == ERROR_CANT_RESOLVE_FILENAME ? "it is a link" : SysErrorMessage(Code);
            FLog.insert(FLog.begin(), "\"" + FullPathOf(LogFileName) + "\" cannot be written (" +
                                          Why + "): the setup log is in \"" + Temp + "\".");
        }
        SetLastError(Code);
    }
    if (!File) {
        DWORD Code = GetLastError();
        throw Exception("Cannot create file \"" + FullPathOf(LogFileName) + "\". " +
                        SysErrorMessage(Code));
    }
    if (!WriteFileText(File.get(), CrLfJoined(FLog)))
        RaiseLastOSError("Writing the setup log", LogFilePath());
}

void TCompiler::Release() {
    // Set first: after a failed Release the destructor must not try again
    // behind the caller's back.
    FReleased = true;
    SaveLog();
}

bool TCompiler::ListArchive(std::vector<std::string>& Entries, std::vector<std::string>* Errors) {
    Entries.clear();
    const std::string Folder = InstallerFolder();
    if (Folder.empty()) return false;
    std::vector<std::string> Refused;
    if (!FPins.Check(Folder, Errors ? *Errors : Refused)) return false;
    std::string Text;
    const std::int32_t ExitCode = RunCaptured(
        "unrar.exe", "lb data.arc", Folder,
        [&Text, Errors](const std::string& Line, bool&) {
            if (Errors && Line.rfind(extraction::ErrorPrefix, 0) == 0) Errors->push_back(Line);
            Text += Line;
            Text += '\n';
        },
        nullptr, false, PathIn(Folder, "unrar.exe"));
    if (ExitCode != 0) return false;
    Entries = ParseFileList(Text, IsAnsiLeadByte);
    return true;
}

bool TCompiler::CleanableInstallDir(const char* Step) {
    const std::string& Folder = FData.InstallDir;
    const TFolderVerdict Verdict = CheckInstallDir(Folder);
    if (Verdict == TFolderVerdict::Ok) return true;
    LogLine(std::string(Step) + ": \"" + Folder + "\" is not a folder setup may clean (" +
            VerdictReason(Verdict) + ").");
    return false;
}

bool TCompiler::UsableProgramFolder(const char* Step, std::string& Folder) {
    const std::string& Programs = FData.ProgramsDir;
    const std::string& StartFolder = FData.StartFolder;
    // Without it the folder would be taken from the root of the current drive.
    if (CheckDestinationText(Programs, IsAnsiLeadByte) != TFolderVerdict::Ok) {
        LogLine(std::string(Step) + ": the Start menu's Programs folder is unknown.");
        return false;
    }
    const TFolderVerdict Verdict = CheckStartFolder(StartFolder);
    if (Verdict != TFolderVerdict::Ok) {
        LogLine(std::string(Step) + ": \"" + StartFolder +
                "\" is not a program folder setup may use (" + VerdictReason(Verdict) + ").");
        return false;
    }
    Folder = PathIn(Programs, StartFolder);
    return true;
}
