#pragma once
// Everything that names the product the setup program installs. Every layer
// reads it from here; the one instance, Product, is defined by the product
// (product/Product.cpp for the sample product) and linked into the program,
// so that another product is another definition file and nothing else.
// Texts of the wizard that name the product are made from these parts.

#include <cstddef>
#include <cstdint>
#include <span>

// A Start-menu shortcut: the link's file name in the program folder and its
// target, relative to the installation folder.
struct TProductShortcut {
    const char* Target;
    const char* LinkName;
};

// The picture of the welcome and finish pages: a gradient from top to
// bottom, an instrument dial in the accent colour and the name in two lines.
// Colours are 0x00BBGGRR, as the system's COLORREF.
struct TProductPicture {
    std::uint32_t Top;
    std::uint32_t Bottom;
    std::uint32_t Accent;
    const char* NameLine1;
    const char* NameLine2;
};

struct TProductDefinition {
    const char* Name;        // "Morvane ActiveX": pages, refusals, questions
    const char* ShortName;   // "Morvane": application title, web site check box, log file
    const char* EditionName; // "Morvane ActiveX Edition": the finish page's sentences
    const char* Publisher;   // "Pellinor": the entry in the system's list of installed apps
    // The installation record below HKEY_LOCAL_MACHINE (32-bit view), and
    // the names of its three string values.
    const char* RecordKey;
    const char* InstallDirValue;
    const char* StartFolderValue;
    const char* InstalledVersionValue;
    // Below the Program Files folder, and below the Start menu's Programs.
    const char* DefaultInstallSubDir;
    const char* DefaultStartFolder;
    // The component registered with regsvr32, at the top of the archive.
    const char* OcxFileName;
    // The list of installed files kept in the installation folder.
    const char* InstalledFilesListName;
    const TProductShortcut* Shortcuts;
    std::size_t ShortcutCount;
    // The welcome pages' legal notice (it follows the "Click Next" line) and
    // description, the licence agreement, the web address opened on Finish.
    const char* LegalNotice;
    const char* Description;
    const char* License;
    const char* WebAddress;
    TProductPicture Picture;
};

extern const TProductDefinition Product;

// The links of the program folder, in the order they are made.
inline std::span<const TProductShortcut> ProductShortcuts() {
    return {Product.Shortcuts, Product.ShortcutCount};
}
