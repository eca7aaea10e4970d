#include "data/Protection.h"

#include "data/FolderRules.h"
#include "data/FolderSafety.h"
#include "platform/Owners.h"

#include <windows.h>
#include <sddl.h>

#include <memory>

namespace {

// A security descriptor built from well-known SIDs, for the lifetime of the
// object.
class TDescriptor {
public:
    explicit TDescriptor(TProtection Kind) {
        struct TEntry {
            WELL_KNOWN_SID_TYPE Sid;
            DWORD Access;
        };
        const TEntry HandOver[] = {{WinLocalSystemSid, FILE_ALL_ACCESS},
                                   {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS}};
        const TEntry Installation[] = {
            {WinLocalSystemSid, FILE_ALL_ACCESS},
            {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
            {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
        const bool Hand = Kind == TProtection::HandOver;
        const TEntry* Entries = Hand ? HandOver : Installation;
        const std::size_t Count = Hand ? std::size(HandOver) : std::size(Installation);
        if (!InitializeAcl(reinterpret_cast<ACL*>(FAcl), sizeof FAcl, ACL_REVISION)) return;
        for (std::size_t I = 0; I < Count; ++I) {
            BYTE Sid[SECURITY_MAX_SID_SIZE];
            DWORD Size = sizeof Sid;
            // Inherited by everything made inside, files and folders.
            if (!CreateWellKnownSid(Entries[I].Sid, nullptr, Sid, &Size) ||
                !AddAccessAllowedAceEx(reinterpret_cast<ACL*>(FAcl), ACL_REVISION,
                                       OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                       Entries[I].Access, Sid))
                return;
        }
        // Protected: nothing of the parent's (a drive root's "Authenticated
        // Users: Modify") flows in.
        FReady = InitializeSecurityDescriptor(&FDescriptor, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&FDescriptor, TRUE, reinterpret_cast<ACL*>(FAcl),
                                           FALSE) &&
                 SetSecurityDescriptorControl(&FDescriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;

    SECURITY_DESCRIPTOR* Get() { return FReady ? &FDescriptor : nullptr; }

private:
    alignas(DWORD) BYTE FAcl[512] = {};
    SECURITY_DESCRIPTOR FDescriptor{};
    bool FReady = false;
};

} // namespace

std::string ProtectionSddl(TProtection Kind) {
    TDescriptor Descriptor(Kind);
    if (!Descriptor.Get()) return {};
    LPSTR Text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
            Descriptor.Get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &Text, nullptr))
        return {};
    const std::string Sddl = Text;
    LocalFree(Text);
    return Sddl;
}

bool CreateProtectedFolder(const std::string& Path, TProtection Kind) {
    TDescriptor Descriptor(Kind);
    if (!Descriptor.Get()) return false;
    SECURITY_ATTRIBUTES Attributes{sizeof Attributes, Descriptor.Get(), FALSE};
    return CreateDirectoryA(Path.c_str(), &Attributes) != FALSE;
}

bool InProtectedLocation(const std::string& Path) {
    const std::string Comparable = ComparablePath(Path, IsAnsiLeadByte) + "\\";
    for (const std::string& Folder : SystemFolders().ProgramFiles) {
        const std::string Base = ComparablePath(Folder, IsAnsiLeadByte) + "\\";
        if (Comparable.size() > Base.size() && Comparable.compare(0, Base.size(), Base) == 0)
            return true;
    }
    return false;
}

bool CreateInstallationFolder(const std::string& Path) {
    if (InProtectedLocation(Path)) return CreateDirectoryA(Path.c_str(), nullptr) != FALSE;
    return CreateProtectedFolder(Path, TProtection::Installation);
}
