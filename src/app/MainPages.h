#pragma once
// The main window's pages as tables: everything a page shows, in the order
// its controls are made (which is also their tab order). Constant data:
// only the texts' product names are filled in when the window is built.

#include "app/uMain.h"
#include "data/Product.h"
#include "ui/Wizard.h"

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

enum class TControlFont : std::uint8_t { Body, Radio, Bold };

// Before, then the product's text Middle (none: nothing), then After.
struct TText {
    const char* Before;
    const char* TProductDefinition::*Middle = nullptr;
    const char* After = "";
};

std::string TextOf(const TText& Text);

struct TPageSpec {
    TMainPage Name;
    bool Welcome; // else an interior page
    TText Title, Subtitle;
    TWizardButtonSet Buttons;
    short PictureHeight; // design pixels; 0: no picture
};

struct TControlSpec {
    TMainPage Page;
    TMainControl Name;
    const char* Class;
    TText Text;
    DWORD Style;
    short Left, Top, Width, Height; // design pixels inside the page's room
    TControlFont Font = TControlFont::Body;
};

// In page order; the controls of each page in the order they are made.
std::span<const TPageSpec> MainPageTable();
std::span<const TControlSpec> MainControlTable();
