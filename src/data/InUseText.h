#pragma once
// What setup says about files that other programs hold open. Pure text,
// so that the wording can be checked with any names on any platform: the
// names themselves come from the system (Restart Manager) where it can tell.

#include <string>
#include <vector>

// A file of ours that another program holds, and the names of the
// programs that hold it as far as the system can tell (none: unknown).
struct THeldFile {
    std::string Entry; // relative to the installation folder
    std::string Path;  // in full
    std::vector<std::string> Holders;
};

// "\"<path>\" is in use by <holders>.", or "... by another program." when
// the holders are unknown.
std::string InUseLine(const std::string& Path, const std::vector<std::string>& Holders);

// The wizard's question: which files are held, and the three ways on.
// At most Shown files are named; the rest are counted.
std::string InUseQuestion(const std::vector<THeldFile>& Files, const std::string& ProductName,
                          std::size_t Shown = 10);

// The log line for a held file whose new content is put in place at the
// next start of Windows.
std::string RestartLine(const std::string& Path, const std::vector<std::string>& Holders);
