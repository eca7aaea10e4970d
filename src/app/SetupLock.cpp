#include "app/SetupLock.h"

#include "data/LockRules.h"
#include "data/Product.h"
#include "platform/OsError.h"
#include "platform/SystemLibrary.h"

#include <windows.h>
#include <shlobj.h>

namespace {

// The private namespace functions, bound late: Wine 8 lacks them and ends a
// program that imports them.
struct TNamespaces {
    TSystemFunction<HANDLE(WINAPI*)(LPCSTR, ULONG)> CreateBoundary{"kernel32.dll",
                                                                   "CreateBoundaryDescriptorA"};
    TSystemFunction<BOOL(WINAPI*)(HANDLE*, PSID)> AddSid{"kernel32.dll",
                                                         "AddSIDToBoundaryDescriptor"};
    TSystemFunction<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCSTR)> Create{
        "kernel32.dll", "CreatePrivateNamespaceA"};
    TSystemFunction<HANDLE(WINAPI*)(LPVOID, LPCSTR)> Open{"kernel32.dll", "OpenPrivateNamespaceA"};
    TSystemFunction<VOID(WINAPI*)(HANDLE)> DeleteBoundary{"kernel32.dll",
                                                          "DeleteBoundaryDescriptor"};
    bool Present() const { return CreateBoundary && AddSid && Create && Open && DeleteBoundary; }
};

const TNamespaces Namespaces;

bool RunsElevated() {
    THandle Token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.put())) return false;
    TOKEN_ELEVATION Elevation{};
    DWORD Size = 0;
    // Before Vista there is no elevation to ask about: an administrator's
    // run counts as elevated.
    if (!GetTokenInformation(Token.get(), TokenElevation, &Elevation, sizeof Elevation, &Size))
        return IsUserAnAdmin() != FALSE;
    return Elevation.TokenIsElevated != 0;
}

} // namespace

TSetupLock::TSetupLock() {
    const std::string Name = std::string(Product.Name) + " Setup";
    for (TLockWay Way : LockWays(Namespaces.Present(), RunsElevated())) {
        switch (Way) {
        case TLockWay::PrivateNamespace:
            FMutex.reset(NamespaceMutex(Name));
            break;
        case TLockWay::GlobalName:
            // Machine-wide, so that a setup in another session counts too.
            FMutex.reset(CreateMutexA(nullptr, FALSE, ("Global\\" + Name).c_str()));
            break;
        case TLockWay::SessionName:
            FMutex.reset(CreateMutexA(nullptr, FALSE, ("Local\\" + Name).c_str()));
            break;
        }
        const DWORD Error = GetLastError();
        if (FMutex) {
            FState = Error == ERROR_ALREADY_EXISTS ? TLockState::OtherSetup : TLockState::Held;
            return;
        }
        // Someone else's object of that name that we may not open: another
        // setup's (of another user) or a squatter's, either way not ours.
        if (Error == ERROR_ACCESS_DENIED && Way != TLockWay::PrivateNamespace) {
            FState = TLockState::OtherSetup;
            return;
        }
        FReason = SysErrorMessage(Error);
    }
    FState = TLockState::None;
}

HANDLE TSetupLock::NamespaceMutex(const std::string& Name) {
    const std::string Alias = std::string(Product.ShortName) + "SetupLock";
    HANDLE Boundary = Namespaces.CreateBoundary(Alias.c_str(), 0);
    if (!Boundary) return nullptr;
    BYTE Sid[SECURITY_MAX_SID_SIZE];
    DWORD Size = sizeof Sid;
    HANDLE Mutex = nullptr;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, Sid, &Size) &&
        Namespaces.AddSid(&Boundary, Sid)) {
        // Only the Administrators may open the namespace, as its boundary says.
        HANDLE Space = Namespaces.Create(nullptr, Boundary, Alias.c_str());
        if (!Space && GetLastError() == ERROR_ALREADY_EXISTS)
            Space = Namespaces.Open(Boundary, Alias.c_str());
        if (Space) {
            FNamespace.reset(Space);
            Mutex = CreateMutexA(nullptr, FALSE, (Alias + "\\" + Name).c_str());
        }
    }
    const DWORD Error = GetLastError();
    Namespaces.DeleteBoundary(Boundary);
    SetLastError(Error);
    return Mutex;
}

void TSetupLock::TCloseNamespace::operator()(HANDLE Space) const {
    static const TSystemFunction<BOOLEAN(WINAPI*)(HANDLE, ULONG)> Close{"kernel32.dll",
                                                                        "ClosePrivateNamespace"};
    if (Close) Close(Space, 0);
}

std::string NoLockText(const std::string& Reason) {
    return std::string("Setup of ") + Product.Name +
           " cannot make sure that no other setup of it runs at the same time, so it does not "
           "run: " +
           (Reason.empty() ? "the system offers no lock for it." : Reason);
}

std::string AnotherSetupText() {
    return std::string("Setup of ") + Product.Name +
           " is already running. Wait until it has ended, then start setup again.";
}
