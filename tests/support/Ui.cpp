#include "support/Ui.h"

#include "platform/Owners.h"
#include "support/Files.h"

#include <cstring>
#include <utility>

std::string ClassName(HWND Window) {
    char Name[256] = "";
    GetClassNameA(Window, Name, sizeof Name);
    return Name;
}

namespace {

bool IsEditClass(const std::string& Class) {
    return lstrcmpiA(Class.c_str(), "Edit") == 0 || _strnicmp(Class.c_str(), "RichEdit", 8) == 0;
}

BOOL CALLBACK CollectTop(HWND Window, LPARAM Param) {
    auto& Search = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(Param);
    DWORD Owner = 0;
    GetWindowThreadProcessId(Window, &Owner);
    if (Owner == Search.first && IsWindowVisible(Window)) Search.second.push_back(Window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND Window, LPARAM Param) {
    reinterpret_cast<std::vector<HWND>*>(Param)->push_back(Window);
    return TRUE;
}

} // namespace

std::string WindowText(HWND Window) {
    // Captions of labels and buttons are kept by the window manager and read
    // without a message, so a busy program never stalls the reader. An edit
    // keeps its text itself and has to be asked.
    if (!IsEditClass(ClassName(Window))) {
        std::vector<char> Caption(GetWindowTextLengthA(Window) + 2, '\0');
        GetWindowTextA(Window, Caption.data(), static_cast<int>(Caption.size()));
        return Caption.data();
    }
    DWORD_PTR Length = 0;
    if (!SendMessageTimeoutA(Window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &Length))
        return "<no answer>";
    std::vector<char> Buffer(Length + 2, '\0');
    DWORD_PTR Copied = 0;
    SendMessageTimeoutA(Window, WM_GETTEXT, Buffer.size(), reinterpret_cast<LPARAM>(Buffer.data()),
                        SMTO_ABORTIFHUNG, 5000, &Copied);
    return std::string(Buffer.data(), std::strlen(Buffer.data()));
}

std::vector<HWND> TopWindows(DWORD Pid) {
    std::pair<DWORD, std::vector<HWND>> Search{Pid, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&Search));
    return Search.second;
}

HWND FindTopWindow(DWORD Pid, const std::string& Caption, const char* Class) {
    for (HWND Window : TopWindows(Pid))
        if (WindowText(Window) == Caption && (!Class || ClassName(Window) == Class)) return Window;
    return nullptr;
}

std::vector<HWND> Descendants(HWND Parent) {
    std::vector<HWND> Found;
    EnumChildWindows(Parent, CollectChild, reinterpret_cast<LPARAM>(&Found));
    return Found;
}

void PumpMessages() {
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }
}

bool SaveScreenshot(const std::string& FileName) {
    const int Width = GetSystemMetrics(SM_CXSCREEN);
    const int Height = GetSystemMetrics(SM_CYSCREEN);
    const TWindowDc Screen(GetDC(nullptr));
    const TMemoryDc Memory(CreateCompatibleDC(Screen.get()));
    const TGdiObject<HBITMAP> Bitmap(CreateCompatibleBitmap(Screen.get(), Width, Height));
    if (!Screen || !Memory || !Bitmap) return false;
    HGDIOBJ Old = SelectObject(Memory.get(), Bitmap.get());
    BitBlt(Memory.get(), 0, 0, Width, Height, Screen.get(), 0, 0, SRCCOPY | CAPTUREBLT);
    SelectObject(Memory.get(), Old);

    BITMAPINFOHEADER Header{};
    Header.biSize = sizeof Header;
    Header.biWidth = Width;
    Header.biHeight = Height;
    Header.biPlanes = 1;
    Header.biBitCount = 24;
    Header.biCompression = BI_RGB;
    const DWORD Stride = (Width * 3 + 3) & ~3u;
    Header.biSizeImage = Stride * Height;
    std::string Pixels(Header.biSizeImage, '\0');
    GetDIBits(Memory.get(), Bitmap.get(), 0, Height, Pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&Header), DIB_RGB_COLORS);

    BITMAPFILEHEADER File{};
    File.bfType = 0x4D42;
    File.bfOffBits = sizeof File + sizeof Header;
    File.bfSize = File.bfOffBits + Header.biSizeImage;
    return WriteWholeFile(
        FileName, std::string(reinterpret_cast<const char*>(&File), sizeof File) +
                      std::string(reinterpret_cast<const char*>(&Header), sizeof Header) + Pixels);
}
