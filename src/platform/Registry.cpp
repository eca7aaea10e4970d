#include "platform/Registry.h"
#include "platform/Error.h"

TRegKey OpenMachineKey(const std::string& Path, REGSAM Access) {
    TRegKey Key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, Access | MachineView, Key.put()) !=
        ERROR_SUCCESS)
        Key.reset();
    return Key;
}

TRegKey CreateMachineKey(const std::string& Path) {
    TRegKey Key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | MachineView, nullptr, Key.put(), nullptr) != ERROR_SUCCESS)
        Key.reset();
    return Key;
}

void DeleteKeyTree(HKEY Parent, const std::string& Name) {
    TRegKey Key;
    if (RegOpenKeyExA(Parent, Name.c_str(), 0, KEY_READ | MachineView, Key.put()) ==
        ERROR_SUCCESS) {
        // Sub-keys first; collected before deleting so the indices stay valid.
        std::vector<std::string> SubKeys;
        char SubName[256];
        for (DWORD Index = 0;; ++Index) {
            DWORD Length = sizeof SubName;
            if (RegEnumKeyExA(Key.get(), Index, SubName, &Length, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            SubKeys.emplace_back(SubName, Length);
        }
        for (const std::string& Sub : SubKeys)
            DeleteKeyTree(Key.get(), Sub);
    }
    RegDeleteKeyExA(Parent, Name.c_str(), MachineView, 0);
}

void DeleteMachineKey(const std::string& Path) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, Path);
}

bool CopyValues(HKEY From, HKEY To) {
    DWORD Count = 0, NameMax = 0, DataMax = 0;
    if (RegQueryInfoKeyA(From, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count,
                         &NameMax, &DataMax, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    std::string Name(NameMax + 1, '\0');
    std::vector<BYTE> Data(DataMax + 1);
    for (DWORD Index = 0; Index < Count; ++Index) {
        DWORD NameLength = static_cast<DWORD>(Name.size());
        DWORD Size = static_cast<DWORD>(Data.size()), Type = 0;
        if (RegEnumValueA(From, Index, Name.data(), &NameLength, nullptr, &Type, Data.data(),
                          &Size) != ERROR_SUCCESS ||
            RegSetValueExA(To, Name.c_str(), 0, Type, Data.data(), Size) != ERROR_SUCCESS)
            return false;
    }
    return true;
}

std::string ReadText(HKEY Key, const char* Name) {
    DWORD Type = 0, Size = 0;
    if (RegQueryValueExA(Key, Name, nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS ||
        (Type != REG_SZ && Type != REG_EXPAND_SZ))
        return {};
    std::string Value(Size + 1, '\0');
    if (RegQueryValueExA(Key, Name, nullptr, &Type, reinterpret_cast<BYTE*>(Value.data()), &Size) !=
        ERROR_SUCCESS)
        return {};
    return std::string(Value.c_str());
}

DWORD ReadNumber(HKEY Key, const char* Name) {
    DWORD Value = 0, Size = sizeof Value, Type = 0;
    if (RegQueryValueExA(Key, Name, nullptr, &Type, reinterpret_cast<BYTE*>(&Value), &Size) !=
            ERROR_SUCCESS ||
        Type != REG_DWORD)
        return 0;
    return Value;
}

std::vector<std::string> ReadTexts(HKEY Key, const char* Name) {
    std::vector<std::string> Values;
    DWORD Type = 0, Size = 0;
    if (RegQueryValueExA(Key, Name, nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS ||
        Type != REG_MULTI_SZ)
        return Values;
    std::string Data(Size + 2, '\0');
    if (RegQueryValueExA(Key, Name, nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Size) !=
        ERROR_SUCCESS)
        return Values;
    for (const char* Text = Data.c_str(); *Text; Text += strlen(Text) + 1)
        Values.emplace_back(Text);
    return Values;
}

bool WriteText(HKEY Key, const char* Name, const std::string& Value) {
    return RegSetValueExA(Key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                          static_cast<DWORD>(Value.size() + 1)) == ERROR_SUCCESS;
}

bool WriteNumber(HKEY Key, const char* Name, DWORD Value) {
    return RegSetValueExA(Key, Name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Value),
                          sizeof Value) == ERROR_SUCCESS;
}

bool WriteTexts(HKEY Key, const char* Name, const std::vector<std::string>& Values) {
    std::string Data;
    for (const std::string& Value : Values)
        Data.append(Value).push_back('\0');
    Data.push_back('\0');
    return RegSetValueExA(Key, Name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(Data.data()),
                          static_cast<DWORD>(Data.size())) == ERROR_SUCCESS;
}

namespace {

void RaiseUnset(bool Written, const char* Name) {
    if (!Written) throw Exception(std::string("Failed to set data for '") + Name + "'");
}

} // namespace

void PutText(HKEY Key, const char* Name, const std::string& Value) {
    RaiseUnset(WriteText(Key, Name, Value), Name);
}

void PutNumber(HKEY Key, const char* Name, DWORD Value) {
    RaiseUnset(WriteNumber(Key, Name, Value), Name);
}

void PutTexts(HKEY Key, const char* Name, const std::vector<std::string>& Values) {
    RaiseUnset(WriteTexts(Key, Name, Values), Name);
}
