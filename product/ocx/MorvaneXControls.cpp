// MorvaneXControls.ocx: the sample product's in-process COM server. Its one
// class does nothing beyond IUnknown; what matters to the setup program is
// that it registers and unregisters itself like any ActiveX control.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "MorvaneXControls.h"

namespace {

HINSTANCE ModuleInstance = nullptr;
LONG ObjectCount = 0; // live objects and server locks: DllCanUnloadNow
const CLSID ClsidXControls = MORVANE_XCONTROLS_CLSID_INIT;

class TXControl : public IUnknown {
public:
    TXControl() { InterlockedIncrement(&ObjectCount); }
    virtual ~TXControl() { InterlockedDecrement(&ObjectCount); }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&FRefs); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG refs = InterlockedDecrement(&FRefs);
        if (refs == 0) delete this;
        return refs;
    }

private:
    LONG FRefs = 1;
};

class TClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory lives as long as the module.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* control = new (std::nothrow) TXControl;
        if (!control) return E_OUTOFMEMORY;
        HRESULT hr = control->QueryInterface(riid, object);
        control->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&ObjectCount);
        else
            InterlockedDecrement(&ObjectCount);
        return S_OK;
    }
};

TClassFactory Factory;

// Writes one string value (the default one when name is null) under HKCR\key.
LONG SetClassesValue(const std::string& key, const char* name, const std::string& value) {
    HKEY handle = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        DWORD(value.size() + 1));
    RegCloseKey(handle);
    return rc;
}

LONG DeleteClassesKey(const char* key) {
    LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    return ObjectCount == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, ClsidXControls)) return CLASS_E_CLASSNOTAVAILABLE;
    return Factory.QueryInterface(riid, object);
}

STDAPI DllRegisterServer() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(ModuleInstance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
    const std::string clsidKey = std::string("CLSID\\") + MORVANE_XCONTROLS_CLSID;
    const struct {
        std::string Key;
        const char* Name;
        std::string Value;
    } values[] = {
        {clsidKey, nullptr, "Morvane XControls"},
        {clsidKey + "\\InprocServer32", nullptr, path},
        {clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsidKey + "\\ProgID", nullptr, MORVANE_XCONTROLS_PROGID},
        {clsidKey + "\\VersionIndependentProgID", nullptr, MORVANE_XCONTROLS_VI_PROGID},
        {MORVANE_XCONTROLS_PROGID, nullptr, "Morvane XControls"},
        {MORVANE_XCONTROLS_PROGID "\\CLSID", nullptr, MORVANE_XCONTROLS_CLSID},
        {MORVANE_XCONTROLS_VI_PROGID, nullptr, "Morvane XControls"},
        {MORVANE_XCONTROLS_VI_PROGID "\\CLSID", nullptr, MORVANE_XCONTROLS_CLSID},
        {MORVANE_XCONTROLS_VI_PROGID "\\CurVer", nullptr, MORVANE_XCONTROLS_PROGID},
    };
    for (const auto& v : values) {
        LONG rc = SetClassesValue(v.Key, v.Name, v.Value);
        if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    }
    return S_OK;
}

STDAPI DllUnregisterServer() {
    const char* keys[] = {"CLSID\\" MORVANE_XCONTROLS_CLSID, MORVANE_XCONTROLS_PROGID,
                          MORVANE_XCONTROLS_VI_PROGID};
    HRESULT result = S_OK;
    for (const char* key : keys) {
        LONG rc = DeleteClassesKey(key);
        if (rc != ERROR_SUCCESS) result = HRESULT_FROM_WIN32(rc);
    }
    return result;
}
