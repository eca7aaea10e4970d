#pragma once
// A run of the engine as the progress page makes it, shared by the engine's
// installation and safety tests: the installation data read from a
// "version" file in the test's current folder, a destination and a program
// folder of the test's own, and everything put back afterwards.

#include "data/InstallData.h"
#include "platform/Utils.h"
#include "platform/Registry.h"
#include "engine/Compile.h"
#include "engine/Transaction.h"
#include "MorvaneXControls.h"

#include "support/Record.h"
#include "win/engine_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace enginetest {

// The record is in the 32-bit view whichever the installer's architecture.
// Setup's own state beside it (the journal of a run) goes with it.
inline void DeleteRecord() {
    DeleteMachineKey(SetupStateKey());
    DeleteProductRecord();
}

inline const std::string ControlClsidKey = std::string("CLSID\\") + MORVANE_XCONTROLS_CLSID;

inline void RemoveRegistration() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ControlClsidKey.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, MORVANE_XCONTROLS_PROGID);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, MORVANE_XCONTROLS_VI_PROGID);
}

// What an installation is on this machine: its files and links, the record
// and the entry in Installed apps (every value, type and bytes) and the file
// the control is registered with.
struct TMachineState {
    TSnapshot Files, Links;
    std::map<std::string, std::string> Record, Entry;
    std::string Server;
    bool operator==(const TMachineState&) const = default;
};

inline TMachineState MachineState(const std::string& InstallDir, const std::string& ProgramFolder) {
    TMachineState State;
    State.Files = Snapshot(InstallDir);
    State.Links = Snapshot(ProgramFolder);
    State.Record = KeyValues(Product.RecordKey);
    State.Entry = KeyValues(UninstallEntryKey());
    char Server[MAX_PATH] = {};
    LONG Size = sizeof Server;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, (ControlClsidKey + "\\InprocServer32").c_str(), Server,
                       &Size) == ERROR_SUCCESS)
        State.Server = Server;
    return State;
}

inline void PrintTo(const TMachineState& State, std::ostream* Out) {
    *Out << State.Files.size() << " files and folders, " << State.Links.size() << " links, "
         << State.Record.size() << " record values, " << State.Entry.size()
         << " entry values, server \"" << State.Server << '"';
}

class TEngineRunTest : public ::testing::Test {
protected:
    // Tag names the temp folder; Token marks what the test makes elsewhere.
    TEngineRunTest(const char* Tag, std::string Token) : Work{Tag}, FToken(std::move(Token)) {}

    void SetUp() override {
        EnsureTrashHome();
        DeleteRecord();
        ASSERT_TRUE(WriteWholeFile(Work / "version", "2.5.1\r\n"));
        Current = std::make_unique<TCurrentFolder>(Work.Path());
        // The engine is handed its data; the program's global stays unset.
        Data = std::make_unique<TInstallData>();
        ASSERT_FALSE(Data->ProgramsDir.empty());
        static int Run = 0;
        Outer = FToken + "-" + std::to_string(++Run);
        Inner = "Edition " + Outer;
        WipeTree(AddTrailingBackslash(Data->ProgramsDir) + Outer); // a crashed earlier run's
        Data->StartFolder = Outer + "\\" + Inner;
        Data->InstallDir = Work / ("Dest " + Outer);
    }

    void TearDown() override {
        CloseAllFolderWindows(Inner, 500);
        RemoveRegistration();
        DeleteRecord();
        if (Data) WipeTree(AddTrailingBackslash(Data->ProgramsDir) + Outer);
        CleanTrash(FToken);
        Data.reset();
        Current.reset();
    }

    // A new engine whose step lines land in Page, as the page's hook does.
    std::unique_ptr<TCompiler> NewEngine() {
        Page.clear();
        auto Engine = std::make_unique<TCompiler>(*Data);
        // The folder window is the shell's (engine_shell_test); Wine's
        // desktop shell opens it only now and then.
        Engine->ShowProgramFolder = false;
        Engine->OnOutputLine = [this](const std::string& Line, bool&) { Page.push_back(Line); };
        return Engine;
    }

    std::string ProgramFolder() const {
        return AddTrailingBackslash(Data->ProgramsDir) + Data->StartFolder;
    }

    TComScope Com; // apartment COM, as the program's UI thread has
    TTempFolder Work;
    std::unique_ptr<TCurrentFolder> Current;
    std::unique_ptr<TInstallData> Data;
    std::string Outer, Inner;
    std::vector<std::string> Page;

private:
    std::string FToken;
};

} // namespace enginetest
