#include "engine/ShellOps.h"
#include "platform/Error.h"

#include "platform/Utils.h"

#include <shellapi.h>
#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
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
    TComPtr<IShellLinkA> Link;
    HRESULT Result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, Link.put_void());
    if (FAILED(Result)) return Result;

    Link->SetArguments(Spec.Arguments.c_str());
    Link->SetShowCmd(Spec.ShowCmd);
    Link->SetWorkingDirectory(Spec.WorkingFolder.c_str());
    Link->SetPath(Spec.Target.c_str());
    Link->SetDescription(Spec.Description.c_str());
    Link->SetHotkey(Spec.HotKey);
    Link->SetIconLocation(Spec.IconFile.c_str(), Spec.IconIndex);

    TComPtr<IPersistFile> File;
    if (FAILED(Link->QueryInterface(IID_IPersistFile, File.put_void())))
        throw Exception("Interface not supported");

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

bool OpenFolderWindow(const std::string& Folder, HWND) {
    return DirectoryPresent(Folder) && ShellExecuteAsDesktop(Folder);
}

namespace {

// Each step hands back the next object or nothing.
template <class TInterface> bool Query(IUnknown* From, REFIID Id, TComPtr<TInterface>& Into) {
    return From && SUCCEEDED(From->QueryInterface(Id, Into.put_void())) && Into;
}

// The desktop's shell runs in Explorer's process, as the user who is logged
// on: asked through its own dispatch object, it starts a program with that
// user's rights, not with this (elevated) program's. None when there is no
// desktop (a service's session) or a step is refused.
TComPtr<IShellDispatch2> DesktopShell() {
    TComPtr<IShellWindows> Windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                IID_IShellWindows, Windows.put_void())) ||
        !Windows)
        return {};
    VARIANT Desktop{}, Empty{};
    Desktop.vt = VT_I4;
    Desktop.lVal = CSIDL_DESKTOP;
    Empty.vt = VT_EMPTY;
    long Window = 0;
    TComPtr<IDispatch> Dispatch;
    if (Windows->FindWindowSW(&Desktop, &Empty, SWC_DESKTOP, &Window, SWFO_NEEDDISPATCH,
                              Dispatch.put()) != S_OK ||
        !Dispatch)
        return {};
    TComPtr<IServiceProvider> Provider;
    if (!Query(Dispatch.get(), IID_IServiceProvider, Provider)) return {};
    TComPtr<IShellBrowser> Browser;
    if (FAILED(Provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                      Browser.put_void())) ||
        !Browser)
        return {};
    TComPtr<IShellView> View;
    if (FAILED(Browser->QueryActiveShellView(View.put())) || !View) return {};
    TComPtr<IDispatch> Background;
    if (FAILED(View->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, Background.put_void())) ||
        !Background)
        return {};
    TComPtr<IShellFolderViewDual> Dual;
    if (!Query(Background.get(), IID_IShellFolderViewDual, Dual)) return {};
    TComPtr<IDispatch> Application;
    if (FAILED(Dual->get_Application(Application.put())) || !Application) return {};
    TComPtr<IShellDispatch2> Shell;
    if (!Query(Application.get(), IID_IShellDispatch2, Shell)) return {};
    return Shell;
}

} // namespace

bool ShellExecuteAsDesktop(const std::string& Target) {
    const TComPtr<IShellDispatch2> Shell = DesktopShell();
    if (!Shell) return false;
    VARIANT Empty{};
    Empty.vt = VT_EMPTY;
    const int Size = MultiByteToWideChar(CP_ACP, 0, Target.c_str(), -1, nullptr, 0);
    if (Size <= 0) return false;
    std::wstring Wide(static_cast<std::size_t>(Size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, Target.c_str(), -1, Wide.data(), Size);
    const BSTR File = SysAllocString(Wide.c_str());
    if (!File) return false;
    VARIANT Show{};
    Show.vt = VT_I4;
    Show.lVal = SW_SHOWNORMAL;
    const HRESULT Result = Shell->ShellExecute(File, Empty, Empty, Empty, Show);
    SysFreeString(File);
    return SUCCEEDED(Result);
}
