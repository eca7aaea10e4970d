#include "data/CmdLineUtils.h"
#include "platform/ScopeExit.h"

namespace {

char AsciiUpper(char C) {
    return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C;
}

bool SameText(const std::string& A, const std::string& B) {
    return A.size() == B.size() && StartsText(A, B);
}

} // namespace

bool StartsText(const std::string& Text, const std::string& Prefix) {
    if (Text.size() < Prefix.size()) return false;
    for (std::size_t I = 0; I < Prefix.size(); ++I)
        if (AsciiUpper(Text[I]) != AsciiUpper(Prefix[I])) return false;
    return true;
}

bool TItem::Accept(const std::string&) {
    return false;
}

bool TBoolItem::Accept(const std::string& Arg) {
    if (SameText(Arg, OptionText)) {
        Target = true;
        return true;
    }
    if (SameText(Arg, OptionText + "-")) {
        Target = false;
        return true;
    }
    return false;
}

bool TStringItem::Accept(const std::string& Arg) {
    if (!StartsText(Arg, OptionText)) return false;
    Target = Arg.substr(OptionText.size());
    return true;
}

bool TDirItem::Accept(const std::string& Arg) {
    std::string Previous = Target;
    bool Accepted = TStringItem::Accept(Arg);
    if (Accepted && !(FDirectoryExists && FDirectoryExists(Target))) Target = Previous;
    return Accepted;
}

TCmdOptions::TCmdOptions(const std::vector<std::string>& Args, TDirectoryTest DirectoryExists,
                         THelpHandler OnHelp)
    : FDirectoryExists(std::move(DirectoryExists)) {
    // The table is only needed while parsing; drop it on every way out.
    const TScopeExit DropTable([this] { FOptions.clear(); });

    TCmdOptions::AddOptions(); // a constructor reaches only its own class's version
    for (const std::string& Arg : Args) {
        bool Taken = false;
        for (const auto& Item : FOptions)
            if ((Taken = Item->Accept(Arg))) break;
        if (!Taken) Unknown.push_back(Arg);
    }
    if (HelpRequested && OnHelp) OnHelp(HelpScreen());
}

void TCmdOptions::AddOptions() {
    auto Bool = [this](const char* Option, const char* Help, bool& Target) {
        FOptions.push_back(std::make_unique<TBoolItem>(Option, Help, Target));
    };
    auto String = [this](const char* Option, const char* Help, std::string& Target) {
        FOptions.push_back(std::make_unique<TStringItem>(Option, Help, Target));
    };
    auto Separator = [this]() { FOptions.push_back(std::make_unique<TItem>("", "")); };

    Bool("--ignore-ide", "Start installer even if Delphi/BCB is running.", IgnoreIDE);
    Bool("--ignore-bcb", "Do not display and compile BCB versions.", IgnoreBCB);
    Bool("--ignore-delphi", "Do not display and compile Delphi versions.", IgnoreDelphi);
    Separator();
    FOptions.push_back(std::make_unique<TDirItem>(
        "--lib-path=", "Set the library root directory to X.", LibPath, FDirectoryExists));
    Bool("--keep-files", "Do not call \"clean\".", KeepFiles);
    Bool("--autoupdate", "Updates all IDEs where ZIVI 3 is installed.", AutoUpdate);
    Separator();
    String("-rDelphi=", "Sets the Registry path for the Delphi IDEs.", RegDelphi);
    String("-rBCB=", "Sets the Registry path for the BCB IDEs.", RegBCB);
    String("-rBDS=", "Sets the Registry path for the BDS IDEs. (-rBDS=Win32Only)", RegBDS);
    String("--lang=", "Sets the Installer's language to X.", Lang);
    Bool("--help", "Show this screen.", HelpRequested);
    Bool("/?", "", HelpRequested);
    Bool("-h", "", HelpRequested);
    Separator();
    Bool("--silent", "Install, update or repair without a window.", Silent);
    Bool("--uninstall", "Uninstall; with --silent, without a window.", Uninstall);
    String("--dir=", "Install into folder X (first installation).", Dir);
    String("--group=", "Put the shortcuts into program folder X.", Group);
    String("--log=", "Also write the setup log to file X.", LogFile);
    String("--handover=", "", Handover);
}

std::string TCmdOptions::HelpScreen() const {
    const std::string LineEnd = "\r\n";
    std::string Screen = LineEnd;
    for (const auto& Item : FOptions) {
        if (Item->OptionText.empty()) Screen += LineEnd;
        if (Item->HelpText.empty()) continue;
        std::string Left = Item->OptionText + (Item->TakesValue() ? "X" : "");
        if (Left.size() < 20) Left.resize(20, ' ');
        Screen += Left + "  " + Item->HelpText + LineEnd;
    }
    return Screen + LineEnd;
}
