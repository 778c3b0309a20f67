#include "platform/win32/instance_mutex.h"
#include "platform/win32/windows_api.h"
#include "win32_test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using win32::CreateInstanceMutex;
using win32::InstanceMutex;
using win32test::HoldingChild;
using win32test::RunChild;

// The child's exit codes (win32_test_main.cpp).
constexpr long MadeIt = 0;
constexpr long FoundUnowned = 1;

void Close(const InstanceMutex& mutex)
{
    if (mutex.handle)
        CloseHandle(static_cast<HANDLE>(mutex.handle));
}

// Under Wine the program's own name; on Windows one of the tests' own, so that a running copy
// of the program is never involved.
const std::wstring Name = win32test::ProgramOrTestName(win32::InstanceMutexName);

TEST(InstanceMutexTest, ASecondInstanceSeesTheMutexOfTheFirstAndStillRuns)
{
    ASSERT_EQ(Name, L"QuillmarkToDo") << "under Wine the program's own name";
    // The first instance, in this process: it makes the mutex and does not own it.
    const InstanceMutex first = CreateInstanceMutex(Name);
    ASSERT_NE(first.handle, nullptr) << "error " << first.error;
    EXPECT_FALSE(first.alreadyExisted);
    // A second one, another process, finds it there, unowned: nothing stops it.
    EXPECT_EQ(RunChild({L"mutex", Name}), FoundUnowned);
    Close(first);
    // Once no process has it, the next instance is the first again.
    EXPECT_EQ(RunChild({L"mutex", Name}), MadeIt);
}

TEST(InstanceMutexTest, AnInstanceStartedSecondFindsItHeldByTheFirstProcess)
{
    HoldingChild first(L"mutex-hold", {Name});
    ASSERT_TRUE(first.ready());
    const InstanceMutex second = CreateInstanceMutex(Name);
    ASSERT_NE(second.handle, nullptr);
    EXPECT_TRUE(second.alreadyExisted);
    // Not owned by the first: it could be taken at once, were anyone to wait on it.
    EXPECT_EQ(WaitForSingleObject(static_cast<HANDLE>(second.handle), 0), DWORD(WAIT_OBJECT_0));
    ReleaseMutex(static_cast<HANDLE>(second.handle));
    Close(second);

    // The first ends as a crash would; the system drops its handle with it.
    first.kill();
    const InstanceMutex next = CreateInstanceMutex(Name);
    EXPECT_FALSE(next.alreadyExisted);
    Close(next);
}

TEST(InstanceMutexTest, ANameTheSystemRefusesGivesItsErrorAndNoHandle)
{
    // A name holding a backslash names a namespace; "Nowhere\" is none the system has.
    const InstanceMutex refused = CreateInstanceMutex(L"Nowhere\\" + Name);
    EXPECT_EQ(refused.handle, nullptr);
    EXPECT_NE(refused.error, 0ul);
    EXPECT_FALSE(refused.alreadyExisted);
}

} // namespace
