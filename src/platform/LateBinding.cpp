// The shell, COM and common-dialog functions the setup program calls, bound
// on first use (LateBinding.h). Under Wine these libraries import the common
// controls, whose start-up loads the theme library by the default search,
// program folder first; imported, all of that would happen before WinMain
// could restrict the search. Only the program links this file: each
// definition below takes the place of the import library's entry of the
// same name, so that the program's import table names none of the three
// libraries (the window tests link the import libraries as usual).
//
// Calls compile to "call *__imp__Name@N" on 32-bit Windows, where the name
// carries the stdcall decoration (the system headers declare these
// functions dllimport), and to "call *__imp_Name" on 64-bit Windows, which
// has one calling convention and no decoration. A function called here for
// the first time that is missing from this list shows up in the import
// table again, which a test checks.
//
// Each function also gets its plain name here, as the import library's
// entry has it: a jump through the slot. The program's link-time optimiser
// names the functions its parts call by those names before it compiles
// them; without this definition the linker would take the import library's
// entry for the name, and with it the library's own slot.

#include "platform/LateBinding.h"

#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#ifdef _WIN64
#define MORVANE_IMPORT_SLOT(Function, Bytes) "__imp_" #Function
#define MORVANE_PLAIN_NAME(Function, Bytes) #Function
#define MORVANE_JUMP_THROUGH(Slot) "jmp *" Slot "(%rip)"
#define MORVANE_CHECK_DECORATION(Function, Bytes)
#else
#define MORVANE_IMPORT_SLOT(Function, Bytes) "__imp__" #Function "@" #Bytes
#define MORVANE_PLAIN_NAME(Function, Bytes) "_" #Function "@" #Bytes
#define MORVANE_JUMP_THROUGH(Slot) "jmp *" Slot
#define MORVANE_CHECK_DECORATION(Function, Bytes)                                                  \
    static_assert(TLate_##Function::StackBytes == Bytes, "wrong decoration of " #Function);
#endif

// All slots share one section: each in a section of its own took 16 bytes
// (the assembler pads a data section to its alignment), and the 64-bit
// program's data then needed one more 512-byte block of the file.
#define MORVANE_SLOT_SECTION __attribute__((section(".data$late")))

#define MORVANE_LATE_BIND(Library, Function, Bytes)                                                \
    namespace {                                                                                    \
    constexpr TLateProc Late_##Function{Library, #Function};                                       \
    using TLate_##Function = TLateBound<decltype(&::Function)>;                                    \
    MORVANE_CHECK_DECORATION(Function, Bytes)                                                      \
    }                                                                                              \
    extern "C" decltype(&::Function) Slot_##Function asm(MORVANE_IMPORT_SLOT(Function, Bytes));    \
    MORVANE_SLOT_SECTION decltype(&::Function) Slot_##Function =                                   \
        &TLate_##Function::First<Slot_##Function, Late_##Function>;                                \
    asm(".section .text.late." #Function                                                           \
        ",\"x\"\n\t.globl \"" MORVANE_PLAIN_NAME(Function, Bytes) "\"\n\"" MORVANE_PLAIN_NAME(     \
            Function,                                                                              \
            Bytes) "\":\n\t" MORVANE_JUMP_THROUGH("\"" MORVANE_IMPORT_SLOT(Function,               \
                                                                           Bytes) "\"") "\n\t."    \
                                                                                        "text");

MORVANE_LATE_BIND("shell32.dll", SHBrowseForFolderA, 4)
MORVANE_LATE_BIND("shell32.dll", SHFileOperationA, 4)
MORVANE_LATE_BIND("shell32.dll", SHGetDesktopFolder, 4)
MORVANE_LATE_BIND("shell32.dll", SHGetFolderPathA, 20)
MORVANE_LATE_BIND("shell32.dll", SHGetPathFromIDListA, 8)
MORVANE_LATE_BIND("shell32.dll", SHGetSpecialFolderLocation, 12)
MORVANE_LATE_BIND("shell32.dll", ShellExecuteA, 24)
MORVANE_LATE_BIND("shell32.dll", ShellExecuteExA, 4)
MORVANE_LATE_BIND("shell32.dll", IsUserAnAdmin, 0)

MORVANE_LATE_BIND("ole32.dll", CoCreateInstance, 20)
MORVANE_LATE_BIND("ole32.dll", CoInitializeEx, 8)
MORVANE_LATE_BIND("ole32.dll", CoTaskMemFree, 4)
MORVANE_LATE_BIND("ole32.dll", CoUninitialize, 0)

MORVANE_LATE_BIND("comdlg32.dll", GetSaveFileNameA, 4)

MORVANE_LATE_BIND("oleaut32.dll", SysAllocString, 4)
MORVANE_LATE_BIND("oleaut32.dll", SysFreeString, 4)
