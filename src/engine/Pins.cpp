#include "engine/Pins.h"

#include "platform/SystemLibrary.h"
#include "platform/Utils.h"

#include <windows.h>
#include <bcrypt.h>

namespace {

// CNG, loaded from the system folder when first needed (it is missing on
// XP, and no library may come from the setup's folder).
struct TCng {
    TSystemFunction<decltype(&BCryptOpenAlgorithmProvider)> Open{"bcrypt.dll",
                                                                 "BCryptOpenAlgorithmProvider"};
    TSystemFunction<decltype(&BCryptGetProperty)> Property{"bcrypt.dll", "BCryptGetProperty"};
    TSystemFunction<decltype(&BCryptCreateHash)> Create{"bcrypt.dll", "BCryptCreateHash"};
    TSystemFunction<decltype(&BCryptHashData)> Hash{"bcrypt.dll", "BCryptHashData"};
    TSystemFunction<decltype(&BCryptFinishHash)> Finish{"bcrypt.dll", "BCryptFinishHash"};
    TSystemFunction<decltype(&BCryptDestroyHash)> Destroy{"bcrypt.dll", "BCryptDestroyHash"};
    TSystemFunction<decltype(&BCryptCloseAlgorithmProvider)> Close{"bcrypt.dll",
                                                                   "BCryptCloseAlgorithmProvider"};
    bool Ready() const { return Open && Property && Create && Hash && Finish && Destroy && Close; }
};

// The pins of this program: the two hashes, or nothing when it has none.
bool ReadPins(std::string& Unrar, std::string& Archive) {
    const HRSRC Found = FindResourceA(nullptr, "PINS", MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!Found) return false;
    const HGLOBAL Loaded = LoadResource(nullptr, Found);
    const char* Text = static_cast<const char*>(LockResource(Loaded));
    const DWORD Size = SizeofResource(nullptr, Found);
    if (!Text || Size < 130) return false;
    Unrar.assign(Text, 64);
    Archive.assign(Text + 65, 64);
    return true;
}

THandle OpenHeld(const std::string& Path) {
    // Read sharing only: nobody writes, renames or deletes it while held.
    return THandle(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

} // namespace

std::string Sha256Of(HANDLE File) {
    static const TCng Cng;
    if (!Cng.Ready() || SetFilePointer(File, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return {};
    BCRYPT_ALG_HANDLE Algorithm = nullptr;
    if (Cng.Open(&Algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return {};
    std::string Hex;
    DWORD ObjectSize = 0, Got = 0;
    if (Cng.Property(Algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&ObjectSize),
                     sizeof ObjectSize, &Got, 0) == 0) {
        std::vector<UCHAR> Object(ObjectSize);
        BCRYPT_HASH_HANDLE Hash = nullptr;
        if (Cng.Create(Algorithm, &Hash, Object.data(), ObjectSize, nullptr, 0, 0) == 0) {
            std::vector<UCHAR> Buffer(1 << 20);
            DWORD Read = 0;
            bool Ok = true;
            while (Ok && ReadFile(File, Buffer.data(), static_cast<DWORD>(Buffer.size()), &Read,
                                  nullptr) &&
                   Read > 0)
                Ok = Cng.Hash(Hash, Buffer.data(), Read, 0) == 0;
            UCHAR Digest[32];
            if (Ok && Cng.Finish(Hash, Digest, sizeof Digest, 0) == 0)
                for (UCHAR Byte : Digest) {
                    Hex += "0123456789abcdef"[Byte >> 4];
                    Hex += "0123456789abcdef"[Byte & 15];
                }
            Cng.Destroy(Hash);
        }
    }
    Cng.Close(Algorithm, 0);
    return Hex;
}

bool TPinnedFiles::Pinned() {
    std::string Unrar, Archive;
    return ReadPins(Unrar, Archive);
}

bool TPinnedFiles::Check(const std::string& Folder, std::vector<std::string>& Lines) {
    if (!FChecked) {
        FChecked = true;
        FGood = true;
        std::string Pins[2];
        if (!ReadPins(Pins[0], Pins[1])) return true;
        const char* Names[] = {"unrar.exe", "data.arc"};
        THandle* Held[] = {&FUnrar, &FArchive};
        for (int I = 0; I < 2; ++I) {
            const std::string Path = PathIn(Folder, Names[I]);
            *Held[I] = OpenHeld(Path);
            const std::string Hash = *Held[I] ? Sha256Of(Held[I]->get()) : std::string();
            if (Hash == Pins[I]) continue;
            FGood = false;
            FLines.push_back("\"" + Path + "\" does not belong to this setup program" +
                             (Hash.empty() ? ": it cannot be read and checked." : "."));
        }
        // The handle's position is where the check left it; the programs
        // that use the files open their own.
    }
    Lines.insert(Lines.end(), FLines.begin(), FLines.end());
    return FGood;
}
