// Identity of the sample ActiveX control, shared by the control and by
// whatever checks its registration.
#pragma once

// Registered under HKEY_CLASSES_ROOT\CLSID by DllRegisterServer.
#define MORVANE_XCONTROLS_CLSID "{08AEDE59-BE36-4B47-85A0-9C677FDE9036}"
#define MORVANE_XCONTROLS_PROGID "Morvane.XControls.1"
#define MORVANE_XCONTROLS_VI_PROGID "Morvane.XControls"
#define MORVANE_XCONTROLS_FILE "MorvaneXControls.ocx"

// The same CLSID as a GUID initialiser, for DEFINE_GUID-style use.
#define MORVANE_XCONTROLS_CLSID_INIT                                                               \
    {                                                                                              \
        0x08aede59, 0xbe36, 0x4b47, {                                                              \
            0x85, 0xa0, 0x9c, 0x67, 0x7f, 0xde, 0x90, 0x36                                         \
        }                                                                                          \
    }
