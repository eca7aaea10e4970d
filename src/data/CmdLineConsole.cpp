// The Windows side of the command-line options: the process's own
// arguments, the directory test, and the help screen on a console
// (platform/Console.h).
#include "data/CmdLineUtils.h"
#include "platform/Console.h"
#include "platform/Utils.h"

#include <windows.h>

#include <cstdlib>

TCmdOptions::TCmdOptions() : TCmdOptions(ProcessArguments()) {}

TCmdOptions::TCmdOptions(const std::vector<std::string>& Args)
    : TCmdOptions(Args, DirectoryPresent, [](const std::string& Screen) {
          ShowHelp(Screen);
          ExitProcess(1);
      }) {}
