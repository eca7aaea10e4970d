// Arguments split at NUL bytes: parsing must never crash, a help screen
// appears exactly when the last help switch turned help on, and every
// option value is a suffix of some argument.
#include "data/CmdLineUtils.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    std::vector<std::string> Args(1);
    for (std::size_t I = 0; I < Size; ++I) {
        if (Data[I] == 0)
            Args.emplace_back();
        else
            Args.back() += static_cast<char>(Data[I]);
    }
    int HelpCalls = 0;
    std::size_t ScreenSize = 0;
    TCmdOptions Options(
        Args, [](const std::string& Path) { return Path.size() % 2 == 0; },
        [&](const std::string& Screen) {
            ++HelpCalls;
            ScreenSize = Screen.size();
        });
    if (HelpCalls != (Options.HelpRequested ? 1 : 0)) std::abort();
    if (HelpCalls && ScreenSize == 0) std::abort();
    for (const std::string* Value :
         {&Options.LibPath, &Options.Lang, &Options.RegDelphi, &Options.RegBCB, &Options.RegBDS}) {
        if (Value->empty()) continue;
        bool Found = false;
        for (const std::string& Arg : Args)
            if (Arg.size() >= Value->size() &&
                Arg.compare(Arg.size() - Value->size(), Value->size(), *Value) == 0)
                Found = true;
        if (!Found) std::abort();
    }
    if (!Options.LibPath.empty() && Options.LibPath.size() % 2 != 0) std::abort();
    return 0;
}
