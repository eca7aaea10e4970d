#pragma once
// One setup of the product at a time: a lock held for the whole run, in a
// private namespace bounded by the Administrators where Windows has them.

#include "platform/Owners.h"

#include <string>

enum class TLockState { Held, OtherSetup, None };

// Holds the product's setup lock for as long as it lives.
class TSetupLock {
public:
    TSetupLock();
    // Held; OtherSetup when another setup of this product holds it; None
    // when no lock could be had at all (Reason says why).
    TLockState State() const { return FState; }
    const std::string& Reason() const { return FReason; }

private:
    HANDLE NamespaceMutex(const std::string& Name);
    struct TCloseNamespace {
        void operator()(HANDLE Space) const;
    };
    THandleOwner<TCloseNamespace> FNamespace;
    THandle FMutex; // released before the namespace closes
    TLockState FState = TLockState::None;
    std::string FReason;
};

// The messages of these cases, for a message box or the log.
std::string AnotherSetupText();
std::string NoLockText(const std::string& Reason);
