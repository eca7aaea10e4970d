// End-to-end flows of the setup wizard, driven from outside as a user would:
//
//   e2e_driver <flow> <dist folder> <work folder> <screenshot folder>
//
// Each flow copies the distribution folder into its work folder, starts
// MorvaneSetup.exe there, walks the pages, and checks what the installer left
// on the machine. Everything it makes (installation folder, program folder,
// registry record, component registration) is removed again, pass or fail.
// A failure prints the step and what was seen, and the driver exits with 1.

#include "e2e/Flow.h"
#include "MorvaneXControls.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

using namespace e2e;

namespace {

const std::map<std::string, std::function<void(TFlow&)>> Flows = {
    {"first", FirstInstallation},
    {"update", Update},
    {"repair", Repair},
    {"uninstall", [](TFlow& Flow) { RunUninstall(Flow, false); }},
    {"keep-foreign", [](TFlow& Flow) { RunUninstall(Flow, true); }},
    {"damaged", DamagedArchive},
    {"cancel", CancelEverywhere},
    {"refusals", Refusals},
    {"help", Help},
    {"keys", KeyboardOnly},
    {"silent", Silent},
    {"apps-uninstall", UninstallFromInstalledApps},
    {"held", HeldDuringUpdate},
    {"interrupted", InterruptedUpdate},
    {"pinned", Pinned},
    {"names", NonAsciiName},
    {"planted-handover", PlantedHandOver},
    {"restart-before", HeldUntilRestart},
    {"restart-after", AfterRestart},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 5 || !Flows.count(argv[1])) {
        std::fprintf(stderr, "usage: e2e_driver <flow> <dist> <work> <screenshots>\n"
                             "flows:");
        for (const auto& [Name, Run] : Flows)
            std::fprintf(stderr, " %s", Name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    const TComScope Com;
    const std::string Name = argv[1];
    int Result = 0;
    try {
        const std::string Work = WindowsPath(argv[3]);
        const std::string Shots = WindowsPath(argv[4]);
        MakeFoldersOrFail(Work);
        MakeFoldersOrFail(Shots);
        TFlow Flow(Name, WindowsPath(argv[2]), Work, Shots, MORVANE_XCONTROLS_CLSID);
        Flows.at(Name)(Flow);
        std::printf("e2e flow '%s' passed\n", Name.c_str());
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "e2e flow '%s' FAILED at %s\n", Name.c_str(), Error.what());
        Result = 1;
    }
    return Result;
}
