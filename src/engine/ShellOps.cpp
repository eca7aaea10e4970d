#include "engine/ShellOps.h"
#include "data/Error.h"

#include "data/Utils.h"

#include <shellapi.h>
#include <shobjidl.h>

namespace {

const char* TextOrNull(const std::string& Text) {
    return Text.empty() ? nullptr : Text.c_str();
}

void DispatchPendingMessages() {
    MSG Message;
    while (PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&Message);
        DispatchMessageA(&Message);
    }
}

} // namespace

HRESULT CreateShellLink(const TShortcutSpec& Spec, const std::string& LinkFileName) {
    IShellLinkA* RawLink = nullptr;
    HRESULT Result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, reinterpret_cast<void**>(&RawLink));
    if (FAILED(Result)) return Result;
    const TComPtr<IShellLinkA> Link(RawLink);

    Link->SetArguments(Spec.Arguments.c_str());
    Link->SetShowCmd(Spec.ShowCmd);
    Link->SetWorkingDirectory(Spec.WorkingFolder.c_str());
    Link->SetPath(Spec.Target.c_str());
    Link->SetDescription(Spec.Description.c_str());
    Link->SetHotkey(Spec.HotKey);
    Link->SetIconLocation(Spec.IconFile.c_str(), Spec.IconIndex);

    IPersistFile* RawFile = nullptr;
    if (FAILED(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&RawFile))))
        throw Exception("Interface not supported");
    const TComPtr<IPersistFile> File(RawFile);

    // A name longer than the buffer is refused by the conversion instead
    // of running past it.
    WCHAR WideName[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, LinkFileName.c_str(), -1, WideName, MAX_PATH) ==
        0)
        return HRESULT_FROM_WIN32(GetLastError());
    return File->Save(WideName, TRUE);
}

bool ShellExecuteAndWait(const std::string& File, const std::string& Parameters,
                         const std::string& Verb, int ShowCmd, std::optional<DWORD>* ExitCode) {
    if (ExitCode) ExitCode->reset();
    SHELLEXECUTEINFOA Info{};
    Info.cbSize = sizeof Info;
    Info.fMask =
        SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
    Info.lpVerb = TextOrNull(Verb);
    Info.lpFile = File.c_str();
    Info.lpParameters = TextOrNull(Parameters);
    Info.nShow = ShowCmd;
    if (!ShellExecuteExA(&Info)) return false;

    const THandle Process(Info.hProcess);
    WaitForInputIdle(Process.get(), INFINITE);
    // Keep this thread's windows alive while the program runs.
    DWORD Waited;
    while ((Waited = WaitForSingleObject(Process.get(), 10)) == WAIT_TIMEOUT)
        DispatchPendingMessages();
    DWORD Code = 0;
    if (ExitCode && Waited == WAIT_OBJECT_0 && GetExitCodeProcess(Process.get(), &Code))
        *ExitCode = Code;
    return true;
}

bool OpenFolderWindow(const std::string& Folder, HWND Parent) {
    if (!DirectoryPresent(Folder)) return false;
    SHELLEXECUTEINFOA Info{};
    Info.cbSize = sizeof Info;
    Info.hwnd = Parent;
    Info.lpVerb = "open";
    Info.lpFile = Folder.c_str();
    Info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExA(&Info) != FALSE;
}
