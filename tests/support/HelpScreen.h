#pragma once
// The help screen as a user reads it: the lines it always had, then the
// deployment options under one empty line, then the closing empty line.

#include <string>

inline const std::string OriginalHelpLines =
    "\r\n"
    "--ignore-ide          Start installer even if Delphi/BCB is running.\r\n"
    "--ignore-bcb          Do not display and compile BCB versions.\r\n"
    "--ignore-delphi       Do not display and compile Delphi versions.\r\n"
    "\r\n"
    "--lib-path=X          Set the library root directory to X.\r\n"
    "--keep-files          Do not call \"clean\".\r\n"
    "--autoupdate          Updates all IDEs where ZIVI 3 is installed.\r\n"
    "\r\n"
    "-rDelphi=X            Sets the Registry path for the Delphi IDEs.\r\n"
    "-rBCB=X               Sets the Registry path for the BCB IDEs.\r\n"
    "-rBDS=X               Sets the Registry path for the BDS IDEs. (-rBDS=Win32Only)\r\n"
    "--lang=X              Sets the Installer's language to X.\r\n"
    "--help                Show this screen.\r\n";

inline const std::string HelpScreenText = OriginalHelpLines +
                                          "\r\n"
                                          "--silent              Install, update or repair without a window.\r\n"
                                          "--uninstall           Uninstall; with --silent, without a window.\r\n"
                                          "--dir=X               Install into folder X (first installation).\r\n"
                                          "--group=X             Put the shortcuts into program folder X.\r\n"
                                          "--log=X               Also write the setup log to file X.\r\n"
                                          "\r\n";
