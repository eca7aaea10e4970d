// A library planted beside the setup program, the way an attacker leaves one
// in a downloads folder under the name of a system library. If it is ever
// loaded it leaves a marker file next to itself, named after itself.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
    if (Reason != DLL_PROCESS_ATTACH) return TRUE;
    char Path[MAX_PATH];
    DWORD Length = GetModuleFileNameA(Instance, Path, MAX_PATH - 8);
    if (Length == 0 || Length >= MAX_PATH - 8) return TRUE;
    lstrcatA(Path, ".loaded");
    HANDLE Marker =
        CreateFileA(Path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Marker != INVALID_HANDLE_VALUE) CloseHandle(Marker);
    return TRUE;
}
