// Install and uninstall benchmarks, run under Wine.
//
//   bench_setup install <InstallDir> <StartFolder>
//       Runs Install as the setup program's progress page does, without the
//       window; unrar.exe and data.arc lie beside this program, "version" in
//       the current folder. Exit code 0 when the installation succeeded.
//   bench_setup uninstall
//       Runs Uninstall of the installation the registry records.
//   bench_setup drive <peer-setup.exe> <work folder> <runs>
//       Alternates, <runs> times: our install (a child "bench_setup install"),
//       the peer's silent install, our uninstall, the peer's silent
//       uninstall. Every step is timed as a whole process; what one round
//       leaves behind is cleared before the next.

#include "BenchUtil.h"
#include "data/InstallData.h"
#include "platform/Owners.h"
#include "engine/Compile.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

namespace {

const char* const PeerUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MorvanePeerBench";

// The steps of an install, timed from their step lines (and the
// extraction's echo): appended to the file MORVANE_BENCH_STEPS names as
// "kind prepare extract register links finish", kind 0 for a first
// installation and 1 for an update, the steps in seconds. Prepare: the listing,
// the look for held files, the journal, the old files moved aside; extract:
// the extraction, the kept copy, the list of installed files; finish: the
// record, the closing lines, the commit, install.log.
class TStepClock {
public:
    void Mark(const std::string& Line) {
        const bool Step = Line == "Delete old files..." || Line.rfind("unrar.exe x ", 0) == 0 ||
                          Line == "Registering component in registry..." ||
                          Line == "Create Shortcuts in Start menu folder..." ||
                          (Line.empty() && FMarks.size() == 4);
        if (Step && FMarks.size() < 5) FMarks.push_back(FWatch.Seconds());
    }
    void Save(bool Update) {
        const char* File = std::getenv("MORVANE_BENCH_STEPS");
        if (!File || FMarks.size() < 5) return;
        FMarks.push_back(FWatch.Seconds());
        if (FILE* Out = std::fopen(File, "a")) {
            std::fprintf(Out, "%d ", Update ? 1 : 0);
            for (std::size_t I = 1; I < FMarks.size(); ++I)
                std::fprintf(Out, "%.4f%c", FMarks[I] - FMarks[I - 1], I + 1 < FMarks.size() ? ' ' : '\n');
            std::fclose(Out);
        }
    }

private:
    bench::TStopwatch FWatch;
    std::vector<double> FMarks;
};

int RunProcedure(bool Install, const char* InstallDir, const char* StartFolder) {
    TComScope Com;
    try {
        TInstallData Data;
        if (Install) {
            Data.InstallDir = InstallDir;
            Data.StartFolder = StartFolder;
        }
        TStepClock Clock;
        const bool Update = Data.Installed;
        {
            TCompiler Compiler(Data);
            // As a run without a window: no Explorer window in the timed run.
            Compiler.ShowProgramFolder = false;
            Compiler.OnLogLine = [&Clock](const std::string& Line, bool&) { Clock.Mark(Line); };
            if (Install)
                Compiler.Install();
            else
                Compiler.Uninstall();
            Compiler.Release();
        }
        if (Install) Clock.Save(Update);
        return Data.Succeeded ? 0 : 1;
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s failed: %s\n", Install ? "install" : "uninstall", E.what());
        return 3;
    }
}

// --- the driver -------------------------------------------------------------

std::string SelfPath() {
    char Buffer[MAX_PATH];
    const DWORD Length = GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
    return std::string(Buffer, Length);
}

std::string FolderOf(const std::string& Path) {
    return Path.substr(0, Path.find_last_of('\\'));
}

// Runs a command line to its end; the seconds it took, or a failure message.
double Timed(const std::string& CommandLine, const std::string& Folder, const char* What,
             bool Quiet = false) {
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    // A program's lines to no console (as the install captures them).
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    const THandle Nul(Quiet ? CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &Inherit,
                                          OPEN_EXISTING, 0, nullptr)
                            : INVALID_HANDLE_VALUE);
    if (Nul) {
        Startup.dwFlags = STARTF_USESTDHANDLES;
        Startup.hStdOutput = Startup.hStdError = Nul.get();
    }
    PROCESS_INFORMATION Info{};
    std::string Line = CommandLine;
    const bench::TStopwatch Watch;
    if (!CreateProcessA(nullptr, Line.data(), nullptr, nullptr, Nul ? TRUE : FALSE, 0, nullptr,
                        Folder.c_str(),
                        &Startup, &Info)) {
        std::fprintf(stderr, "%s: cannot start %s\n", What, CommandLine.c_str());
        std::exit(2);
    }
    const THandle Thread(Info.hThread), Process(Info.hProcess);
    WaitForSingleObject(Process.get(), INFINITE);
    const double Seconds = Watch.Seconds();
    DWORD Code = 0;
    GetExitCodeProcess(Process.get(), &Code);
    if (Code != 0) {
        std::fprintf(stderr, "%s: %s ended with %lu\n", What, CommandLine.c_str(),
                     static_cast<unsigned long>(Code));
        std::exit(1);
    }
    return Seconds;
}

void WipeTree(const std::string& Path) {
    WIN32_FIND_DATAA Entry;
    if (const TFindHandle Find{FindFirstFileA((Path + "\\*").c_str(), &Entry)}) {
        do {
            const std::string Name = Entry.cFileName;
            if (Name == "." || Name == "..") continue;
            const std::string Full = Path + "\\" + Name;
            SetFileAttributesA(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                WipeTree(Full);
            else
                DeleteFileA(Full.c_str());
        } while (FindNextFileA(Find.get(), &Entry));
    }
    RemoveDirectoryA(Path.c_str());
}

bool Exists(const std::string& Path) {
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Counts the files below Path, to check that an installation is complete.
unsigned long CountFiles(const std::string& Path) {
    unsigned long Count = 0;
    WIN32_FIND_DATAA Entry;
    const TFindHandle Find(FindFirstFileA((Path + "\\*").c_str(), &Entry));
    if (!Find) return 0;
    do {
        const std::string Name = Entry.cFileName;
        if (Name == "." || Name == "..") continue;
        if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Count += CountFiles(Path + "\\" + Name);
        else
            ++Count;
    } while (FindNextFileA(Find.get(), &Entry));
    return Count;
}

std::string ProgramsFolder() {
    char Buffer[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, Buffer);
    return Buffer;
}

// Install opens an Explorer window on the program folder; it is closed once
// the timed run is over.
BOOL CALLBACK CloseExplorer(HWND Window, LPARAM Title) {
    char Class[64], Text[MAX_PATH];
    GetClassNameA(Window, Class, sizeof Class);
    GetWindowTextA(Window, Text, sizeof Text);
    if (std::string(Class) == "ExplorerWClass" &&
        std::string(Text) == reinterpret_cast<const char*>(Title))
        PostMessageA(Window, WM_CLOSE, 0, 0);
    return TRUE;
}

void ClearRecords() {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, Product.RecordKey, KEY_WOW64_32KEY, 0);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, PeerUninstallKey);
}

int Drive(const std::string& Peer, const std::string& Work, int Runs) {
    const std::string Self = SelfPath();
    const std::string Stage = FolderOf(Self);
    const std::string PeerFolder = FolderOf(Peer);
    ClearRecords();
    CreateDirectoryA(Work.c_str(), nullptr);

    std::vector<double> OursIn, PeerIn, OursUp, PeerUp, OursOut, PeerOut, Unrar;
    const std::string StepsFile = Stage + "\\steps.txt";
    DeleteFileA(StepsFile.c_str());
    SetEnvironmentVariableA("MORVANE_BENCH_STEPS", StepsFile.c_str());
    for (int Run = 1; Run <= Runs; ++Run) {
        char Id[64];
        std::snprintf(Id, sizeof Id, "%lu-%d", static_cast<unsigned long>(GetCurrentProcessId()),
                      Run);
        const std::string OursDir = Work + "\\ours-" + Id;
        const std::string PeerDir = Work + "\\peer-" + Id;
        const std::string StartFolder = std::string("Morvane Bench ") + Id;
        WipeTree(OursDir);
        WipeTree(PeerDir);

        // Creating files right after 20,000 were removed is slower on some
        // file systems (ext4 without a journal passes over freed inodes),
        // so whichever goes first pays for the previous run's removals: the
        // order alternates.
        const auto InstallOurs = [&] {
            OursIn.push_back(
                Timed("\"" + Self + "\" install \"" + OursDir + "\" \"" + StartFolder + "\"", Stage,
                      "our install"));
            EnumWindows(CloseExplorer, reinterpret_cast<LPARAM>(StartFolder.c_str()));
        };
        const auto InstallPeer = [&] {
            PeerIn.push_back(
                Timed("\"" + Peer + "\" /S /D=" + PeerDir, PeerFolder, "peer install"));
        };
        // The same again over the installation: an update (a repair) moves
        // the old files aside and recycles them; the peer writes over them.
        const auto UpdateOurs = [&] {
            OursUp.push_back(
                Timed("\"" + Self + "\" install \"" + OursDir + "\" \"" + StartFolder + "\"", Stage,
                      "our update"));
        };
        const auto UpdatePeer = [&] {
            PeerUp.push_back(Timed("\"" + Peer + "\" /S /D=" + PeerDir, PeerFolder, "peer update"));
        };
        const auto UninstallOurs = [&] {
            OursOut.push_back(Timed("\"" + Self + "\" uninstall", Stage, "our uninstall"));
        };
        const auto UninstallPeer = [&] {
            PeerOut.push_back(Timed("\"" + PeerDir + "\\uninstall.exe\" /S _?=" + PeerDir,
                                    PeerFolder, "peer uninstall"));
        };
        const auto InTurn = [Run](const auto& Ours, const auto& Peer) {
            if (Run % 2 == 1) {
                Ours();
                Peer();
            } else {
                Peer();
                Ours();
            }
        };
        InTurn(InstallOurs, InstallPeer);
        const unsigned long OursFiles = CountFiles(OursDir);
        const unsigned long PeerFiles = CountFiles(PeerDir);
        InTurn(UpdateOurs, UpdatePeer);
        InTurn(UninstallOurs, UninstallPeer);
        // The extraction program alone, on the same archive, as the install
        // runs it (its output to the console instead of the log).
        const std::string Alone = Work + "\\unrar-" + Id;
        Unrar.push_back(Timed("\"" + Stage + "\\unrar.exe\" x -o+ -y data.arc \"" + Alone + "\\\"",
                              Stage, "unrar alone", true));
        WipeTree(Alone);
        const bool OursLeft = Exists(OursDir);
        const unsigned long PeerLeft = CountFiles(PeerDir);

        std::printf("setup run %d: install ours %.3f s (%lu files), peer %.3f s (%lu files); "
                    "uninstall ours %.3f s (folder %s), peer %.3f s (%lu files left)\n",
                    Run, OursIn.back(), OursFiles, PeerIn.back(), PeerFiles, OursOut.back(),
                    OursLeft ? "left" : "gone", PeerOut.back(), PeerLeft);
        std::fflush(stdout);

        WipeTree(OursDir);
        WipeTree(PeerDir);
        WipeTree(ProgramsFolder() + "\\" + StartFolder);
        ClearRecords();
    }
    std::printf("both install: 20,000 files + the component, registered; 9 links; the record (3 "
                "values) and the Installed-apps entry (11 values, the size measured); a copy of "
                "the setup to uninstall with. Neither opens a window. Ours also lists the "
                "archive, looks for files in use, keeps a journal and moves old files aside.\n");
    bench::PrintResult("install", OursIn, PeerIn);
    bench::PrintResult("update", OursUp, PeerUp);
    bench::PrintResult("uninstall", OursOut, PeerOut);
    // Where our install's time goes: the median of each step, and unrar.exe
    // alone against our whole install.
    std::vector<std::vector<double>> Steps(5), UpdateSteps(5);
    if (FILE* In = std::fopen(StepsFile.c_str(), "r")) {
        int Kind = 0;
        double V[5];
        while (std::fscanf(In, "%d %lf %lf %lf %lf %lf", &Kind, &V[0], &V[1], &V[2], &V[3], &V[4]) == 6)
            for (int I = 0; I < 5; ++I)
                (Kind ? UpdateSteps : Steps)[I].push_back(V[I]);
        std::fclose(In);
    }
    const char* Names[] = {"prepare (list, held files, journal, move aside)",
                           "extract (unrar, kept copy, list of files)", "register (regsvr32)",
                           "links", "finish (record, commit, install.log)"};
    const double Whole = bench::Median(OursIn);
    for (int I = 0; I < 5; ++I)
        if (!Steps[I].empty())
            std::printf("STEP %-50s %7.3f s  %5.1f %% of our install (median of %zu)\n", Names[I],
                        bench::Median(Steps[I]), 100 * bench::Median(Steps[I]) / Whole,
                        Steps[I].size());
    // An update also looks at 20,000 files for holders and moves them aside.
    if (!UpdateSteps[0].empty())
        std::printf("STEP %-50s %7.3f s  %5.1f %% of our update (median of %zu)\n",
                    "update: prepare", bench::Median(UpdateSteps[0]),
                    100 * bench::Median(UpdateSteps[0]) / bench::Median(OursUp), UpdateSteps[0].size());
    // Run after both uninstalls: it pays for the removals before it (see
    // the order of the runs above), so it is an upper bound.
    std::printf("STEP %-50s %7.3f s  %5.1f %% of our install\n", "unrar.exe alone, after the uninstalls",
                bench::Median(Unrar), 100 * bench::Median(Unrar) / Whole);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string Command = argc > 1 ? argv[1] : "";
    if (Command == "install" && argc == 4) return RunProcedure(true, argv[2], argv[3]);
    if (Command == "uninstall" && argc == 2) return RunProcedure(false, nullptr, nullptr);
    if (Command == "drive" && argc == 5) return Drive(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: bench_setup install <dir> <start folder> | uninstall |"
                         " drive <peer-setup.exe> <work folder> <runs>\n");
    return 2;
}
