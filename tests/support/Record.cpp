#include "support/Record.h"

#include "data/Product.h"

TRegKey OpenProductKey(const std::string& Path, REGSAM Access) {
    TRegKey Key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, Access | KEY_WOW64_32KEY, Key.put()) !=
        ERROR_SUCCESS)
        Key.reset();
    return Key;
}

void DeleteProductRecord() {
    if (const TRegKey Key = OpenProductKey(Product.RecordKey, KEY_ALL_ACCESS))
        RegDeleteTreeA(Key.get(), nullptr);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, Product.RecordKey, KEY_WOW64_32KEY, 0);
}

TSetupFolder::TSetupFolder(const std::string& Tag, const std::string& Version)
    : FFolder(Tag), FWritten((DeleteProductRecord(), WriteWholeFile(FFolder / "version", Version))),
      FCurrent(FFolder.Path()) {}

TSetupFolder::~TSetupFolder() {
    DeleteProductRecord();
}
