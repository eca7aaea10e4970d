// The list of installed files comes from a file anyone may have edited:
// whatever it holds, each entry kept must stay below the folder.
#include "data/FolderRules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
bool Lead(unsigned char Byte) {
    return Byte >= 0x81 && Byte <= 0x9F;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    for (TLeadBytePredicate IsLead : {static_cast<TLeadBytePredicate>(nullptr), &Lead}) {
        for (const std::string& Entry : ParseFileList(Text, IsLead)) {
            // Every entry is a relative path of acceptable levels: as a
            // program folder (the same level rules) it must pass, and it
            // reads back unchanged from a formatted list.
            if (CheckProgramFolder(Entry, IsLead) != TFolderVerdict::Ok) std::abort();
            // (In a double-byte code page a second byte may carry any code.)
            if (!IsLead && Entry.find(':') != std::string::npos) std::abort();
        }
        const auto Entries = ParseFileList(Text, IsLead);
        if (ParseFileList(FormatFileList(Entries), IsLead) != Entries) std::abort();
        CheckDestination(Text, TSystemFolders{{"C:\\Windows"}, {}, {}, {}}, IsLead);
        ComparablePath(Text, IsLead);
    }
    return 0;
}
