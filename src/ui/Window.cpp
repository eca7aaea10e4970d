#include "ui/Window.h"

#include "platform/OsError.h"
#include "ui/AppError.h"

namespace {

const char* const OriginalProcProp = "MorvaneOriginalProc";

LRESULT CALLBACK PassingDialogKeysProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto Original = reinterpret_cast<WNDPROC>(GetPropA(Wnd, OriginalProcProp));
    if (Msg == WM_NCDESTROY) {
        RemovePropA(Wnd, OriginalProcProp);
        SetWindowLongPtrA(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Original));
    }
    LRESULT Result = CallWindowProcA(Original, Wnd, Msg, WParam, LParam);
    if (Msg == WM_GETDLGCODE)
        Result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE |
                                        DLGC_HASSETSEL);
    return Result;
}

} // namespace

void PassDialogKeys(HWND Edit) {
    SetPropA(Edit, OriginalProcProp,
             reinterpret_cast<HANDLE>(SetWindowLongPtrA(
                 Edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PassingDialogKeysProc))));
}

TWindow::~TWindow() {
    DestroyHandle();
}

void TWindow::RegisterWindowClass(const char* Name, HBRUSH Background, UINT Style, HICON Icon,
                                  HICON SmallIcon) {
    WNDCLASSEXA Existing{};
    Existing.cbSize = sizeof Existing;
    if (GetClassInfoExA(GetModuleHandleA(nullptr), Name, &Existing)) return;
    WNDCLASSEXA Class{};
    Class.cbSize = sizeof Class;
    Class.style = Style;
    Class.lpfnWndProc = &WindowProc;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    Class.hbrBackground = Background;
    Class.hIcon = Icon;
    Class.hIconSm = SmallIcon;
    Class.lpszClassName = Name;
    if (!RegisterClassExA(&Class)) RaiseLastOSError("Registering the window class", Name);
}

void TWindow::CreateHandle(DWORD ExStyle, const char* Class, const char* Text, DWORD Style,
                           const RECT& Bounds, HWND Parent, int Id) {
    HWND Wnd = CreateWindowExA(ExStyle, Class, Text, Style, Bounds.left, Bounds.top,
                               Bounds.right - Bounds.left, Bounds.bottom - Bounds.top, Parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
                               GetModuleHandleA(nullptr), this);
    if (!Wnd) RaiseLastOSError("Creating the window", Class);
}

void TWindow::DestroyHandle() {
    if (!FHandle) return;
    HWND Wnd = FHandle;
    SetWindowLongPtrA(Wnd, GWLP_USERDATA, 0);
    FHandle = nullptr;
    DestroyWindow(Wnd);
}

LRESULT TWindow::HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
    return Default(Msg, WParam, LParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_NCCREATE) {
        auto* Self =
            static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTA*>(LParam)->lpCreateParams);
        Self->FHandle = Wnd;
        SetWindowLongPtrA(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
    }
    auto* Self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
    if (!Self) return DefWindowProcA(Wnd, Msg, WParam, LParam);
    if (Msg == WM_NCDESTROY) {
        // The last message: from here on the object may go at any time.
        SetWindowLongPtrA(Wnd, GWLP_USERDATA, 0);
        Self->FHandle = nullptr;
        return DefWindowProcA(Wnd, Msg, WParam, LParam);
    }
    try {
        return Self->HandleMessage(Msg, WParam, LParam);
    } catch (...) {
        ReportCurrentException();
        return 0;
    }
}

std::string ControlText(HWND Wnd) {
    // The program's own controls: the messages are what GetWindowText sends.
    auto Length = static_cast<int>(SendMessageA(Wnd, WM_GETTEXTLENGTH, 0, 0));
    std::string Text(static_cast<size_t>(Length) + 1, '\0');
    Length = static_cast<int>(
        SendMessageA(Wnd, WM_GETTEXT, Length + 1, reinterpret_cast<LPARAM>(Text.data())));
    Text.resize(static_cast<size_t>(Length > 0 ? Length : 0));
    return Text;
}
