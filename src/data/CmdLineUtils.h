#pragma once
// The installer's command-line options. The help switches and the
// unattended-deployment options (--silent and after it) change what the
// installer does; the others are recognised and recorded.

#include <functional>
#include <memory>
#include <string>
#include <vector>

// True when Text starts with Prefix, ASCII letters compared without regard
// to case. An empty Prefix always matches.
bool StartsText(const std::string& Text, const std::string& Prefix);

// Decides whether a directory value names an existing directory.
using TDirectoryTest = std::function<bool(const std::string& Path)>;

// One row of the option table; with empty texts, a separator row.
class TItem {
public:
    TItem(std::string OptionText, std::string HelpText)
        : OptionText(std::move(OptionText)), HelpText(std::move(HelpText)) {}
    virtual ~TItem() = default;
    // True when the item consumed Arg, having set its value.
    virtual bool Accept(const std::string& Arg);
    // Options with a value show "X" after their text on the help screen.
    virtual bool TakesValue() const { return false; }

    const std::string OptionText;
    const std::string HelpText;
};

// A switch: "--opt" sets the flag, "--opt-" clears it.
class TBoolItem : public TItem {
public:
    TBoolItem(std::string OptionText, std::string HelpText, bool& Target)
        : TItem(std::move(OptionText), std::move(HelpText)), Target(Target) {}
    bool Accept(const std::string& Arg) override;

    bool& Target;
};

// A prefix option: "--opt=value" (the value may be empty).
class TStringItem : public TItem {
public:
    TStringItem(std::string OptionText, std::string HelpText, std::string& Target)
        : TItem(std::move(OptionText), std::move(HelpText)), Target(Target) {}
    bool Accept(const std::string& Arg) override;
    bool TakesValue() const override { return true; }

    std::string& Target;
};

// A prefix option whose value must name an existing directory; another
// value is consumed but leaves the earlier one.
class TDirItem : public TStringItem {
public:
    TDirItem(std::string OptionText, std::string HelpText, std::string& Target,
             TDirectoryTest DirectoryExists)
        : TStringItem(std::move(OptionText), std::move(HelpText), Target),
          FDirectoryExists(std::move(DirectoryExists)) {}
    bool Accept(const std::string& Arg) override;

private:
    TDirectoryTest FDirectoryExists;
};

class TCmdOptions {
public:
    // Receives the help screen (CR LF line ends) when help was requested.
    using THelpHandler = std::function<void(const std::string& Screen)>;

    // Parses Args (without the program name). DirectoryExists judges the
    // directory option; OnHelp runs once after parsing when help is requested.
    TCmdOptions(const std::vector<std::string>& Args, TDirectoryTest DirectoryExists,
                THelpHandler OnHelp);
#ifdef _WIN32
    // The process's own arguments; a help request shows the help screen on a
    // console, waits for Enter and ends the process with exit code 1.
    TCmdOptions();
    explicit TCmdOptions(const std::vector<std::string>& Args);
#endif
    virtual ~TCmdOptions() = default;

    bool IgnoreIDE = false;     // --ignore-ide
    std::string LibPath;        // --lib-path=
    bool KeepFiles = false;     // --keep-files
    bool IgnoreBCB = false;     // --ignore-bcb
    bool IgnoreDelphi = false;  // --ignore-delphi
    bool HelpRequested = false; // --help, /?, -h
    std::string Lang;           // --lang=
    bool AutoUpdate = false;    // --autoupdate
    std::string RegDelphi;      // -rDelphi=
    std::string RegBCB;         // -rBCB=
    std::string RegBDS;         // -rBDS=
    bool Silent = false;        // --silent: no window at all
    bool Uninstall = false;     // --uninstall
    std::string Dir;            // --dir=: destination of a first installation
    std::string Group;          // --group=: program folder of a first installation
    std::string LogFile;        // --log=: the setup log also goes to this file
    // --handover=: not on the help screen. Given by an uninstall started
    // from the installation folder to the copy of itself that does the work.
    std::string Handover;
    // The arguments no option took, in their order.
    std::vector<std::string> Unknown;

protected:
    // Appends the option rows in matching and help-screen order. Called by
    // the constructor, so it runs as this class's own version.
    virtual void AddOptions();
    // The help screen built from the option table.
    std::string HelpScreen() const;

    // The option table; alive only while the constructor runs.
    std::vector<std::unique_ptr<TItem>> FOptions;
    TDirectoryTest FDirectoryExists;
};

