// No planted library runs: copies of a marker-leaving DLL named after the
// libraries a setup program loads lie beside MorvaneSetup.exe and in its
// current folder, Wine is told to prefer such native copies over its own
// (as Windows prefers a DLL in the program's folder), and the program is
// started for real. Its window must come up, and no marker may appear.
// The program's import table is checked as well: a library imported is
// loaded before the program's first line can restrict the search.

#include "platform/Owners.h"
#include "data/Product.h"
#include "support/Files.h"
#include "support/System.h"
#include "support/Ui.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

std::string DistDir;  // Windows path of the distribution folder
std::string PlantDll; // Windows path of the planted library
std::string WorkDir;  // Windows path of a scratch folder

// Names a planted copy is left under, and who looks each one up by name
// after the program has started. Left out: version.dll, imm32.dll and the
// other libraries Wine's own user32, gdi32 and advapi32 import; Wine loads
// them while it maps the process, before any code of the program runs (on
// Windows they are known DLLs, or user32 does not import them).
const char* const Names[] = {
    "shell32",  // the program: folders, shortcuts, recycling, folder dialog
    "ole32",    // the program: COM for shortcuts
    "comdlg32", // the program: the save dialog for the log
    "comctl32", // the program (at run time); Wine's shell32 and comdlg32
    "uxtheme",  // the common controls and Wine's user32 (visual styles)
    "msimg32",  // Wine's theme library, on its first themed drawing
    "dwmapi",   // the theme library on Windows
    "oleacc",   // the common controls on Windows (accessibility)
    "winmm",    // Wine's common controls and shlwapi (sounds)
    "cryptbase" // advapi32 on Windows
};

bool Copy(const std::string& From, const std::string& To) {
    return CopyFileA(From.c_str(), To.c_str(), FALSE) != FALSE;
}

// Wine's per-program override: native (a DLL file found on the search
// path) before its built-in copy, for each planted name.
class TNativeFirst {
public:
    TNativeFirst() {
        HKEY Key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER,
                        "Software\\Wine\\AppDefaults\\MorvaneSetup.exe\\DllOverrides", 0, nullptr,
                        0, KEY_ALL_ACCESS, nullptr, &Key, nullptr);
        const TRegKey Overrides(Key);
        for (const char* Name : Names)
            RegSetValueExA(Key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                           15);
    }
    ~TNativeFirst() {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\MorvaneSetup.exe");
    }
    TNativeFirst(const TNativeFirst&) = delete;
    TNativeFirst& operator=(const TNativeFirst&) = delete;
};

TEST(PlantedLibraries, NeverLoadFromTheProgramOrCurrentFolder) {
    const std::string App = WorkDir + "\\app", Cwd = WorkDir + "\\cwd";
    WipeTree(WorkDir);
    ASSERT_TRUE(CreateDirectoryA(WorkDir.c_str(), nullptr)) << WorkDir;
    CreateDirectoryA(App.c_str(), nullptr);
    CreateDirectoryA(Cwd.c_str(), nullptr);
    for (const char* File : {"MorvaneSetup.exe", "unrar.exe", "data.arc", "version"})
        ASSERT_TRUE(Copy(DistDir + "\\" + File, App + "\\" + File)) << File;
    ASSERT_TRUE(Copy(DistDir + "\\version", Cwd + "\\version"));
    std::vector<std::string> Planted;
    for (const char* Name : Names)
        for (const std::string& Folder : {App, Cwd}) {
            Planted.push_back(Folder + "\\" + Name + ".dll");
            ASSERT_TRUE(Copy(PlantDll, Planted.back()));
        }

    TNativeFirst Overrides;
    TChildProcess Child(App + "\\MorvaneSetup.exe", "", Cwd);
    ASSERT_TRUE(Child.Started());
    // The window comes up only after start-up has loaded what it needs, and
    // is painted (themed) before it answers the close request.
    HWND Main = nullptr;
    for (int i = 0; i < 300 && !Main; ++i) {
        if (Child.Wait(100)) break;
        Main = FindTopWindow(Child.Id(), std::string(Product.Name) + " Installer");
    }
    EXPECT_NE(Main, nullptr) << "the setup program did not come up";
    if (Main) {
        Sleep(1000);
        PostMessageA(Main, WM_CLOSE, 0, 0);
    }
    Child.Wait(30000);
    EXPECT_EQ(Child.ExitCode(), 1602u) << "closed before anything was done: cancelled";

    for (const std::string& Dll : Planted)
        EXPECT_FALSE(PathExists(Dll + ".loaded")) << "loaded: " << Dll;
    // Proof that the planted library does leave a marker when it is loaded.
    const std::string Probe = WorkDir + "\\probe.dll";
    ASSERT_TRUE(Copy(PlantDll, Probe));
    ASSERT_NE(TModule(LoadLibraryA(Probe.c_str())), nullptr);
    EXPECT_TRUE(PathExists(Probe + ".loaded"));
    if (!HasFailure()) WipeTree(WorkDir);
}

// The libraries named in the import table of an executable built for the
// architecture of this test, in lower case, and whether it has a
// delay-import table; false if the file is not such an executable.
#ifdef _WIN64
constexpr WORD ThisMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD ThisMachine = IMAGE_FILE_MACHINE_I386;
#endif

bool ReadImports(const std::string& Path, std::set<std::string>& Imports, bool& DelayImports) {
    const std::string Image = ReadWholeFile(Path).value_or(std::string());
    auto At = [&](size_t Offset, size_t Size) -> const void* {
        return Offset <= Image.size() && Size <= Image.size() - Offset ? &Image[Offset] : nullptr;
    };
    auto Dos = static_cast<const IMAGE_DOS_HEADER*>(At(0, sizeof(IMAGE_DOS_HEADER)));
    if (!Dos || Dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
    auto Nt = static_cast<const IMAGE_NT_HEADERS*>(At(Dos->e_lfanew, sizeof(IMAGE_NT_HEADERS)));
    if (!Nt || Nt->Signature != IMAGE_NT_SIGNATURE ||
        Nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC ||
        Nt->FileHeader.Machine != ThisMachine)
        return false;
    const size_t SectionsAt = Dos->e_lfanew + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                              Nt->FileHeader.SizeOfOptionalHeader;
    const WORD Count = Nt->FileHeader.NumberOfSections;
    auto Sections = static_cast<const IMAGE_SECTION_HEADER*>(
        At(SectionsAt, Count * sizeof(IMAGE_SECTION_HEADER)));
    if (!Sections) return false;
    auto FileOffset = [&](DWORD Rva) -> size_t {
        for (WORD i = 0; i < Count; ++i)
            if (Rva >= Sections[i].VirtualAddress &&
                Rva - Sections[i].VirtualAddress < Sections[i].SizeOfRawData)
                return Rva - Sections[i].VirtualAddress + Sections[i].PointerToRawData;
        return SIZE_MAX;
    };
    const auto& Directories = Nt->OptionalHeader.DataDirectory;
    DelayImports = Directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size != 0;
    for (size_t Entry = FileOffset(Directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);;
         Entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto Import =
            static_cast<const IMAGE_IMPORT_DESCRIPTOR*>(At(Entry, sizeof(IMAGE_IMPORT_DESCRIPTOR)));
        if (!Import) return false;
        if (Import->Name == 0) return true;
        std::string Name;
        for (size_t Char = FileOffset(Import->Name); Char < Image.size() && Image[Char]; ++Char)
            Name += static_cast<char>(std::tolower(static_cast<unsigned char>(Image[Char])));
        Imports.insert(Name);
    }
}

// Imported only what the system loads from its own folder whatever the
// search (known DLLs on Windows) and what Wine's user32 brings along
// before the program's first line anyway. Every other library is loaded on
// first use, from the system folder.
TEST(SetupProgramImports, OnlyLibrariesLoadedBeforeTheProgramRuns) {
    std::set<std::string> Imports;
    bool DelayImports = true;
    ASSERT_TRUE(ReadImports(DistDir + "\\MorvaneSetup.exe", Imports, DelayImports));
    ASSERT_EQ(Imports.count("kernel32.dll"), 1u) << "import table not read";
    const std::set<std::string> Allowed = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                           "advapi32.dll", "msvcrt.dll"};
    for (const std::string& Name : Imports)
        EXPECT_EQ(Allowed.count(Name), 1u) << "imported at load time: " << Name;
    // Wine resolves delay imports with the search the process started with.
    EXPECT_FALSE(DelayImports);
}

} // namespace

// Arguments (Unix paths): the distribution folder, the planted DLL, a
// scratch folder.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: planted_test <dist> <planted.dll> <scratch>\n");
        return 2;
    }
    DistDir = WindowsPath(argv[1]);
    PlantDll = WindowsPath(argv[2]);
    WorkDir = WindowsPath(argv[3]) + "\\run-" + std::to_string(GetCurrentProcessId());
    return RUN_ALL_TESTS();
}
