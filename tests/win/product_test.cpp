// The distribution folder as the setup program uses it: unrar.exe unpacks
// data.arc into a destination, and the system's regsvr32 registers and
// unregisters the extracted control.
#include "data/Owners.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "MorvaneXControls.h"

namespace fs = std::filesystem;

namespace {

std::string WinPath(std::string path) {
    // The build hands over Linux paths; Wine shows / as Z:.
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (auto& c : path)
        if (c == '/') c = '\\';
    return path;
}

const std::string DistDir = WinPath(MORVANE_DIST_DIR);

// Starts program with a raw command line in folder and waits; -1 if it cannot start.
int RunAndWait(const std::string& program, std::string commandLine, const std::string& folder) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return -1;
    const THandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return int(code);
}

std::string Regsvr32() {
    char system[MAX_PATH];
    UINT n = GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system, n) + "\\regsvr32.exe";
}

// Default or named string value under HKEY_CLASSES_ROOT; empty when absent.
std::string ClassesValue(const std::string& key, const char* name = nullptr) {
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return "";
    return data;
}

bool ClassesKeyExists(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    const TRegKey opened(handle);
    return true;
}

class Product : public testing::Test {
protected:
    void SetUp() override {
        Dest = (fs::temp_directory_path() /
                ("Morvane product " + std::to_string(GetCurrentProcessId())))
                   .string();
        fs::remove_all(Dest);
        Com.emplace();
    }
    void TearDown() override {
        std::string ocx = Dest + "\\" MORVANE_XCONTROLS_FILE;
        if (fs::exists(ocx)) RunAndWait(Regsvr32(), "regsvr32.exe /u /s \"" + ocx + "\"", "");
        // Unloads the control before its folder goes.
        Com.reset();
        std::error_code ignored;
        fs::remove_all(Dest, ignored);
    }

    // The setup program's own command line, run from the distribution folder.
    int Extract() {
        return RunAndWait(
            DistDir + "\\unrar.exe",
            "unrar.exe x -c- -cfg- -dh -idp -o+ -r -y  data.arc *.* \"" + Dest + "\\\"", DistDir);
    }

    std::string Dest;
    std::optional<TComScope> Com;
};

TEST_F(Product, ArchiveDeliversEveryShortcutTargetAndTheControl) {
    ASSERT_EQ(Extract(), 0);
    const char* targets[] = {
        "Demos\\Compiled\\VCDemo.exe",
        "Demos\\Compiled\\VBDemo.exe",
        "Demos\\Compiled\\CSDemo.exe",
        "Demos\\CSDemo\\CSDemo.sln",
        "Demos\\VBNetDemo\\VBNetDemo.sln",
        "Demos\\VBDemo\\VBDemo.vbp",
        "Demos\\VCDemo\\VCDemo.dsw",
        "Help\\ZelkX.HLP",
        "Morvane.url",
        MORVANE_XCONTROLS_FILE,
    };
    for (const char* target : targets)
        EXPECT_TRUE(fs::is_regular_file(Dest + "\\" + target)) << target;

        // The demos are Windows GUI programs of the product's architecture; the
        // shortcut file names the web site.
#ifdef _WIN64
    const DWORD ProductBinary = SCS_64BIT_BINARY;
#else
    const DWORD ProductBinary = SCS_32BIT_BINARY;
#endif
    for (const char* demo : {"VCDemo", "VBDemo", "CSDemo"}) {
        std::string exe = Dest + "\\Demos\\Compiled\\" + demo + ".exe";
        DWORD type = 0;
        EXPECT_TRUE(GetBinaryTypeA(exe.c_str(), &type)) << exe;
        EXPECT_EQ(type, ProductBinary) << exe;
    }
    char url[256] = {};
    GetPrivateProfileStringA("InternetShortcut", "URL", "", url, sizeof url,
                             (Dest + "\\Morvane.url").c_str());
    EXPECT_STREQ(url, "https://morvane.example/");

    std::ifstream version(DistDir + "\\version");
    std::string line;
    std::getline(version, line);
    EXPECT_EQ(line, "2.5.1");
}

TEST_F(Product, Regsvr32RegistersAndUnregistersTheControl) {
    ASSERT_EQ(Extract(), 0);
    const std::string ocx = Dest + "\\" MORVANE_XCONTROLS_FILE;
    const std::string clsidKey = std::string("CLSID\\") + MORVANE_XCONTROLS_CLSID;
    ASSERT_FALSE(ClassesKeyExists(clsidKey)) << "left over by an earlier run";

    EXPECT_EQ(RunAndWait(Regsvr32(), "regsvr32.exe /s \"" + ocx + "\"", ""), 0);
    EXPECT_TRUE(fs::equivalent(ClassesValue(clsidKey + "\\InprocServer32"), ocx));
    EXPECT_EQ(ClassesValue(clsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ClassesValue(clsidKey + "\\ProgID"), MORVANE_XCONTROLS_PROGID);
    EXPECT_EQ(ClassesValue(MORVANE_XCONTROLS_PROGID "\\CLSID"), MORVANE_XCONTROLS_CLSID);
    EXPECT_EQ(ClassesValue(MORVANE_XCONTROLS_VI_PROGID "\\CurVer"), MORVANE_XCONTROLS_PROGID);

    // A client finds and creates it through COM like any ActiveX control.
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"" MORVANE_XCONTROLS_VI_PROGID, &clsid), S_OK);
    const CLSID expected = MORVANE_XCONTROLS_CLSID_INIT;
    EXPECT_TRUE(IsEqualCLSID(clsid, expected));
    {
        IUnknown* control = nullptr;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&control)),
                  S_OK);
        const TComPtr<IUnknown> created(control);
    }
    CoFreeUnusedLibraries();

    EXPECT_EQ(RunAndWait(Regsvr32(), "regsvr32.exe /u /s \"" + ocx + "\"", ""), 0);
    EXPECT_FALSE(ClassesKeyExists(clsidKey));
    EXPECT_FALSE(ClassesKeyExists(MORVANE_XCONTROLS_PROGID));
    EXPECT_FALSE(ClassesKeyExists(MORVANE_XCONTROLS_VI_PROGID));
}

} // namespace
