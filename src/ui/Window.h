#pragma once
// The one way a window of ours is tied to its object. The class is
// registered with TWindow's own window procedure; the object comes in with
// CreateWindowEx's creation parameter and is attached at WM_NCCREATE, so it
// sees every message from the first one on, and detached at WM_NCDESTROY.
// Errors must not unwind through the system's window code: the procedure
// catches what a handler raises and hands it to the general error report.
//
// How the window layer (src/ui) reports failures: building a window or a
// control raises (EOSError) when the system refuses it, and the builder
// releases what it made first; handlers raise like any code, and the
// window procedure shows their message (AppError.h). Nothing raises into
// the system's window code.

#include <windows.h>

#include <string>

// Makes a read-only multi-line text box behave as in a dialog: Tab,
// Shift+Tab, Enter and Escape go on to the dialog keys (the next control,
// the default button, Cancel) instead of into the box, which otherwise takes
// every key; arrows and Page Up/Down still scroll it. Tabbing into it no
// longer selects all its text.
void PassDialogKeys(HWND Edit);

// The text of a window or control.
std::string ControlText(HWND Wnd);

class TWindow {
public:
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const { return FHandle; }

    // Registers a class of ours, with the procedure below, once per
    // process; later calls for the same name do nothing. Raises EOSError
    // when the system refuses.
    static void RegisterWindowClass(const char* Name, HBRUSH Background, UINT Style = 0,
                                    HICON Icon = nullptr, HICON SmallIcon = nullptr);

protected:
    TWindow() = default;
    // A window still alive is detached, then destroyed: the messages of its
    // destruction no longer reach the object, which is half gone by now.
    virtual ~TWindow();

    // Creates the window of this object; raises EOSError on failure. Id is
    // the control id of a child window.
    void CreateHandle(DWORD ExStyle, const char* Class, const char* Text, DWORD Style,
                      const RECT& Bounds, HWND Parent, int Id = 0);
    // Detaches the object and destroys its window, if there is one.
    void DestroyHandle();

    // Messages of the window; whatever is not handled goes to Default.
    virtual LRESULT HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam);
    LRESULT Default(UINT Msg, WPARAM WParam, LPARAM LParam) const {
        return DefWindowProcA(FHandle, Msg, WParam, LParam);
    }

private:
    static LRESULT CALLBACK WindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

    HWND FHandle = nullptr;
};
