#include "data/LockRules.h"

std::vector<TLockWay> LockWays(bool HasPrivateNamespaces, bool Elevated) {
    if (HasPrivateNamespaces && Elevated) return {TLockWay::PrivateNamespace};
    if (Elevated) return {TLockWay::GlobalName};
    // Without the Administrators' rights a namespace bounded by them cannot
    // be made; such a run changes nothing machine-wide anyway.
    std::vector<TLockWay> Ways;
    if (HasPrivateNamespaces) Ways.push_back(TLockWay::PrivateNamespace);
    Ways.push_back(TLockWay::GlobalName);
    Ways.push_back(TLockWay::SessionName);
    return Ways;
}
