// Archive paths made safe for extraction, and file masks.
#pragma once

#include <string>
#include <vector>

namespace unrar {

enum class TPathVerdict {
    Ok,
    Empty,     // nothing but separators and "." components
    Absolute,  // starts with a separator (root, UNC, \\?\)
    Drive,     // a colon: drive letter or alternate data stream
    ParentRef, // a ".." component
    BadName,   // a name Windows cannot hold or treats as a device
    ShortName, // the form of an 8.3 alias ("PROGRA~1"), which may be another file's
};

// Splits an archive path at '/' and '\' (the archive is for Windows, where
// both separate) into the components extraction may use below the
// destination. Refuses anything that could land elsewhere or be read by
// Windows as something else: see TPathVerdict.
TPathVerdict SplitSafePath(const std::string& path, std::vector<std::string>& parts);

// Message text of a refusal.
const char* VerdictText(TPathVerdict verdict);

// Case-insensitive wildcard match of one name: '*' any run, '?' one char.
bool MatchWildcard(const std::string& mask, const std::string& name);

// Whether an entry (its safe components) is selected by a mask. "*" and "*.*"
// select everything. A mask with a separator matches the whole relative path;
// otherwise the entry's name, in any folder when recursing, else at the top.
bool MaskSelects(const std::string& mask, const std::vector<std::string>& parts, bool recurse);

} // namespace unrar
