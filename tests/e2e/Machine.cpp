#include "e2e/Machine.h"

#include "data/Product.h"

#include "e2e/UiDriver.h"

#include "platform/Owners.h"
#include "support/Files.h"
#include "support/System.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace e2e {

namespace {

// The record lives in the 32-bit view whichever the installer's
// architecture; the component is registered by the regsvr32 of the
// installer's own architecture, so in that architecture's view (the
// driver is built for the same one).
constexpr REGSAM View = KEY_WOW64_32KEY;
#ifdef _WIN64
constexpr REGSAM ComponentView = KEY_WOW64_64KEY;
#else
constexpr REGSAM ComponentView = KEY_WOW64_32KEY;
#endif

std::string QueryString(HKEY Key, const char* Name, DWORD* Type) {
    DWORD Size = 0;
    *Type = REG_NONE;
    if (RegQueryValueExA(Key, Name, nullptr, Type, nullptr, &Size) != ERROR_SUCCESS) return "";
    std::string Value(Size + 1, '\0');
    if (RegQueryValueExA(Key, Name, nullptr, Type, reinterpret_cast<BYTE*>(Value.data()), &Size) !=
        ERROR_SUCCESS)
        return "";
    Value.resize(std::strlen(Value.c_str()));
    return Value;
}
} // namespace

std::string ReadOrFail(const std::string& Path) {
    const auto Content = ReadWholeFile(Path);
    if (!Content) Fail("read " + Path, "the file cannot be opened");
    return *Content;
}

void WriteOrFail(const std::string& Path, const std::string& Content) {
    if (!WriteWholeFile(Path, Content)) Fail("write " + Path, "the file cannot be written");
}

void MakeFoldersOrFail(const std::string& Path) {
    if (!MakeFolders(Path))
        Fail("create folder " + Path, "error " + std::to_string(GetLastError()));
}

void CopyTree(const std::string& From, const std::string& To) {
    MakeFoldersOrFail(To);
    for (const std::string& Name : FoldersIn(From))
        CopyTree(JoinPath(From, Name), JoinPath(To, Name));
    for (const std::string& Name : FilesIn(From))
        if (!CopyFileA(JoinPath(From, Name).c_str(), JoinPath(To, Name).c_str(), FALSE))
            Fail("copy " + JoinPath(From, Name), "error " + std::to_string(GetLastError()));
}

std::string ProgramsFolder() {
    char Path[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, Path) != S_OK)
        Fail("find the Programs folder", "SHGetFolderPath failed");
    return Path;
}

std::optional<TRecord> ReadRecord() {
    HKEY Raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Product.RecordKey, 0, KEY_READ | View, &Raw) !=
        ERROR_SUCCESS)
        return std::nullopt;
    TRegKey Key(Raw);
    TRecord Record;
    for (DWORD Index = 0;; ++Index) {
        char Name[256];
        DWORD NameLength = sizeof(Name);
        DWORD Type = 0;
        if (RegEnumValueA(Key.get(), Index, Name, &NameLength, nullptr, &Type, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        Record.ValueNames.push_back(Name);
        if (Type != REG_SZ) Record.AllStrings = false;
    }
    DWORD Type;
    Record.InstallDir = QueryString(Key.get(), Product.InstallDirValue, &Type);
    Record.StartFolder = QueryString(Key.get(), Product.StartFolderValue, &Type);
    Record.InstalledVersion = QueryString(Key.get(), Product.InstalledVersionValue, &Type);
    return Record;
}

void WriteRecord(const std::string& InstallDir, const std::string& StartFolder,
                 const std::string& InstalledVersion) {
    HKEY Raw = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Product.RecordKey, 0, nullptr, 0, KEY_ALL_ACCESS | View,
                        nullptr, &Raw, nullptr) != ERROR_SUCCESS)
        Fail("write the installation record", "the key cannot be created");
    TRegKey Key(Raw);
    const std::pair<const char*, const std::string*> Values[] = {
        {Product.InstallDirValue, &InstallDir},
        {Product.StartFolderValue, &StartFolder},
        {Product.InstalledVersionValue, &InstalledVersion}};
    for (const auto& [Name, Value] : Values)
        if (RegSetValueExA(Key.get(), Name, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(Value->c_str()),
                           static_cast<DWORD>(Value->size() + 1)) != ERROR_SUCCESS)
            Fail("write the installation record", std::string("value ") + Name + " refused");
}

const std::string UninstallKey =
    std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + Product.Name;

std::optional<TValues> ReadUninstallEntry() {
    HKEY Raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKey.c_str(), 0, KEY_READ | View, &Raw) !=
        ERROR_SUCCESS)
        return std::nullopt;
    TRegKey Key(Raw);
    TValues Values;
    for (DWORD Index = 0;; ++Index) {
        char Name[256];
        BYTE Data[2048];
        DWORD NameSize = sizeof Name, DataSize = sizeof Data - 1, Type = 0;
        if (RegEnumValueA(Raw, Index, Name, &NameSize, nullptr, &Type, Data, &DataSize) !=
            ERROR_SUCCESS)
            break;
        Data[DataSize] = 0;
        if (Type == REG_DWORD)
            Values[Name] = std::to_string(*reinterpret_cast<DWORD*>(Data));
        else
            Values[Name] = reinterpret_cast<char*>(Data);
    }
    return Values;
}

void DeleteRecord() {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, UninstallKey.c_str(), View, 0);
    const std::string Key = Product.RecordKey;
    const std::string Vendor = Key.substr(0, Key.find_last_of('\\'));
    HKEY Raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Vendor.c_str(), 0, KEY_ALL_ACCESS | View, &Raw) !=
        ERROR_SUCCESS)
        return;
    TRegKey Parent(Raw);
    RegDeleteTreeA(Parent.get(), Key.substr(Vendor.size() + 1).c_str());
    // The vendor key goes too once nothing else lives in it.
    DWORD SubKeys = 1, Values = 1;
    if (RegQueryInfoKeyA(Parent.get(), nullptr, nullptr, nullptr, &SubKeys, nullptr, nullptr,
                         &Values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        SubKeys == 0 && Values == 0) {
        Parent.reset();
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, Vendor.c_str(), View, 0);
    }
}

std::optional<std::string> RegisteredServer(const std::string& ClassId) {
    HKEY Raw = nullptr;
    const std::string Path = "CLSID\\" + ClassId + "\\InprocServer32";
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, Path.c_str(), 0, KEY_READ | ComponentView, &Raw) !=
        ERROR_SUCCESS)
        return std::nullopt;
    TRegKey Key(Raw);
    DWORD Type;
    return QueryString(Key.get(), nullptr, &Type);
}

std::vector<std::string> ServersOf(const std::string& Path) {
    std::vector<std::string> Found;
    HKEY Raw = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ | ComponentView, &Raw) !=
        ERROR_SUCCESS)
        return Found;
    TRegKey Root(Raw);
    for (DWORD Index = 0;; ++Index) {
        char Name[128];
        DWORD Length = sizeof(Name);
        if (RegEnumKeyExA(Root.get(), Index, Name, &Length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const auto Server = RegisteredServer(Name);
        if (Server && Lower(*Server) == Lower(Path)) Found.push_back(Name);
    }
    return Found;
}

bool UnregisterServer(const std::string& DllPath) {
    if (!FilePresent(DllPath)) return false;
    const TModule Module(LoadLibraryA(DllPath.c_str()));
    if (!Module) return false;
    using TEntry = HRESULT(WINAPI*)();
    auto Entry = reinterpret_cast<TEntry>(
        reinterpret_cast<void*>(GetProcAddress(Module.get(), "DllUnregisterServer")));
    return Entry && SUCCEEDED(Entry());
}

std::vector<std::string> CrLfLines(const std::string& Text, const std::string& Step) {
    std::vector<std::string> Lines;
    size_t Start = 0;
    while (Start < Text.size()) {
        const size_t End = Text.find_first_of("\r\n", Start);
        if (End == std::string::npos)
            Fail(Step, "the last line '" + Text.substr(Start) + "' has no CR LF");
        if (Text.compare(End, 2, "\r\n") != 0)
            Fail(Step, "line " + std::to_string(Lines.size() + 1) + " '" +
                           Text.substr(Start, End - Start) + "' ends in a bare CR or LF");
        Lines.push_back(Text.substr(Start, End - Start));
        Start = End + 2;
    }
    return Lines;
}

} // namespace e2e
