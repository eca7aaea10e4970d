// The handle owners: what a Windows call hands out on failure (nullptr or
// INVALID_HANDLE_VALUE, depending on the call) counts as none, so it is
// neither freed nor taken for a handle; a real one is closed by whichever
// owner holds it last.

#include "platform/Owners.h"
#include "support/System.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

bool IsOpen(HANDLE Handle) {
    DWORD Flags = 0;
    return GetHandleInformation(Handle, &Flags) != FALSE;
}

struct AcquireCase {
    const char* Name;
    HANDLE (*Acquire)();
    bool Owned;
};

class KernelHandle : public testing::TestWithParam<AcquireCase> {};

TEST_P(KernelHandle, FailureIsEmptyARealHandleIsClosedByItsLastOwner) {
    THandle Handle(GetParam().Acquire());
    ASSERT_EQ(static_cast<bool>(Handle), GetParam().Owned);
    const HANDLE Raw = Handle.get();
    THandle Moved(std::move(Handle));
    EXPECT_FALSE(Handle);
    EXPECT_EQ(Moved.get(), Raw);
    if (!GetParam().Owned) return;
    EXPECT_TRUE(IsOpen(Raw));
    Moved.reset();
    EXPECT_FALSE(IsOpen(Raw));
    EXPECT_EQ(Moved.get(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, KernelHandle,
    testing::Values(AcquireCase{"CreateFileMissing",
                                [] {
                                    return CreateFileA((OwnFolder() + "\\no\\such\\file").c_str(),
                                                       GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                                       nullptr);
                                },
                                false},
                    AcquireCase{"OpenProcessNone",
                                [] { return OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0); },
                                false},
                    AcquireCase{"CreateEvent",
                                [] { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }, true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(FindHandle, OnlyAFoundSearchIsOwned) {
    WIN32_FIND_DATAA Data;
    EXPECT_FALSE(TFindHandle(FindFirstFileA((OwnFolder() + "\\no\\such\\*").c_str(), &Data)));
    EXPECT_TRUE(TFindHandle(FindFirstFileA((OwnFolder() + "\\*").c_str(), &Data)));
}

TEST(Owner, PutFreesWhatWasHeldAndHoldsWhatTheCallHandsOut) {
    // A named event lives as long as a handle to it: after put() no other
    // handle can open it.
    const std::string Name = "MorvaneOwnerPut" + std::to_string(GetCurrentProcessId());
    THandle Handle(CreateEventA(nullptr, TRUE, FALSE, Name.c_str()));
    ASSERT_TRUE(Handle);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                Handle.put(), SYNCHRONIZE, FALSE, 0));
    EXPECT_FALSE(THandle(OpenEventA(SYNCHRONIZE, FALSE, Name.c_str())));
    EXPECT_EQ(WaitForSingleObject(Handle.get(), 0), WAIT_TIMEOUT); // this process, running
}

} // namespace
