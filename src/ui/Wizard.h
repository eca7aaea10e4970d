#pragma once
// The wizard page container: an ordered list of pages of which one is shown,
// a header on each page and a button bar along the bottom. Built from
// standard child windows: each page is a container window its owner fills
// with ordinary controls, and the buttons are ordinary push buttons.
//
// Keyboard: the owner's message loop calls IsDialogMessage on the top-level
// window, which routes Enter and Escape to that window as DM_GETDEFID and
// WM_COMMAND messages; its window procedure passes them to
// TWizard::HandleDialogMessage first.

#include "platform/Owners.h"
#include "ui/Window.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

enum TWizardButtonKind { bkStart, bkLast, bkBack, bkNext, bkFinish, bkCancel, bkHelp };

// A set of button kinds, one bit per kind in the order of TWizardButtonKind.
class TWizardButtonSet {
public:
    constexpr TWizardButtonSet() = default;
    constexpr TWizardButtonSet(std::initializer_list<TWizardButtonKind> Kinds) {
        for (TWizardButtonKind Kind : Kinds)
            Include(Kind);
    }
    static constexpr TWizardButtonSet All() {
        return {bkStart, bkLast, bkBack, bkNext, bkFinish, bkCancel, bkHelp};
    }
    constexpr bool Contains(TWizardButtonKind Kind) const { return (FBits & Bit(Kind)) != 0; }
    constexpr void Include(TWizardButtonKind Kind) { FBits |= Bit(Kind); }
    constexpr void Exclude(TWizardButtonKind Kind) { FBits &= ~Bit(Kind); }
    constexpr std::uint8_t Bits() const { return FBits; }
    constexpr bool operator==(const TWizardButtonSet&) const = default;

private:
    static constexpr std::uint8_t Bit(TWizardButtonKind Kind) {
        return static_cast<std::uint8_t>(1u << Kind);
    }
    std::uint8_t FBits = 0;
};

class TWizard;
class TWizardCustomPage;

// One line of header text; setting it redraws the header at once.
class TWizardPageTitle {
public:
    explicit TWizardPageTitle(TWizardCustomPage& Page) : FPage(Page) {}
    const std::string& Text() const { return FText; }
    void SetText(const std::string& Text);

private:
    TWizardCustomPage& FPage;
    std::string FText;
};

struct TWizardPageHeader {
    explicit TWizardPageHeader(TWizardCustomPage& Page) : Title(Page), Subtitle(Page) {}
    TWizardPageTitle Title;
    TWizardPageTitle Subtitle;
};

// Sender, and the page being left (for OnEnterPage) or entered (for
// OnExitPage); either may be none.
using TWizardChangePageEvent =
    std::function<void(TWizardCustomPage* Sender, TWizardCustomPage* Page)>;
using TWizardPageEvent = std::function<void(TWizardCustomPage* Sender)>;
// Setting Stop cancels the rest of the button press.
using TWizardPageClickEvent = std::function<void(TWizardCustomPage* Sender, bool& Stop)>;

// Base of every page. Pages are made and owned by their wizard. The page's
// window (Handle) is a container: the owner creates the page's controls as
// its children. WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM and
// scroll messages of those controls go on to the wizard's parent window.
class TWizardCustomPage : public TWindow {
public:
    ~TWizardCustomPage() override;

    TWizard& Wizard() const { return FWizard; }
    int PageIndex() const;
    // The part of the page below (and beside) the header and picture, in the
    // page's client coordinates: the room for the owner's controls.
    virtual RECT ClientRect() const = 0;

    bool Enabled() const { return FEnabled; }
    // A disabled page is skipped by navigation; disabling the active page
    // moves to the next enabled page, else the previous one, else to none.
    void SetEnabled(bool Value);

    TWizardPageHeader Header{*this};

    TWizardButtonSet EnabledButtons() const { return FEnabledButtons; }
    void SetEnabledButtons(TWizardButtonSet Value);
    TWizardButtonSet VisibleButtons() const { return FVisibleButtons; }
    void SetVisibleButtons(TWizardButtonSet Value);
    void SetButtonEnabled(TWizardButtonKind Kind, bool Value);

    // The page takes ownership of the bitmap; it is drawn stretched into a
    // strip PictureWidth design pixels wide along the page's left side.
    void SetPicture(HBITMAP Picture);
    bool HasPicture() const { return static_cast<bool>(FPicture); }
    int PictureWidth() const { return FPictureWidth; }
    void SetPictureWidth(int DesignPixels);

    TWizardChangePageEvent OnEnterPage;
    TWizardChangePageEvent OnExitPage;
    TWizardPageEvent OnPage;
    TWizardPageClickEvent OnBackButtonClick;
    TWizardPageClickEvent OnNextButtonClick;
    TWizardPageClickEvent OnFinishButtonClick;
    TWizardPageClickEvent OnCancelButtonClick;

protected:
    explicit TWizardCustomPage(TWizard& Wizard);
    // The rectangle of the header texts, for redrawing them.
    virtual RECT HeaderRect() const = 0;
    virtual void Paint(HDC DC, const RECT& Client) const = 0;
    // System colour index of the body, behind the owner's controls.
    virtual int BodyColor() const { return COLOR_BTNFACE; }
    void DrawPicture(HDC DC, const RECT& Strip, int FallbackColor) const;
    RECT PageRect() const;

    LRESULT HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    friend class TWizard;
    friend class TWizardPageTitle;
    HBRUSH BodyBrush() const;
    void HeaderChanged();
    TWizardPageClickEvent& ClickEvent(TWizardButtonKind Kind);

    TWizard& FWizard;
    bool FEnabled = true;
    TWizardButtonSet FEnabledButtons = TWizardButtonSet::All();
    TWizardButtonSet FVisibleButtons{bkBack, bkNext, bkCancel};
    TGdiObject<HBITMAP> FPicture;
    int FPictureWidth = 164;
};

// Picture along the left side, header texts beside it, white body.
class TWizardWelcomePage : public TWizardCustomPage {
public:
    explicit TWizardWelcomePage(TWizard& Wizard) : TWizardCustomPage(Wizard) {}
    RECT ClientRect() const override;

protected:
    RECT HeaderRect() const override;
    void Paint(HDC DC, const RECT& Client) const override;
    int BodyColor() const override { return COLOR_WINDOW; }
};

// Header across the top; an optional picture along the left of the body.
class TWizardInteriorPage : public TWizardCustomPage {
public:
    explicit TWizardInteriorPage(TWizard& Wizard) : TWizardCustomPage(Wizard) {}
    RECT ClientRect() const override;

protected:
    RECT HeaderRect() const override;
    void Paint(HDC DC, const RECT& Client) const override;
};

// One push button of the bar. Captions and widths are the owner's.
class TWizardButton {
public:
    TWizardButtonKind Kind() const { return FKind; }
    HWND Handle() const { return FHandle; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Caption);
    int Width() const { return FWidth; }
    // Design pixels.
    void SetWidth(int Width);

private:
    friend class TWizard;
    TWizardButton(TWizard& Wizard, TWizardButtonKind Kind, std::string Caption)
        : FWizard(Wizard), FKind(Kind), FCaption(std::move(Caption)) {}
    TWizard& FWizard;
    TWizardButtonKind FKind;
    std::string FCaption;
    int FWidth = 75;
    HWND FHandle = nullptr;
};

using TWizardButtonEvent = std::function<void(TWizardButton& Sender)>;

class TWizard : public TWindow {
public:
    // Bounds in device pixels of the parent's client area.
    TWizard(HWND Parent, const RECT& Bounds, int Id = 0);
    ~TWizard() override;

    HFONT BodyFont() const { return FBodyFont.get(); }
    HFONT TitleFont() const { return FTitleFont.get(); }

    // Pages are appended to the page order. Call MoveFirst once all are made.
    TWizardWelcomePage& AddWelcomePage();
    TWizardInteriorPage& AddInteriorPage();
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TWizardCustomPage& Page(int Index) const { return *FPages.at(Index); }
    int IndexOf(const TWizardCustomPage* Page) const;

    TWizardCustomPage* ActivePage() const { return FActivePage; }
    void MoveFirst();
    void MoveNext();
    void MoveBack();
    // Disabled pages and pages of another wizard are refused; activating the
    // active page again does nothing. None hides every page.
    void ActivatePage(TWizardCustomPage* Page);
    // The enabled page nearest to Index in the direction Step (+1 or -1), not
    // counting Index itself; Index may be -1 or PageCount. A Step of 0 throws
    // Exception.
    TWizardCustomPage* FindEnabledPage(int Index, int Step) const;
    void RefreshButtons();

    // Back, Next, Finish and Cancel have buttons; other kinds throw
    // Exception.
    TWizardButton& Button(TWizardButtonKind Kind);
    // The button Enter presses, or none.
    TWizardButton* DefaultButton() const { return FDefaultButton; }
    // Runs the press sequence of a button: page event, wizard event, move.
    void PressButton(TWizardButtonKind Kind);

    TWizardButtonEvent OnBackButtonClick;
    TWizardButtonEvent OnNextButtonClick;
    TWizardButtonEvent OnFinishButtonClick;
    TWizardButtonEvent OnCancelButtonClick;

    // For the top-level window procedure: handles DM_GETDEFID and the
    // WM_COMMANDs that IsDialogMessage sends for Enter and Escape. True when
    // the message was the wizard's; Result then holds the reply.
    bool HandleDialogMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result);

    // Design sizes of the bar, in design pixels.
    static constexpr int ButtonBarHeight = 42;

protected:
    LRESULT HandleMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
    friend class TWizardCustomPage;
    friend class TWizardButton;
    template <class TPage> TPage& AddPage();
    void Layout();
    void LayoutButtons();
    RECT PageBounds() const;
    void PageDisabled(TWizardCustomPage& Page);
    bool CanFocus(HWND Wnd) const;
    void FocusPage(TWizardCustomPage& Page);
    TWizardButton* ButtonOf(HWND Wnd) const;
    bool IsUsable(const TWizardButton& Button) const;
    bool IsPagePushButton(HWND Wnd) const;
    void Paint(HDC DC);

    TGdiObject<HFONT> FBodyFont;
    TGdiObject<HFONT> FTitleFont;
    std::vector<std::unique_ptr<TWizardCustomPage>> FPages;
    TWizardCustomPage* FActivePage = nullptr;
    std::unique_ptr<TWizardButton> FButtons[4];
    TWizardButton* FDefaultButton = nullptr;
};
