#pragma once
// The setup wizard as a user meets it: started from its folder, its pages
// told apart by what they show, its buttons pressed, its outcome read.

#include "e2e/UiDriver.h"

#include "data/Product.h"

#include <initializer_list>
#include <string>

namespace e2e {

// Texts the wizard shows, exactly as the user reads them; those that name
// the product are made from its definition.
namespace Texts {
inline std::string Named(const char* Before, const char* After) {
    return Before + std::string(Product.Name) + After;
}
inline const std::string Caption = Named("", " Installer");
inline constexpr const char* Back = "< &Back";
inline constexpr const char* Next = "&Next >";
inline constexpr const char* FinishButton = "&Finish";
inline constexpr const char* Cancel = "Cancel";
inline constexpr const char* SaveLog = "Save Setup Log...";
inline constexpr const char* Agree = "Yes, I accept this agreement";
inline const std::string VisitWeb = std::string("Visit ") + Product.ShortName + " web site";
inline const std::string Reinstall = Named("Reinstall ", "");
inline const std::string Uninstall = Named("Uninstall ", "");
inline const std::string RepairLabel = Named("Repare ", " installation.");
inline const std::string UninstallLabel = Named("Delete ", " from this computer.");
inline constexpr const char* WelcomeLead =
    "Click Next to continue the installation or click Cancel to quit the setup program.";
inline constexpr const char* LicenseHint = "Press PAGE DOWN key to see the rest of the agreement.";
inline const std::string DestinationLead =
    Named("Setup will install ", " component in the following folder.");
inline constexpr const char* FolderLabel = "Program Folder:";
inline constexpr const char* ExistingFolders = "Existing folders:";
inline constexpr const char* Progress = "Installation progress:";
inline constexpr const char* Browse = "Browse...";
inline const std::string InstallSubtitle =
    Named("This wizard will install the ", " component on your computer.");
inline const std::string Installed =
    Product.EditionName + std::string(" Setup is installed successfully");
inline const std::string InstalledWithErrors =
    Product.EditionName + std::string(" Setup completed with errors. You can save and view Setup "
                                      "Log for additional information.");
inline const std::string Cancelled =
    Product.EditionName +
    std::string(" Setup was cancelled. Nothing was changed on your computer.");
inline const std::string Uninstalled =
    Product.EditionName + std::string(" Setup is now completely uninstalled from your computer");
inline const std::string UninstalledWithErrors =
    Product.EditionName + std::string(" uninstall completed with errors. You can save and view "
                                      "Setup Log for additional information.");
inline const std::string DefaultLogName = Product.ShortName + std::string(" Build.log");
} // namespace Texts

// A word that must show nowhere: set (MORVANE_E2E_FORBIDDEN) when the setup
// program of another product is walked, to the sample product's name. Text
// fails Step when it holds the word; Work (the flow's folder, whose path is
// the machine's) is left out of the search.
void ExpectNotNamed(std::string Text, const std::string& Work, const std::string& Step);

enum class TPage { None, Welcome, Maintenance, License, Destination, Folder, Compile, Finish };

const char* PageName(TPage Page);

// Numbered screenshots of one flow: NN-<name>.bmp in one folder.
class TShots {
public:
    explicit TShots(std::string Folder) : FFolder(std::move(Folder)), FStarted(GetTickCount()) {}
    // Settle: give the page a moment to paint first.
    void Take(const std::string& Name, bool Settle = true);

private:
    std::string FFolder;
    int FCount = 0;
    DWORD FStarted;
};

class TInstaller {
public:
    // Starts Exe (MorvaneSetup.exe of a distribution folder) with that folder
    // as its current folder, and waits for its main window.
    // With Args, the command line's arguments. The window may belong to a
    // copy the program hands over to: then it is found by its caption.
    TInstaller(const std::string& Exe, const std::string& Folder, TShots& Shots,
               const std::string& Args = "");
    ~TInstaller();

    HWND Window() const { return FWindow; }
    TProcess& Process() { return FProcess; }

    TPage CurrentPage();
    // Waits for one of Pages; fails the step when the program shows a dialog,
    // ends, or stays elsewhere. Photographs the page it arrives at.
    TPage WaitPage(std::initializer_list<TPage> Pages, DWORD Ms, const std::string& Step,
                   bool Photograph = true);
    // WaitPage for one page, then checks the buttons the page shows.
    void Expect(TPage Page, const std::string& Step, DWORD Ms = 20000, bool Photograph = true);

    HWND Control(TKind Kind, const std::string& Text, const std::string& Step);
    bool ButtonShown(const std::string& Caption);
    void Press(const std::string& Caption, const std::string& Step, bool Wait = true);
    // The visible label whose text starts with Prefix, or nullptr.
    HWND LabelStartingWith(const std::string& Prefix);
    // The one visible single-line edit of the page.
    HWND SingleEdit(const std::string& Step);

    std::string FinishText(const std::string& Step);
    // The progress page's output view; remembered when the page was seen.
    std::string OutputText(const std::string& Step);

    // Saves the setup log through the save dialog into Path. Returns the
    // file name the dialog offered before anything was typed.
    std::string SaveLog(const std::string& Path, const std::string& Step);

    // A visible dialog of the program other than the main window, or nullptr.
    HWND Dialog(HWND Except = nullptr);
    // Waits for a message box, presses its button Button ("OK", "&Yes", "&No")
    // and returns the message it showed.
    std::string AnswerMessage(const std::string& Button, const std::string& Step);
    // Waits for the program to end; fails unless it ends with ExitCode.
    void ExpectEnd(DWORD ExitCode, DWORD Ms, const std::string& Step);

    void Shot(const std::string& Name) { FShots.Take(Name); }

private:
    void CheckAlive(const std::string& Step);
    void CheckButtons(TPage Page, const std::string& Step);

    TProcess FProcess;
    TShots& FShots;
    HWND FWindow = nullptr;
    DWORD FWindowPid = 0;
    HWND FOutput = nullptr;
    bool FPageSeen = false;
};

} // namespace e2e
