#pragma once
// Runs its action when the scope is left, whichever way (return, raise): for
// the one-off restores that no owner type of a resource covers. Portable;
// the Windows owners are in Owners.h.

#include <utility>

template <class TAction> class TScopeExit {
public:
    explicit TScopeExit(TAction Action) : FAction(std::move(Action)) {}
    ~TScopeExit() { FAction(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    TAction FAction;
};
