#pragma once
// The console and the process's command line, for a program built for the
// window subsystem. Windows only.

#include <string>
#include <vector>

// Writes Screen where the user who started the program sees it: its
// redirected output, the console it runs in, the console of the command
// prompt it was started from, or a console of its own; then waits for Enter
// where someone can press it.
void ShowHelp(const std::string& Screen);
// The program's arguments, without its own name.
std::vector<std::string> ProcessArguments();
