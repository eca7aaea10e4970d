#pragma once
// A caption, a separator line, an edit box holding a directory path and a
// browse button that picks the path in the folder-browse dialog. Owners read
// and write the path as the text of EditDirectory; typed text is never
// checked or changed.

#include "ui/Window.h"

#include <windows.h>

#include <string>

class TFrameDirEditBrowse : public TWindow {
public:
    // Made with its own design layout (319 x 46 design pixels) at the given
    // place of the parent's client area (design pixels as well).
    TFrameDirEditBrowse(HWND Parent, int Left, int Top, int Id = 0);
    ~TFrameDirEditBrowse() override;

    HWND LblCaption() const { return FLblCaption; }
    HWND Bevel() const { return FBevel; }
    HWND EditDirectory() const { return FEditDirectory; }
    HWND BtnDirBrowse() const { return FBtnDirBrowse; }
    HWND Tooltip() const { return FTooltip; }

    // Moves the frame or one of its children, in design pixels; a negative
    // value keeps the current one. The edit box and the separator grow with
    // the frame, the button keeps its distance to the frame's right edge.
    void SetBounds(HWND Control, int Left, int Top, int Width, int Height);
    void SetFont(HFONT Font);

    // Browse: ignored while a browse runs; puts a chosen folder into the edit
    // box. Errors of the dialog travel on to the caller, the edit box keeping
    // its text.
    void BtnDirBrowseClick();
    // Behaves exactly like a click on the browse button.
    void EditDirectoryDblClick() { BtnDirBrowseClick(); }
    // Shows the dialog for Dir; true when Dir now holds the chosen folder.
    bool BrowseForDirectory(std::string& Dir);
    // True while a browse runs: a second click or double click does nothing.
    bool Busy() const { return FBrowsing; }

protected:
    LRESULT HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    static LRESULT CALLBACK EditProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR,
                                     DWORD_PTR Data);
    void Resized(int Width, int Height);

    HWND FLblCaption = nullptr;
    HWND FBevel = nullptr;
    HWND FEditDirectory = nullptr;
    HWND FBtnDirBrowse = nullptr;
    HWND FTooltip = nullptr;
    int FWidth = 0; // client size at the last resize, for the anchors
    int FHeight = 0;
    bool FBrowsing = false; // the browse dialog is open
};
