// The distribution folder as the setup program uses it: unrar.exe unpacks
// data.arc into a destination, and the system's regsvr32 registers and
// unregisters the extracted control.
#include "platform/Owners.h"
#include "data/Extraction.h"
#include "data/Product.h"
#include "support/Files.h"
#include "support/System.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <optional>

#include "MorvaneXControls.h"

namespace fs = std::filesystem;

namespace {

const std::string DistDir = WindowsPath(MORVANE_DIST_DIR);

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

class Distribution : public testing::Test {
protected:
    void SetUp() override { Com.emplace(); }
    void TearDown() override {
        std::string ocx = Dest + "\\" + Product.OcxFileName;
        if (FilePresent(ocx)) RegSvr32("/u /s \"" + ocx + "\"");
        // Unloads the control before its folder goes.
        Com.reset();
    }

    // The setup program's own command line, run from the distribution folder.
    long Extract() {
        return RunProgram(std::string("unrar.exe ") + extraction::ExtractSwitches +
                              " data.arc *.* \"" + Dest + "\\\"",
                          DistDir, INFINITE, DistDir + "\\unrar.exe");
    }
    static long RegSvr32(const std::string& Arguments) {
        return RunProgram("regsvr32.exe " + Arguments, {}, INFINITE, Regsvr32());
    }

    TTempFolder Work{"product"};
    std::string Dest = Work / "Morvane product"; // a blank to quote
    std::optional<TComScope> Com;
};

TEST_F(Distribution, ArchiveDeliversEveryShortcutTargetAndTheControl) {
    ASSERT_EQ(Extract(), 0);
    for (const auto& [Target, Link] : ProductShortcuts())
        EXPECT_TRUE(FilePresent(Dest + "\\" + Target)) << Target;
    EXPECT_TRUE(FilePresent(Dest + "\\" + Product.OcxFileName));

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

    const std::string Version = ReadWholeFile(DistDir + "\\version").value_or("");
    EXPECT_EQ(Version.substr(0, Version.find_first_of("\r\n")), "2.5.1");
}

TEST_F(Distribution, Regsvr32RegistersAndUnregistersTheControl) {
    ASSERT_EQ(Extract(), 0);
    const std::string ocx = Dest + "\\" + Product.OcxFileName;
    const std::string clsidKey = std::string("CLSID\\") + MORVANE_XCONTROLS_CLSID;
    ASSERT_FALSE(ClassesKeyExists(clsidKey)) << "left over by an earlier run";

    EXPECT_EQ(RegSvr32("/s \"" + ocx + "\""), 0);
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

    EXPECT_EQ(RegSvr32("/u /s \"" + ocx + "\""), 0);
    EXPECT_FALSE(ClassesKeyExists(clsidKey));
    EXPECT_FALSE(ClassesKeyExists(MORVANE_XCONTROLS_PROGID));
    EXPECT_FALSE(ClassesKeyExists(MORVANE_XCONTROLS_VI_PROGID));
}

} // namespace
