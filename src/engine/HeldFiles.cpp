#include "engine/HeldFiles.h"

#include "data/InstalledFiles.h"
#include "platform/Owners.h"
#include "platform/SystemLibrary.h"
#include "platform/Utils.h"

#include <windows.h>
#include <restartmanager.h>

namespace {

// Restart Manager, loaded from the system folder when first asked (it is
// missing before Vista, and no library may come from the setup's folder).
struct TRestartManager {
    TSystemFunction<decltype(&RmStartSession)> Start{"rstrtmgr.dll", "RmStartSession"};
    TSystemFunction<decltype(&RmRegisterResources)> Register{"rstrtmgr.dll", "RmRegisterResources"};
    TSystemFunction<decltype(&RmGetList)> List{"rstrtmgr.dll", "RmGetList"};
    TSystemFunction<decltype(&RmEndSession)> End{"rstrtmgr.dll", "RmEndSession"};
    bool Ready() const { return Start && Register && List && End; }
};

std::string Narrow(const WCHAR* Wide) {
    const int Size = WideCharToMultiByte(CP_ACP, 0, Wide, -1, nullptr, 0, nullptr, nullptr);
    if (Size <= 1) return {};
    std::string Text(static_cast<std::size_t>(Size), '\0');
    WideCharToMultiByte(CP_ACP, 0, Wide, -1, Text.data(), Size, nullptr, nullptr);
    Text.resize(static_cast<std::size_t>(Size - 1));
    return Text;
}

} // namespace

std::vector<std::string> HoldersOf(const std::string& Path) {
    static const TRestartManager Rm;
    std::vector<std::string> Names;
    if (!Rm.Ready()) return Names;
    const int Size = MultiByteToWideChar(CP_ACP, 0, Path.c_str(), -1, nullptr, 0);
    if (Size <= 0) return Names;
    std::wstring Wide(static_cast<std::size_t>(Size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, Path.c_str(), -1, Wide.data(), Size);
    DWORD Session = 0;
    WCHAR Key[CCH_RM_SESSION_KEY + 1] = {};
    if (Rm.Start(&Session, 0, Key) != ERROR_SUCCESS) return Names;
    LPCWSTR Files[] = {Wide.c_str()};
    RM_PROCESS_INFO Info[8];
    UINT Needed = 0, Count = 8;
    DWORD Reasons = 0;
    if (Rm.Register(Session, 1, Files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        Rm.List(Session, &Needed, &Count, Info, &Reasons) == ERROR_SUCCESS)
        for (UINT I = 0; I < Count && I < 8; ++I)
            Names.push_back(Narrow(Info[I].strAppName));
    Rm.End(Session);
    return Names;
}

std::vector<THeldFile> FilesInUse(const std::string& Folder,
                                  const std::vector<std::string>& Entries) {
    std::vector<THeldFile> Files;
    for (const std::string& Entry : HeldEntries(Folder, Entries)) {
        const std::string Path = PathIn(Folder, Entry);
        Files.push_back({Entry, Path, HoldersOf(Path)});
    }
    return Files;
}
