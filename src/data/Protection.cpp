#include "data/Protection.h"

#include "data/FolderRules.h"
#include "data/FolderSafety.h"
#include "platform/Owners.h"
#include "platform/Utils.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <memory>

namespace {

struct TEntry {
    WELL_KNOWN_SID_TYPE Sid;
    DWORD Access;
};

// A security descriptor built from well-known SIDs, for the lifetime of the
// object.
class TDescriptor {
public:
    explicit TDescriptor(TProtection Kind) {
        const TEntry HandOver[] = {{WinLocalSystemSid, FILE_ALL_ACCESS},
                                   {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS}};
        const TEntry Installation[] = {
            {WinLocalSystemSid, FILE_ALL_ACCESS},
            {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
            {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
        const TEntry SetupState[] = {{WinLocalSystemSid, KEY_ALL_ACCESS},
                                     {WinBuiltinAdministratorsSid, KEY_ALL_ACCESS}};
        switch (Kind) {
        case TProtection::HandOver:
            Build(HandOver, std::size(HandOver), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
            break;
        case TProtection::Installation:
            Build(Installation, std::size(Installation),
                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
            break;
        case TProtection::SetupState:
            // Keys know no objects: sub-keys inherit.
            Build(SetupState, std::size(SetupState), CONTAINER_INHERIT_ACE);
            break;
        }
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;

    SECURITY_DESCRIPTOR* Get() { return FReady ? &FDescriptor : nullptr; }
    ACL* Acl() { return FReady ? reinterpret_cast<ACL*>(FAcl) : nullptr; }

private:
    void Build(const TEntry* Entries, std::size_t Count, DWORD Inherit) {
        if (!InitializeAcl(reinterpret_cast<ACL*>(FAcl), sizeof FAcl, ACL_REVISION)) return;
        for (std::size_t I = 0; I < Count; ++I) {
            BYTE Sid[SECURITY_MAX_SID_SIZE];
            DWORD Size = sizeof Sid;
            // Inherited by everything made inside.
            if (!CreateWellKnownSid(Entries[I].Sid, nullptr, Sid, &Size) ||
                !AddAccessAllowedAceEx(reinterpret_cast<ACL*>(FAcl), ACL_REVISION, Inherit,
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

    alignas(DWORD) BYTE FAcl[512] = {};
    SECURITY_DESCRIPTOR FDescriptor{};
    bool FReady = false;
};

// What lets somebody change a folder or what is in it: write or add files
// and folders, delete them or the folder, change its permissions or owner.
constexpr ACCESS_MASK ChangeRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES |
    DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

// The SIDs nobody but an administrator acts as; TrustedInstaller is the
// service SID the system's own folders belong to.
bool IsTrustedSid(PSID Sid, const std::string& SelfSid) {
    if (!Sid || !IsValidSid(Sid)) return false;
    if (IsWellKnownSid(Sid, WinLocalSystemSid) || IsWellKnownSid(Sid, WinBuiltinAdministratorsSid))
        return true;
    LPSTR Text = nullptr;
    if (!ConvertSidToStringSidA(Sid, &Text)) return false;
    const std::string Name = Text;
    LocalFree(Text);
    return Name == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464" ||
           (!SelfSid.empty() && Name == SelfSid);
}

// An entry that is filled in for the one who creates a file or folder
// inside: only somebody who may create there already gets anything by it.
bool IsCreatorSid(PSID Sid) {
    return IsWellKnownSid(Sid, WinCreatorOwnerSid) || IsWellKnownSid(Sid, WinCreatorGroupSid);
}

bool LetsOthersChange(const ACL* Dacl, const std::string& SelfSid) {
    // No DACL at all: everybody may do anything.
    if (!Dacl) return true;
    for (DWORD Index = 0; Index < Dacl->AceCount; ++Index) {
        void* Raw = nullptr;
        if (!GetAce(const_cast<ACL*>(Dacl), Index, &Raw)) return true;
        const auto* Header = static_cast<const ACE_HEADER*>(Raw);
        const bool Allows = Header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
                            Header->AceType == ACCESS_ALLOWED_OBJECT_ACE_TYPE ||
                            Header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
                            Header->AceType == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE;
        if (!Allows) continue;
        const auto* Ace = static_cast<const ACCESS_ALLOWED_ACE*>(Raw);
        if (!(Ace->Mask & ChangeRights)) continue;
        // The other kinds place their SID elsewhere: counted as somebody else.
        if (Header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;
        const PSID Sid = const_cast<DWORD*>(&Ace->SidStart);
        if (!IsTrustedSid(Sid, SelfSid) && !IsCreatorSid(Sid)) return true;
    }
    return false;
}

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

std::string CreateUniqueProtectedFolder(const std::string& Prefix, TProtection Kind) {
    TDescriptor Descriptor(Kind);
    if (!Descriptor.Get()) return {};
    SECURITY_ATTRIBUTES Attributes{sizeof Attributes, Descriptor.Get(), FALSE};
    return CreateUniqueFolder(Prefix, &Attributes);
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

std::string CreateUniqueInstallationFolder(const std::string& Prefix,
                                           const std::function<void(const std::string&)>& Noting) {
    if (InProtectedLocation(Prefix)) return CreateUniqueFolder(Prefix, nullptr, Noting);
    TDescriptor Descriptor(TProtection::Installation);
    if (!Descriptor.Get()) return {};
    SECURITY_ATTRIBUTES Attributes{sizeof Attributes, Descriptor.Get(), FALSE};
    return CreateUniqueFolder(Prefix, &Attributes, Noting);
}

TFolderTrust JudgeFolderSecurity(const std::string& Sddl, const std::string& SelfSid) {
    PSECURITY_DESCRIPTOR Descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(Sddl.c_str(), SDDL_REVISION_1,
                                                              &Descriptor, nullptr))
        return TFolderTrust::ForeignOwner;
    PSID Owner = nullptr;
    BOOL Defaulted = FALSE, Present = FALSE;
    ACL* Dacl = nullptr;
    TFolderTrust Trust = TFolderTrust::ForeignOwner;
    if (GetSecurityDescriptorOwner(Descriptor, &Owner, &Defaulted) &&
        IsTrustedSid(Owner, SelfSid) &&
        GetSecurityDescriptorDacl(Descriptor, &Present, &Dacl, &Defaulted))
        Trust = LetsOthersChange(Present ? Dacl : nullptr, SelfSid) ? TFolderTrust::OpenToOthers
                                                                    : TFolderTrust::Trusted;
    LocalFree(Descriptor);
    return Trust;
}

std::string SecuritySddlOf(HANDLE Object) {
    PSECURITY_DESCRIPTOR Descriptor = nullptr;
    const SECURITY_INFORMATION Wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (GetSecurityInfo(Object, SE_FILE_OBJECT, Wanted, nullptr, nullptr, nullptr, nullptr,
                        &Descriptor) != ERROR_SUCCESS)
        return {};
    LPSTR Text = nullptr;
    std::string Sddl;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(Descriptor, SDDL_REVISION_1, Wanted,
                                                             &Text, nullptr)) {
        Sddl = Text;
        LocalFree(Text);
    }
    LocalFree(Descriptor);
    return Sddl;
}

std::string OwnAccountSid() {
    THandle Token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put())) return {};
    alignas(TOKEN_USER) BYTE Buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD Size = 0;
    LPSTR Text = nullptr;
    if (!GetTokenInformation(Token.get(), TokenUser, Buffer, sizeof Buffer, &Size) ||
        !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(Buffer)->User.Sid, &Text))
        return {};
    const std::string Sid = Text;
    LocalFree(Text);
    return Sid;
}

bool ProtectOpenFolder(HANDLE Folder) {
    TDescriptor Descriptor(TProtection::Installation);
    if (!Descriptor.Acl()) return false;
    const DWORD Status = SetSecurityInfo(
        Folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        nullptr, nullptr, Descriptor.Acl(), nullptr);
    SetLastError(Status);
    return Status == ERROR_SUCCESS;
}

bool ProtectSetupKey(HKEY Key) {
    TDescriptor Descriptor(TProtection::SetupState);
    return Descriptor.Get() &&
           RegSetKeySecurity(Key, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                             Descriptor.Get()) == ERROR_SUCCESS;
}
