// What Windows and its users read from the built setup program without
// running it: the manifest (rights, visual styles, DPI awareness, supported
// systems), the version resource and the icon.

#include "platform/Owners.h"
#include "data/Product.h"
#include "support/Files.h"
#include "support/System.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

namespace {

std::string SetupExe;    // Windows path of MorvaneSetup.exe
std::string VersionFile; // Windows path of product/version

std::string Trimmed(std::string Text) {
    while (!Text.empty() && static_cast<unsigned char>(Text.back()) <= ' ')
        Text.pop_back();
    size_t Start = 0;
    while (Start < Text.size() && static_cast<unsigned char>(Text[Start]) <= ' ')
        ++Start;
    return Text.substr(Start);
}

// The program's resources, without running any of its code.
TModule LoadAsData(const std::string& Path) {
    return TModule(LoadLibraryExA(Path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

std::string Resource(HMODULE Module, LPCSTR Type, LPCSTR Name) {
    HRSRC Info = FindResourceA(Module, Name, Type);
    if (!Info) return {};
    HGLOBAL Data = LoadResource(Module, Info);
    const char* Bytes = static_cast<const char*>(LockResource(Data));
    return Bytes ? std::string(Bytes, SizeofResource(Module, Info)) : std::string();
}

std::string VersionString(const std::string& Exe, const std::string& Name) {
    DWORD Ignored = 0;
    DWORD Size = GetFileVersionInfoSizeA(Exe.c_str(), &Ignored);
    if (!Size) return "<no version resource>";
    std::string Block(Size, '\0');
    if (!GetFileVersionInfoA(Exe.c_str(), 0, Size, Block.data())) return "<unreadable>";
    char* Value = nullptr;
    UINT Length = 0;
    std::string Query = "\\StringFileInfo\\040904B0\\" + Name;
    if (!VerQueryValueA(Block.data(), Query.c_str(), reinterpret_cast<void**>(&Value), &Length))
        return "<missing " + Name + ">";
    return std::string(Value, Length ? Length - 1 : 0);
}

TEST(SetupProgramResources, ManifestAsksForWhatTheProgramNeeds) {
    const TModule Exe = LoadAsData(SetupExe);
    ASSERT_NE(Exe, nullptr) << SetupExe;
    const std::string Manifest = Resource(Exe.get(), MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_FALSE(Manifest.empty());
    struct {
        const char* What;
        const char* Text;
    } Needs[] = {
        {"administrator rights", "level=\"requireAdministrator\""},
        {"visual styles", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""},
        {"system DPI awareness (Vista+)", ">true</dpiAware>"},
        {"system DPI awareness (10+)", ">system</dpiAwareness>"},
        {"Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
        {"Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
        {"Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
        {"Windows 10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},
    };
    // One logical line per attribute set: fold the layout's line breaks.
    std::string Folded;
    for (char C : Manifest) {
        if (C == '\r' || C == '\n') C = ' ';
        if (C == ' ' && !Folded.empty() && Folded.back() == ' ') continue;
        Folded += C;
    }
    for (auto& Need : Needs)
        EXPECT_NE(Folded.find(Need.Text), std::string::npos) << Need.What << " in\n" << Manifest;
    EXPECT_EQ(Folded.find("asInvoker"), std::string::npos);
}

TEST(SetupProgramResources, VersionResourceNamesTheProduct) {
    const std::optional<std::string> Text = ReadWholeFile(VersionFile);
    ASSERT_TRUE(Text) << VersionFile;
    const std::string Version = Trimmed(*Text);
    ASSERT_FALSE(Version.empty());
    EXPECT_EQ(VersionString(SetupExe, "ProductName"), Product.Name);
    EXPECT_EQ(VersionString(SetupExe, "FileDescription"), std::string(Product.Name) + " Installer");
    EXPECT_EQ(VersionString(SetupExe, "ProductVersion"), Version);
    EXPECT_EQ(VersionString(SetupExe, "OriginalFilename"), "MorvaneSetup.exe");
}

// Each size the shell asks for loads (the frames are PNG) and draws the
// icon's dark face, not a blank or white square: the centre pixel over white.
TEST(SetupProgramResources, CarriesItsIcon) {
    const TModule Exe = LoadAsData(SetupExe);
    ASSERT_NE(Exe, nullptr);
    EXPECT_NE(FindResourceA(Exe.get(), MAKEINTRESOURCEA(1), RT_GROUP_ICON), nullptr);
    for (int Size : {16, 32, 48}) {
        HICON Icon = static_cast<HICON>(
            LoadImageA(Exe.get(), MAKEINTRESOURCEA(1), IMAGE_ICON, Size, Size, 0));
        ASSERT_NE(Icon, nullptr) << Size;
        HDC Dc = CreateCompatibleDC(nullptr);
        BITMAPINFO Info{};
        Info.bmiHeader = {sizeof(BITMAPINFOHEADER), Size, -Size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* Bits = nullptr;
        HBITMAP Canvas = CreateDIBSection(Dc, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
        HGDIOBJ Old = SelectObject(Dc, Canvas);
        PatBlt(Dc, 0, 0, Size, Size, WHITENESS);
        EXPECT_TRUE(DrawIconEx(Dc, 0, 0, Icon, Size, Size, 0, nullptr, DI_NORMAL)) << Size;
        GdiFlush();
        const auto* Pixels = static_cast<const unsigned char*>(Bits);
        const unsigned char* Centre = Pixels + 4 * (Size / 2 * Size + Size / 2);
        EXPECT_LT(Centre[0] + Centre[1] + Centre[2], 3 * 200) << Size;
        SelectObject(Dc, Old);
        DeleteObject(Canvas);
        DeleteDC(Dc);
        DestroyIcon(Icon);
    }
}

} // namespace

// Arguments: the setup program and the version file, as Unix paths.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: app_resources_test <MorvaneSetup.exe> <version file>\n");
        return 2;
    }
    SetupExe = WindowsPath(argv[1]);
    VersionFile = WindowsPath(argv[2]);
    return RUN_ALL_TESTS();
}
