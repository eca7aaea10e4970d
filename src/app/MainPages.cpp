#include "app/MainPages.h"

#include <commctrl.h>

using enum TMainControl;
using enum TMainPage;
using enum TControlFont;

namespace {

constexpr DWORD LabelStyle = SS_LEFT | SS_NOPREFIX;
constexpr DWORD RadioButton = BS_AUTORADIOBUTTON;
constexpr DWORD CheckBox = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD Boxed = WS_BORDER | WS_TABSTOP;
constexpr const char* TProductDefinition::*ProductName = &TProductDefinition::Name;

constexpr TWizardButtonSet InteriorButtons{bkBack, bkNext, bkCancel};
constexpr TText WelcomeTitle{"Welcome to the ", ProductName, " Installation Wizard"};
constexpr const char* ContinueText =
    "Click Next to continue the installation or click Cancel to quit the setup program.";
constexpr TText Intro{ContinueText, &TProductDefinition::LegalNotice};
constexpr TText Description{"", &TProductDefinition::Description};

// One row a page. wUpdatePage's subtitle gets its versions when the pages
// are set up (InitPages).
// clang-format off
constexpr TPageSpec PageTable[] = {
    {wInstallPage, true, WelcomeTitle, {"This wizard will install the ", ProductName, " component on your computer."}, {bkNext, bkCancel}, 390},
    {wUpdatePage, true, WelcomeTitle, {"This wizard will update the ", ProductName, " component version %s currently installed on your computer with newer version %s."}, {bkNext, bkCancel}, 390},
    {wMainternance, false, {"", ProductName, " maintenance"}, {"Select the maintanance operation to perform"}, {bkNext, bkCancel}, 0},
    {wLicensePage, false, {"License agreement"}, {"Please read the following license agreement carefully."}, InteriorButtons, 0},
    {wDestinationPage, false, {"Destination Folder"}, {"Select a folder where the component will be installed."}, InteriorButtons, 0},
    {wFolder, false, {"Select program folder"}, {"Please select a Program Folder"}, InteriorButtons, 0},
    {wCompile, false, {"Copying files"}, {"", ProductName, " component files will be copied in the specified folder."}, {bkNext, bkCancel}, 0},
    {wFinish, false, {"Installation completed"}, {"", ProductName, " Setup is now complete"}, {bkFinish}, 331},
};
// clang-format on

// One row a control. The maintenance page's two radio buttons form one group
// on their own, so that the arrow keys move between them (and select them);
// the labels come after them and start a group of their own. The
// destination page's edit box and button follow its labels (the directory
// frame). The progress view is read-only and without ES_WANTRETURN: Enter
// inserts no line.
// clang-format off
constexpr TControlSpec ControlTable[] = {
    {wInstallPage, lInstall, "STATIC", Intro, LabelStyle, 20, 0, 340, 150},
    {wInstallPage, Label1, "STATIC", Description, LabelStyle, 20, 176, 340, 76},
    {wUpdatePage, Label2, "STATIC", Intro, LabelStyle, 20, 0, 340, 150},
    {wUpdatePage, Label11, "STATIC", Description, LabelStyle, 20, 176, 340, 76},
    {wMainternance, rbMainternance, "BUTTON", {"Reinstall ", ProductName}, RadioButton | WS_TABSTOP | WS_GROUP, 40, 24, 440, 22, Radio},
    {wMainternance, rbUninstall, "BUTTON", {"Uninstall ", ProductName}, RadioButton, 40, 88, 440, 22, Radio},
    {wMainternance, Label10, "STATIC", {"Repare ", ProductName, " installation."}, LabelStyle | SS_NOTIFY | WS_GROUP, 58, 48, 420, 16},
    {wMainternance, Label12, "STATIC", {"Delete ", ProductName, " from this computer."}, LabelStyle | SS_NOTIFY, 58, 112, 420, 16},
    {wLicensePage, Label3, "STATIC", {"Press PAGE DOWN key to see the rest of the agreement."}, LabelStyle, 20, 8, 500, 16},
    {wLicensePage, mLicense, "EDIT", {"", &TProductDefinition::License}, Boxed | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 20, 28, 500, 244},
    {wLicensePage, cbAgree, "BUTTON", {"Yes, I accept this agreement"}, CheckBox, 20, 282, 400, 20, Bold},
    {wDestinationPage, Label6, "STATIC", {"Setup will install ", ProductName, " component in the following folder."}, LabelStyle, 20, 10, 500, 32},
    {wDestinationPage, Label7, "STATIC", {"To install to this folder, click Next. To install to a different folder, click Browse and select another folder."}, LabelStyle, 20, 46, 500, 32},
    {wFolder, Label8, "STATIC", {"Setup will add program icons to the Program Folder listed below. You may type a new folder name, or select one from existing folders list. Click Next to continue."}, LabelStyle, 20, 6, 500, 50},
    {wFolder, Label13, "STATIC", {"Program Folder:"}, LabelStyle, 20, 60, 200, 16},
    {wFolder, eFolder, "EDIT", {""}, Boxed | ES_AUTOHSCROLL, 20, 78, 500, 21},
    {wFolder, Label14, "STATIC", {"Existing folders:"}, LabelStyle, 20, 106, 200, 16},
    {wFolder, lFolders, "LISTBOX", {""}, Boxed | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 20, 124, 500, 196},
    {wCompile, Label9, "STATIC", {"Installation progress:"}, LabelStyle, 20, 8, 500, 16},
    {wCompile, mOutput, "EDIT", {""}, WS_BORDER | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 20, 28, 500, 262},
    {wCompile, pbProgress, "msctls_progress32", {""}, PBS_SMOOTH, 20, 298, 500, 16},
    {wFinish, lFinishResult, "STATIC", {"", &TProductDefinition::EditionName, " Setup is now complete"}, LabelStyle, 20, 20, 336, 64},
    {wFinish, bFinishSaveLog, "BUTTON", {"Save Setup Log..."}, BS_PUSHBUTTON | WS_TABSTOP, 236, 96, 120, 25},
    {wFinish, cbVisitWeb, "BUTTON", {"Visit ", &TProductDefinition::ShortName, " web site"}, CheckBox, 20, 220, 300, 20},
};
// clang-format on

} // namespace

std::string TextOf(const TText& Text) {
    std::string Result = Text.Before;
    if (Text.Middle) Result += Product.*(Text.Middle);
    return Result + Text.After;
}

std::span<const TPageSpec> MainPageTable() {
    return PageTable;
}

std::span<const TControlSpec> MainControlTable() {
    return ControlTable;
}
