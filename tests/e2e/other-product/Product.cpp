// A second product, named nothing like the sample one: the end-to-end test
// builds the setup program with this definition to prove that everything
// that names the product comes from its definition.

#include "data/Product.h"

namespace {

const TProductShortcut Shortcuts[] = {
    {"Bin\\QuillonViewer.exe", "Quillon Charts Viewer.lnk"},
    {"Docs\\Guide.txt", "Quillon Charts Guide.lnk"},
    {"Quillon.url", "Quillon Web Site.lnk"},
};

} // namespace

const TProductDefinition Product = {
    .Name = "Quillon Charts",
    .ShortName = "Quillon",
    .EditionName = "Quillon Charts Studio",
    .Publisher = "Tessaly",
    .RecordKey = "Software\\Tessaly\\Quillon Charts",
    .InstallDirValue = "InstallDir",
    .StartFolderValue = "StartFolder",
    .InstalledVersionValue = "InstalledVersion",
    .DefaultInstallSubDir = "Tessaly\\Quillon Charts",
    .DefaultStartFolder = "Tessaly\\Quillon Charts Studio",
    .OcxFileName = "QuillonGrid.ocx",
    .InstalledFilesListName = "Quillon Charts.files",
    .Shortcuts = Shortcuts,
    .ShortcutCount = sizeof Shortcuts / sizeof Shortcuts[0],
    .LegalNotice = "\r\n\r\nQuillon Charts is protected by copyright law. Copying it without the "
                   "permission of Tessaly is not allowed.",
    .Description = "Quillon Charts: line, bar and pie charts for reports.",
    .License = "QUILLON CHARTS LICENCE\r\n\r\nTessaly grants you the right to use Quillon Charts "
               "in your own applications.\r\n",
    .WebAddress = "https://quillon.example/",
    .Picture = {.Top = 0x00203060,
                .Bottom = 0x004080C0,
                .Accent = 0x0040F0A0,
                .NameLine1 = "Quillon",
                .NameLine2 = "Charts"},
};
