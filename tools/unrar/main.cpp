// unrar: extracts the product archive for the setup program.
#include "Names.h"
#include "Unrar.h"
#include "data/Extraction.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Full buffering: one line per file must not cost one write per line.
    // The runtime allocates the buffer (a static one would be 64 KB of the
    // program file on Windows).
    std::setvbuf(stdout, nullptr, _IOFBF, 64 * 1024);
    // Names are UTF-8 inside the program.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(unrar::names::Argument(argv[i]));
    unrar::TOptions options;
    std::string error;
    if (!unrar::ParseCommandLine(args, options, error)) {
        unrar::Put(stderr, std::string(extraction::ErrorPrefix) + error + "\n" + unrar::UsageText);
        return extraction::ecCmdLine;
    }
    return unrar::Run(options, stdout, stderr);
}
