#pragma once
// Drives another process's windows the way a user would: finds windows and
// controls by class and text, presses only what is visible and enabled,
// types character by character, reads texts, and photographs the screen.

#include "platform/Owners.h"
#include "support/System.h"
#include "support/Ui.h"

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace e2e {

// A failed step of a flow; the message names the step and what was seen.
class TStepFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& Step, const std::string& Seen);

// A child process we started; a process still running when its owner goes
// away is terminated, so a failed flow never leaves an installer behind.
class TProcess : public TChildProcess {
public:
    // Fails the step when the program cannot be started.
    TProcess(const std::string& Exe, const std::string& Args, const std::string& Dir,
             HANDLE StdIn = nullptr, HANDLE StdOut = nullptr);
};

// Kinds of child control a flow asks for.
enum class TKind { PushButton, CheckBox, RadioButton, Label, Edit, MultiLineEdit, ListBox, Any };

const char* KindName(TKind Kind);

TKind KindOf(HWND Window);

// The visible descendant of Top of this kind whose text is Text; nullptr when
// there is none. Two visible matches are a failure: a user could not tell
// which one is meant.
HWND FindVisible(HWND Top, TKind Kind, const std::string& Text);

// Like FindVisible, but fails the step when nothing matches.
HWND RequireVisible(HWND Top, TKind Kind, const std::string& Text, const std::string& Step);

// All visible descendants of this kind.
std::vector<HWND> AllVisible(HWND Top, TKind Kind);

// One line per visible control ("Button 'Cancel' disabled"), for failure reports.
std::string DescribeVisible(HWND Top);

// Presses a push button, check box or radio button with BM_CLICK, after
// checking that a user could press it at all. Waits a moment for the click
// to be handled, but not for what it starts (a modal dialog, a long
// procedure); with Wait false it does not wait at all.
void Click(HWND Control, const std::string& Step, bool Wait = true);

// A real mouse click at the middle of Control, for controls that have no
// click message of their own (labels). Fails when another window covers it.
void MouseClick(HWND Control, const std::string& Step);

// Replaces the text of an edit as typing does: select all, then one
// WM_CHAR per character (Backspace for an empty text), so the owner sees
// every change. Fails when the edit does not end up holding Text.
void TypeText(HWND Edit, const std::string& Text, const std::string& Step);

bool IsChecked(HWND Control);

// The text of a message box (its static text control), or of any dialog.
std::string DialogText(HWND Dialog);

} // namespace e2e
