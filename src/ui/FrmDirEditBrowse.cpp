#include "ui/FrmDirEditBrowse.h"
#include "platform/Error.h"
#include "platform/ScopeExit.h"

#include "ui/AppError.h"
#include "ui/CommonControls.h"
#include "ui/BrowseFolderDialog.h"
#include "ui/UiScale.h"

#include <commctrl.h>

namespace {

const char* const FrameClass = "MorvaneDirEditBrowse";

enum : int { IdCaption = 101, IdBevel, IdEdit, IdBrowse };

// The frame's own design, in design pixels.
namespace Design {
constexpr int Width = 319;
constexpr int Height = 46;
constexpr RECT Caption{8, 4, 8 + 280, 4 + 13};
constexpr RECT Bevel{0, 0, Width, 9};
constexpr RECT Edit{4, 20, 4 + 288, 20 + 21};
constexpr RECT Browse{295, 20, 295 + 21, 20 + 21};
} // namespace Design

HWND MakeChild(HWND Parent, const char* Class, const char* Text, DWORD Style, DWORD ExStyle,
               const RECT& Design, int Id) {
    HWND Wnd = CreateWindowExA(
        ExStyle, Class, Text, WS_CHILD | WS_VISIBLE | Style, UiScale(Design.left),
        UiScale(Design.top), UiScale(Design.right - Design.left),
        UiScale(Design.bottom - Design.top), Parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleA(nullptr), nullptr);
    if (!Wnd) throw Exception("A control of the directory frame could not be created");
    return Wnd;
}

RECT BoundsInParent(HWND Wnd) {
    RECT Bounds{};
    GetWindowRect(Wnd, &Bounds);
    MapWindowPoints(nullptr, GetParent(Wnd), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

} // namespace

TFrameDirEditBrowse::TFrameDirEditBrowse(HWND Parent, int Left, int Top, int Id) {
    static const bool CommonControls = (LoadCommonControls(), true);
    (void)CommonControls;
    // It paints its own background, in the colour of what it stands on.
    RegisterWindowClass(FrameClass, nullptr);
    CreateHandle(WS_EX_CONTROLPARENT, FrameClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                 RECT{UiScale(Left), UiScale(Top), UiScale(Left) + UiScale(Design::Width),
                      UiScale(Top) + UiScale(Design::Height)},
                 Parent, Id);
    RECT Client{};
    GetClientRect(Handle(), &Client);
    FWidth = Client.right;
    FHeight = Client.bottom;

    // Creation order is tab order: the caption's accelerator leads to the edit
    // box. A control that cannot be made ends the constructor, and the window
    // base destroys the frame.
    FLblCaption = MakeChild(Handle(), "STATIC", "", SS_LEFT, 0, Design::Caption, IdCaption);
    FBevel = MakeChild(Handle(), "STATIC", "", SS_OWNERDRAW, 0, Design::Bevel, IdBevel);
    FEditDirectory = MakeChild(Handle(), "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                               Design::Edit, IdEdit);
    FBtnDirBrowse = MakeChild(Handle(), "BUTTON", "...", WS_TABSTOP | BS_PUSHBUTTON, 0,
                              Design::Browse, IdBrowse);
    // Ours sees the edit box's messages first (a double click browses).
    SubclassWindow(FEditDirectory, &EditProc, 0, reinterpret_cast<DWORD_PTR>(this));

    FTooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (FTooltip) {
        TTTOOLINFOA Tool{};
        Tool.cbSize = TTTOOLINFOA_V1_SIZE;
        Tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        Tool.hwnd = Handle();
        Tool.uId = reinterpret_cast<UINT_PTR>(FBtnDirBrowse);
        Tool.lpszText = const_cast<char*>("Browse...");
        SendMessageA(FTooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&Tool));
    }
    SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

TFrameDirEditBrowse::~TFrameDirEditBrowse() {
    // The tooltip is a popup owned by the top-level window, which outlives us.
    if (FTooltip) DestroyWindow(FTooltip);
}

void TFrameDirEditBrowse::SetFont(HFONT Font) {
    for (HWND Wnd : {FLblCaption, FEditDirectory, FBtnDirBrowse})
        SendMessageA(Wnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font), TRUE);
}

void TFrameDirEditBrowse::SetBounds(HWND Control, int Left, int Top, int Width, int Height) {
    RECT Now = BoundsInParent(Control);
    int X = Left >= 0 ? UiScale(Left) : Now.left;
    int Y = Top >= 0 ? UiScale(Top) : Now.top;
    int W = Width >= 0 ? UiScale(Width) : Now.right - Now.left;
    int H = Height >= 0 ? UiScale(Height) : Now.bottom - Now.top;
    MoveWindow(Control, X, Y, W, H, TRUE);
}

void TFrameDirEditBrowse::BtnDirBrowseClick() {
    if (FBrowsing) return;
    FBrowsing = true;
    const TScopeExit NotBusy([this] { FBrowsing = false; });
    std::string Dir = ControlText(FEditDirectory);
    if (BrowseForDirectory(Dir) && !Dir.empty()) SetWindowTextA(FEditDirectory, Dir.c_str());
}

bool TFrameDirEditBrowse::BrowseForDirectory(std::string& Dir) {
    TBrowseFolderDialog Dialog;
    Dialog.DialogText = "Please select the directory below:";
    Dialog.FolderName = Dir;
    bool Result = Dialog.Execute();
    if (Result) Dir = Dialog.FolderName;
    return Result;
}

void TFrameDirEditBrowse::Resized(int Width, int Height) {
    // Anchors: the edit box and the separator keep their right margin by
    // growing, the button keeps it by moving.
    int Grow = Width - FWidth;
    FWidth = Width;
    FHeight = Height;
    if (Grow == 0 || !FBtnDirBrowse) return;
    for (HWND Wnd : {FBevel, FEditDirectory}) {
        RECT R = BoundsInParent(Wnd);
        MoveWindow(Wnd, R.left, R.top, R.right - R.left + Grow, R.bottom - R.top, TRUE);
    }
    RECT R = BoundsInParent(FBtnDirBrowse);
    MoveWindow(FBtnDirBrowse, R.left + Grow, R.top, R.right - R.left, R.bottom - R.top, TRUE);
}

LRESULT TFrameDirEditBrowse::HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
    switch (Msg) {
    case WM_COMMAND:
        if (LOWORD(WParam) == IdBrowse && HIWORD(WParam) == BN_CLICKED) {
            BtnDirBrowseClick();
            return 0;
        }
        break;
    case WM_SIZE:
        Resized(LOWORD(LParam), HIWORD(LParam));
        return 0;
    case WM_DRAWITEM: {
        auto* Item = reinterpret_cast<DRAWITEMSTRUCT*>(LParam);
        if (Item->hwndItem != FBevel) break;
        // The separator is a single etched line along the top; below the
        // line it paints nothing, as the caption may stand there.
        RECT Line = Item->rcItem;
        Line.bottom = Line.top + 2;
        FillRect(Item->hDC, &Line,
                 reinterpret_cast<HBRUSH>(SendMessageA(GetParent(Handle()), WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(Item->hDC),
                                                       reinterpret_cast<LPARAM>(FBevel))));
        DrawEdge(Item->hDC, &Line, EDGE_ETCHED, BF_TOP);
        return TRUE;
    }
    case WM_ERASEBKGND: {
        // The frame takes the colour of whatever it stands on.
        HDC DC = reinterpret_cast<HDC>(WParam);
        auto Brush = reinterpret_cast<HBRUSH>(SendMessageA(
            GetParent(Handle()), WM_CTLCOLORSTATIC, WParam, reinterpret_cast<LPARAM>(Handle())));
        RECT Client{};
        GetClientRect(Handle(), &Client);
        FillRect(DC, &Client, Brush ? Brush : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return SendMessageA(GetParent(Handle()), Msg, WParam, LParam);
    case WM_DESTROY:
        // The tooltip is a popup owned by the top-level window; it goes with the frame.
        if (FTooltip) DestroyWindow(FTooltip);
        FTooltip = nullptr;
        break;
    }
    return Default(Msg, WParam, LParam);
}

LRESULT CALLBACK TFrameDirEditBrowse::EditProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam,
                                               UINT_PTR, DWORD_PTR Data) {
    auto* Self = reinterpret_cast<TFrameDirEditBrowse*>(Data);
    if (Msg == WM_NCDESTROY) RemoveSubclass(Wnd, &EditProc, 0);
    LRESULT Result = DefSubclass(Wnd, Msg, WParam, LParam);
    if (Msg == WM_LBUTTONDBLCLK) {
        try {
            Self->EditDirectoryDblClick();
        } catch (...) {
            ReportCurrentException();
        }
    }
    return Result;
}
