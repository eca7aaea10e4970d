// Runs one engine procedure the way the progress page does and writes what
// came out into a file, for tests that need a process of their own: a
// Windows version chosen per program, or an installer folder without (or
// with a damaged) extraction program or archive.
//
//   engine_probe.exe <result file> install|uninstall|recover <InstallDir> <StartFolder> [fault]
//
// A fault breaks the run at the K-th step line Text: "fail=K:Text" raises
// an error there (as a failing step would), "kill=K:Text" ends the process
// on the spot (as a power loss would). Before it, separated by ";", files of
// the installation (relative paths) that another program holds open:
// "hold=Entry" for the whole run, "letgo=Entry" until the extraction starts.
// "recover" runs what setup runs at start: the undoing of an interrupted run.
//
// The result file holds one record a line: "Y" and the system line ("-" for
// none), "L" and each log line, "P" and each line the page was shown, "E"
// and the message of an error, "R" and the result, "S" and Succeeded.
// The installation data is read from the current folder, as at start-up.

#include "data/InstallData.h"
#include "platform/Owners.h"
#include "platform/Error.h"
#include "engine/Compile.h"
#include "engine/Transaction.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) return 2;
    std::string Fault = argc == 6 ? argv[5] : "";
    // Another program's hold: open for reading, sharing read only.
    std::vector<std::pair<THandle, bool>> Holds; // the hold, and whether it is let go
    for (std::string::size_type Semicolon; (Semicolon = Fault.find(';')) != std::string::npos;
         Fault.erase(0, Semicolon + 1)) {
        const std::string Hold = Fault.substr(0, Semicolon);
        const bool LetGo = Hold.rfind("letgo=", 0) == 0;
        const std::string Path = std::string(argv[3]) + "\\" + Hold.substr(Hold.find('=') + 1);
        Holds.emplace_back(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                           LetGo);
        if (!Holds.back().first) return 4;
    }
    const std::string::size_type Colon = Fault.find(':');
    int Countdown = Colon == std::string::npos ? 0 : std::atoi(Fault.c_str() + 5);
    const std::string FaultLine = Colon == std::string::npos ? "" : Fault.substr(Colon + 1);
    const std::string Mode = argv[2];
    FILE* Out = std::fopen(argv[1], "wb");
    if (!Out) return 3;
    const TComScope Com;

    auto Record = [Out](char Kind, const std::string& Text) {
        std::fputc(Kind, Out);
        std::fwrite(Text.data(), 1, Text.size(), Out);
        std::fputc('\n', Out);
    };
    Record('Y', SystemLine().value_or("-"));
    try {
        auto Data = std::make_unique<TInstallData>();
        Data->InstallDir = argv[3];
        Data->StartFolder = argv[4];
        std::vector<std::string> Page;
        bool Result = false;
        if (Mode == "recover") {
            for (const auto& Line : TInstallTransaction::FinishEarlierRuns())
                Record('L', Line);
            std::fclose(Out);
            return 0;
        }
        {
            TCompiler Engine(*Data);
            Engine.ShowProgramFolder = false; // the shell's business, tested on its own
            Engine.OnOutputLine = [&](const std::string& Line, bool&) {
                Page.push_back(Line);
                if (Line == "Extracting component files...")
                    for (auto& [Hold, LetGo] : Holds)
                        if (LetGo) Hold.reset();
                if (Line != FaultLine || Countdown <= 0 || --Countdown > 0) return;
                if (Fault.rfind("kill=", 0) == 0) {
                    std::fclose(Out);
                    TerminateProcess(GetCurrentProcess(), 9);
                }
                throw Exception("Injected failure at \"" + Line + "\"");
            };
            try {
                Result = (Mode == "install" ? Engine.Install() : Engine.Uninstall()).Completed();
            } catch (const std::exception& Error) {
                Record('E', Error.what());
            }
            for (const auto& Line : Engine.Log())
                Record('L', Line);
            Engine.Release();
        }
        for (const auto& Line : Page)
            Record('P', Line);
        Record('R', Result ? "1" : "0");
        Record('S', Data->Succeeded ? "1" : "0");
    } catch (const std::exception& Error) {
        Record('E', Error.what());
    }
    std::fclose(Out);
    return 0;
}
