#pragma once
// The keys setup keeps below HKEY_LOCAL_MACHINE, all in the 32-bit view
// where every earlier (32-bit) installation of the product wrote them: the
// record, the entry in the list of installed apps and the journal of a run
// in progress. Windows only. Reads answer with their result; writes as
// Error.h says.

#include "platform/Owners.h"

#include <string>
#include <vector>

// The view every key of ours is opened in.
inline constexpr REGSAM MachineView = KEY_WOW64_32KEY;

// The key at Path below HKEY_LOCAL_MACHINE; empty when it cannot be opened.
TRegKey OpenMachineKey(const std::string& Path, REGSAM Access = KEY_READ);
// Opens the key, creating it (and its parents) when missing; empty on failure.
TRegKey CreateMachineKey(const std::string& Path);
// Deletes the key with all its sub-keys; failures are not reported.
void DeleteMachineKey(const std::string& Path);
// Deletes Parent\Name with all its sub-keys; failures are not reported.
void DeleteKeyTree(HKEY Parent, const std::string& Name);

// Copies every value of From into To, each with its type and bytes.
bool CopyValues(HKEY From, HKEY To);

// A string value; empty when missing or of another type.
std::string ReadText(HKEY Key, const char* Name);
// A number (REG_DWORD); 0 when missing.
DWORD ReadNumber(HKEY Key, const char* Name);
// The strings of a REG_MULTI_SZ value; none when missing.
std::vector<std::string> ReadTexts(HKEY Key, const char* Name);
// Writes that answer false on failure.
bool WriteText(HKEY Key, const char* Name, const std::string& Value);
bool WriteNumber(HKEY Key, const char* Name, DWORD Value);
bool WriteTexts(HKEY Key, const char* Name, const std::vector<std::string>& Values);
// The same writes, raising Exception("Failed to set data for '<Name>'").
void PutText(HKEY Key, const char* Name, const std::string& Value);
void PutNumber(HKEY Key, const char* Name, DWORD Value);
void PutTexts(HKEY Key, const char* Name, const std::vector<std::string>& Values);
