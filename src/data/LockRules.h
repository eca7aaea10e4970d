#pragma once
// How setup takes its lock (one setup of the product at a time), decided
// from what the system offers and how setup runs. Pure rules, so that a
// test can drive every answer: Wine offers no private namespaces at all.

#include <vector>

enum class TLockWay {
    // A mutex in a private namespace bounded by the Administrators group:
    // nobody else can create it first and so block every setup.
    PrivateNamespace,
    // The machine-wide name "Global\<product> Setup": any user can create it.
    GlobalName,
    // The session's own name: a setup in another session is not seen.
    SessionName,
};

// The ways to try, strongest first. An elevated run never falls back to a
// weaker lock than the strongest the system offers: where no lock of those
// can be had, it does not run at all.
std::vector<TLockWay> LockWays(bool HasPrivateNamespaces, bool Elevated);
