// The sample product of this setup program: "Morvane ActiveX" by Pellinor.
// A product of your own replaces this file (see the README).

#include "data/Product.h"

namespace {

const TProductShortcut Shortcuts[] = {
    {"Demos\\Compiled\\VCDemo.exe", "Morvane ActiveX VC++ 6 Compiled Demo.lnk"},
    {"Demos\\Compiled\\VBDemo.exe", "Morvane ActiveX VB6 Compiled Demo.lnk"},
    {"Demos\\Compiled\\CSDemo.exe", "Morvane ActiveX .NET Compiled Demo.lnk"},
    {"Demos\\CSDemo\\CSDemo.sln", "Morvane ActiveX C# Demo.lnk"},
    {"Demos\\VBNetDemo\\VBNetDemo.sln", "Morvane ActiveX VB.NET Demo.lnk"},
    {"Demos\\VBDemo\\VBDemo.vbp", "Morvane ActiveX VB6 Demo.lnk"},
    {"Demos\\VCDemo\\VCDemo.dsw", "Morvane ActiveX VC++ 6 Demo.lnk"},
    {"Help\\ZelkX.HLP", "Morvane ActiveX Help.lnk"},
    {"Morvane.url", "Morvane Web Site.lnk"},
};

const char* const License =
    "MORVANE ACTIVEX LICENCE AGREEMENT\r\n"
    "\r\n"
    "Please read this agreement before you install Morvane ActiveX (the \"Software\"). "
    "By ticking \"Yes, I accept this agreement\" and continuing the installation you agree "
    "to be bound by its terms. If you do not agree, click Cancel: nothing will be installed.\r\n"
    "\r\n"
    "1. Grant. Pellinor grants you a non-exclusive, non-transferable right to install the "
    "Software on the computers of your organisation and to use it to develop, build and "
    "test your own applications.\r\n"
    "\r\n"
    "2. Redistribution. You may redistribute the file MorvaneXControls.ocx as part of an "
    "application of your own that adds substantial functionality to it. You may not "
    "redistribute the demos, the sample projects or the help file, and you may not offer "
    "the controls as a component library of your own.\r\n"
    "\r\n"
    "3. Editions. The Free Edition may be used for evaluation and for non-commercial work. "
    "The Standard Edition may be used for any purpose covered by this agreement.\r\n"
    "\r\n"
    "4. Ownership. The Software is licensed, not sold. Pellinor keeps all rights not "
    "expressly granted here. You may not remove copyright notices from the Software.\r\n"
    "\r\n"
    "5. No warranty. The Software is provided \"as is\", without warranty of any kind, "
    "express or implied, including the warranties of merchantability and fitness for a "
    "particular purpose.\r\n"
    "\r\n"
    "6. Limitation of liability. In no event shall Pellinor be liable for any damages "
    "arising out of the use of, or the inability to use, the Software, even if Pellinor "
    "has been advised of the possibility of such damages.\r\n"
    "\r\n"
    "7. Termination. This licence ends automatically if you fail to comply with its terms. "
    "You must then uninstall the Software and destroy all copies of it.\r\n"
    "\r\n"
    "8. Whole agreement. This is the entire agreement between you and Pellinor about the "
    "Software and replaces any earlier understanding.\r\n";

} // namespace

const TProductDefinition Product = {
    .Name = "Morvane ActiveX",
    .ShortName = "Morvane",
    .EditionName = "Morvane ActiveX Edition",
    .Publisher = "Pellinor",
    .RecordKey = "Software\\Pellinor\\Morvane ActiveX",
    .InstallDirValue = "InstallDir",
    .StartFolderValue = "StartFolder",
    .InstalledVersionValue = "InstalledVersion",
    .DefaultInstallSubDir = "Grenwick\\Morvane ActiveX",
    .DefaultStartFolder = "Grenwick\\Morvane ActiveX Edition",
    .OcxFileName = "MorvaneXControls.ocx",
    .InstalledFilesListName = "Morvane ActiveX.files",
    .Shortcuts = Shortcuts,
    .ShortcutCount = sizeof Shortcuts / sizeof Shortcuts[0],
    .LegalNotice =
        "\r\n\r\nMorvane ActiveX is protected by copyright law and international treaties. "
        "Copying or distributing it, or any part of it, without the permission of Pellinor "
        "may result in civil and criminal penalties.",
    .Description = "Morvane ActiveX: dials, gauges and meters for instrument panels.\r\n"
                   "With compiled demos and projects for C++, Visual Basic and .NET.",
    .License = License,
    .WebAddress = "https://www.morvane.example/",
    .Picture = {.Top = 0x00543410,
                .Bottom = 0x008C7622,
                .Accent = 0x003CAAFF,
                .NameLine1 = "Morvane",
                .NameLine2 = "ActiveX"},
};
