#pragma once
// The step lines of the setup log that every successful run shows, as the
// engine, the window and the program's own tests expect them.

#include <string>
#include <vector>

using TLines = std::vector<std::string>;

inline TLines operator+(TLines Left, const TLines& Right) {
    Left.insert(Left.end(), Right.begin(), Right.end());
    return Left;
}

// An installation: its first two lines, the extracted files' lines come
// between them and the rest.
inline const TLines InstallStart = {"Delete old files...", "Extracting component files..."};
inline const TLines InstallEnd = {"Completed",
                                  "Registering component in registry...",
                                  "Completed",
                                  "Create Shortcuts in Start menu folder...",
                                  "Completed",
                                  "",
                                  "All operations done. Press Next to complete installation."};
inline const TLines InstallSteps = InstallStart + InstallEnd;

inline const TLines UninstallSteps = {"Unregistering component in registry...",
                                      "Completed",
                                      "Delete component files...",
                                      "Completed",
                                      "Delete Start menu Program Folder...",
                                      "Completed",
                                      "",
                                      "Uninstall completed. Press Next to complete uninstall."};
