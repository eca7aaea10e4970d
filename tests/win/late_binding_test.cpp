// Functions bound on first use: the first call loads the system folder's
// library and goes through to the real function, later calls skip the
// lookup, and a library or function that cannot be found fails the way the
// callers of that kind of function expect.

#include "platform/LateBinding.h"
#include "platform/OsError.h"
#include "support/Files.h"
#include "support/System.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <ostream>
#include <string>

namespace {

using TMulDiv = decltype(&::MulDiv);
using THresult = HRESULT(WINAPI*)(int, int);
using TRelease = void(WINAPI*)(void*);
using TBool = BOOL(WINAPI*)(int, int, int);

// kernel32 is in the system folder on every system.
constexpr TLateProc KernelMulDiv{"kernel32.dll", "MulDiv"};
TMulDiv MulDivSlot = &TLateBound<TMulDiv>::First<MulDivSlot, KernelMulDiv>;

TEST(LateBinding, FirstCallBindsTheSlotAndGoesThrough) {
    // Three stack arguments the callee removes: a wrong count or order shows
    // in the result, a wrong calling convention in the stack.
    EXPECT_EQ(MulDivSlot(300, 7, 2), 1050);
    const auto Real = reinterpret_cast<TMulDiv>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "MulDiv")));
    EXPECT_EQ(MulDivSlot, Real);
    EXPECT_EQ(MulDivSlot(-9, 10, 3), -30);
}

// A library that exists only beside this test program (and so would be the
// first found by the default search).
constexpr TLateProc Planted{"planted_dll.dll", "DllMain"};
constexpr TLateProc MissingLibrary{"morvane-no-such-library.dll", "Anything"};
constexpr TLateProc MissingFunction{"kernel32.dll", "MorvaneNoSuchFunction"};

// One slot of each kind of function per case.
THresult PlantedHresult = &TLateBound<THresult>::First<PlantedHresult, Planted>;
TRelease PlantedRelease = &TLateBound<TRelease>::First<PlantedRelease, Planted>;
TBool PlantedBool = &TLateBound<TBool>::First<PlantedBool, Planted>;
THresult NoLibraryHresult = &TLateBound<THresult>::First<NoLibraryHresult, MissingLibrary>;
TRelease NoLibraryRelease = &TLateBound<TRelease>::First<NoLibraryRelease, MissingLibrary>;
TBool NoLibraryBool = &TLateBound<TBool>::First<NoLibraryBool, MissingLibrary>;
THresult NoFunctionHresult = &TLateBound<THresult>::First<NoFunctionHresult, MissingFunction>;
TRelease NoFunctionRelease = &TLateBound<TRelease>::First<NoFunctionRelease, MissingFunction>;
TBool NoFunctionBool = &TLateBound<TBool>::First<NoFunctionBool, MissingFunction>;

struct TMissingCase {
    const char* What;
    THresult& Hresult;
    TRelease& Release;
    TBool& Bool;
    DWORD Error;
};

void PrintTo(const TMissingCase& Case, std::ostream* Out) {
    *Out << Case.What;
}

class LateBindingMissing : public ::testing::TestWithParam<TMissingCase> {};

TEST_P(LateBindingMissing, FailsAsTheCallerExpects) {
    const TMissingCase& Case = GetParam();
    const THresult HresultFirst = Case.Hresult;
    const std::string Marker = OwnFolder() + "\\" + Planted.Library + ".loaded";
    DeleteFileA(Marker.c_str());

    SetLastError(0);
    EXPECT_EQ(Case.Hresult(1, 2), HRESULT_FROM_WIN32(Case.Error));
    EXPECT_EQ(GetLastError(), Case.Error);
    EXPECT_EQ(Case.Hresult, HresultFirst) << "a failed lookup is tried again next time";

    SetLastError(0);
    Case.Release(nullptr);
    EXPECT_EQ(GetLastError(), Case.Error);

    try {
        Case.Bool(1, 2, 3);
        ADD_FAILURE() << "no error raised";
    } catch (const EOSError& E) {
        EXPECT_EQ(E.ErrorCode(), Case.Error);
    }
    EXPECT_FALSE(PathExists(Marker)) << "the library beside the program was loaded";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LateBindingMissing,
    ::testing::Values(TMissingCase{"library only beside the program", PlantedHresult,
                                   PlantedRelease, PlantedBool, ERROR_MOD_NOT_FOUND},
                      TMissingCase{"no such library", NoLibraryHresult, NoLibraryRelease,
                                   NoLibraryBool, ERROR_MOD_NOT_FOUND},
                      TMissingCase{"no such function", NoFunctionHresult, NoFunctionRelease,
                                   NoFunctionBool, ERROR_PROC_NOT_FOUND}),
    [](const auto& Info) {
        std::string Name;
        for (const char* C = Info.param.What; *C; ++C)
            if (std::isalnum(static_cast<unsigned char>(*C))) Name += *C;
        return Name;
    });

TEST(LateBinding, TheLibraryBesideTheProgramIsReallyThere) {
    // Without it the first of the cases above would prove nothing.
    const std::string Beside = OwnFolder() + "\\" + Planted.Library;
    EXPECT_TRUE(PathExists(Beside)) << Beside;
}

} // namespace
