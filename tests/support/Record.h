#pragma once
// The product's registry record and the setup folder the program starts in,
// as every test that builds installation data sets them up. Windows only.

#include "platform/Owners.h"
#include "support/Files.h"
#include "support/System.h"

#include <string>

// A key below HKEY_LOCAL_MACHINE in the 32-bit view, where the record lives
// whichever the installer's architecture; empty when it cannot be opened.
TRegKey OpenProductKey(const std::string& Path, REGSAM Access = KEY_READ);
// The record with everything below it; nothing when there is none.
void DeleteProductRecord();

// A folder of the test's own holding the file "version" (Version as its
// text), made the current folder, as the setup program's folder is; the
// record is deleted when it is made and when it goes.
class TSetupFolder {
public:
    explicit TSetupFolder(const std::string& Tag, const std::string& Version = "2.5.1\r\n");
    ~TSetupFolder();
    TSetupFolder(const TSetupFolder&) = delete;
    TSetupFolder& operator=(const TSetupFolder&) = delete;

    // False when the version file could not be written.
    bool Ready() const { return FWritten; }
    const std::string& Path() const { return FFolder.Path(); }
    std::string operator/(const std::string& Name) const { return FFolder / Name; }

private:
    TTempFolder FFolder;
    bool FWritten;
    TCurrentFolder FCurrent;
};
