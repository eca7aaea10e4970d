#include "platform/FolderHold.h"

#include <windows.h>

namespace {

bool SameName(const std::string& A, const std::string& B) {
    return lstrcmpiA(A.c_str(), B.c_str()) == 0;
}

} // namespace

bool TFolderHolds::Hold(const std::string& Path, DWORD Access) {
    // Reading and writing inside stay open to everybody; deleting or
    // renaming the folder needs delete access, which this handle shares
    // with nobody.
    THandle Folder(CreateFileA(Path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES | Access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!Folder) return false;
    Release(Path);
    FHeld.emplace_back(Path, std::move(Folder));
    return true;
}

HANDLE TFolderHolds::Handle(const std::string& Path) const {
    for (const auto& [Name, Folder] : FHeld)
        if (SameName(Name, Path)) return Folder.get();
    return nullptr;
}

void TFolderHolds::Release(const std::string& Path) {
    for (auto Held = FHeld.begin(); Held != FHeld.end(); ++Held)
        if (SameName(Held->first, Path)) {
            FHeld.erase(Held);
            return;
        }
}
