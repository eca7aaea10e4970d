#include "data/InUseText.h"

namespace {

std::string HolderText(const std::vector<std::string>& Holders) {
    std::vector<std::string> Named;
    for (const std::string& Holder : Holders)
        if (!Holder.empty()) Named.push_back(Holder);
    if (Named.empty()) return "another program";
    std::string Text = Named.front();
    for (std::size_t I = 1; I < Named.size(); ++I)
        Text += (I + 1 == Named.size() ? " and " : ", ") + Named[I];
    return Text;
}

} // namespace

std::string InUseLine(const std::string& Path, const std::vector<std::string>& Holders) {
    return "\"" + Path + "\" is in use by " + HolderText(Holders) + ".";
}

std::string RestartLine(const std::string& Path, const std::vector<std::string>& Holders) {
    return "\"" + Path + "\" is in use by " + HolderText(Holders) +
           ": its new version is put in place when Windows restarts.";
}

std::string InUseQuestion(const std::vector<THeldFile>& Files, const std::string& ProductName,
                          std::size_t Shown) {
    std::string Text =
        Files.size() == 1
            ? "A file of " + ProductName + " is in use, so setup cannot replace it now:"
            : "Files of " + ProductName + " are in use, so setup cannot replace them now:";
    Text += "\r\n";
    for (std::size_t I = 0; I < Files.size() && I < Shown; ++I)
        Text += "\r\n" + Files[I].Path + " (" + HolderText(Files[I].Holders) + ")";
    if (Files.size() > Shown)
        Text += "\r\n... and " + std::to_string(Files.size() - Shown) + " more";
    Text += Files.size() == 1 ? "\r\n\r\nClose the program that uses it and click Try Again. "
                                "Click Continue to install now: the file is replaced when "
                                "Windows restarts."
                              : "\r\n\r\nClose the programs that use them and click Try Again. "
                                "Click Continue to install now: the files are replaced when "
                                "Windows restarts.";
    Text += " Click Cancel to leave everything as it is.";
    return Text;
}
