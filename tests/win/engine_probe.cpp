// Runs one engine procedure the way the progress page does and writes what
// came out into a file, for tests that need a process of their own: a
// Windows version chosen per program, or an installer folder without (or
// with a damaged) extraction program or archive.
//
//   engine_probe.exe <result file> install|uninstall <InstallDir> <StartFolder>
//
// The result file holds one record a line: "Y" and the system line ("-" for
// none), "L" and each log line, "P" and each line the page was shown, "E"
// and the message of an error, "R" and the result, "S" and Succeeded.
// The installation data is read from the current folder, as at start-up.

#include "data/InstallData.h"
#include "data/Owners.h"
#include "engine/Compile.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 5) return 2;
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
        {
            TCompiler Engine(*Data);
            Engine.OnOutputLine = [&Page](const std::string& Line, bool&) { Page.push_back(Line); };
            try {
                Result = Mode == "install" ? Engine.Install() : Engine.Uninstall();
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
