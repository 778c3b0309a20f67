#include "platform/win32/share_mode_file.h"
#include "platform/win32/windows_api.h"
#include "win32_test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using win32::FailureKind;
using win32::OpenMode;
using win32::ShareModeFile;
using win32test::HoldingChild;
using win32test::ReadWholeFile;
using win32test::RunChild;
using win32test::TempFolder;
using win32test::WriteWholeFile;

const std::string ListBytes = "a held list\r\n";

// A CreateFileW of our own, outside ShareModeFile: the error it gives, or 0 when it opened.
unsigned long RawOpenError(const std::wstring& path, DWORD access, DWORD share)
{
    const HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError();
    CloseHandle(h);
    return 0;
}

class ShareModeFileTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteWholeFile(FList, ListBytes)); }

    TempFolder FFolder;
    const std::wstring FList = FFolder.file(L"Work.qmtd");
};

// Another instance holds the list for writing: every way this one opens it is refused as in
// use (the error the program turns into "can not be opened"), and the content stays.
TEST_F(ShareModeFileTest, AListHeldByAnotherProcessCannotBeOpenedAnyWay)
{
    HoldingChild other(L"hold", {L"writer", FList});
    ASSERT_TRUE(other.ready());
    const struct {
        const char* name;
        OpenMode mode;
    } cases[] = {
        {"open existing", OpenMode::OpenExisting},
        {"create or open", OpenMode::CreateOrOpen},
        {"create truncate", OpenMode::CreateTruncate},
        {"read shared", OpenMode::ReadShared},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShareModeFile file;
        EXPECT_FALSE(file.open(FList, c.mode));
        EXPECT_FALSE(file.isOpen());
        EXPECT_EQ(file.failure().code, DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(file.failure().kind, FailureKind::InUse);
        EXPECT_FALSE(file.failure().message.empty());
    }
    // Share mode 0 keeps out even an open that shares everything, and a rename or delete.
    EXPECT_EQ(RawOpenError(FList, GENERIC_READ, 0), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(
        RawOpenError(FList, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE),
        DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(FList.c_str()));
    EXPECT_FALSE(MoveFileW(FList.c_str(), FFolder.file(L"moved.qmtd").c_str()));

    other.kill();
    EXPECT_EQ(ReadWholeFile(FList), ListBytes);
    ShareModeFile file;
    EXPECT_TRUE(file.open(FList, OpenMode::OpenExisting)) << "a killed holder leaves no hold";
}

TEST_F(ShareModeFileTest, AHoldInThisProcessKeepsOutASecondOpenHereAndElsewhere)
{
    ShareModeFile held;
    ASSERT_TRUE(held.open(FList, OpenMode::OpenExisting));
    ShareModeFile second;
    EXPECT_FALSE(second.open(FList, OpenMode::OpenExisting));
    EXPECT_EQ(second.failure().kind, FailureKind::InUse);
    EXPECT_EQ(RunChild({L"open", L"writer", FList}), long(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(RunChild({L"open", L"reader", FList}), long(ERROR_SHARING_VIOLATION));

    held.close();
    EXPECT_EQ(RunChild({L"open", L"writer", FList}), 0);
}

// Readers share with readers only: no writer gets in while one reads.
TEST_F(ShareModeFileTest, ReadersShareWithReadersAndKeepOutWriters)
{
    HoldingChild reader(L"hold", {L"reader", FList});
    ASSERT_TRUE(reader.ready());
    ShareModeFile second;
    EXPECT_TRUE(second.open(FList, OpenMode::ReadShared));
    std::string bytes(ListBytes.size(), '\0');
    EXPECT_TRUE(second.readAt(0, bytes.data(), std::int64_t(bytes.size())));
    EXPECT_EQ(bytes, ListBytes);
    second.close();

    ShareModeFile writer;
    EXPECT_FALSE(writer.open(FList, OpenMode::OpenExisting));
    EXPECT_EQ(writer.failure().kind, FailureKind::InUse);
    EXPECT_EQ(RawOpenError(FList, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE),
              DWORD(ERROR_SHARING_VIOLATION));
}

TEST_F(ShareModeFileTest, FailuresAreToldApart)
{
    CreateDirectoryW(FFolder.file(L"folder.qmtd").c_str(), nullptr);
    const struct {
        const char* name;
        std::wstring path;
        OpenMode mode;
        FailureKind kind;
    } cases[] = {
        {"missing file", FFolder.file(L"missing.qmtd"), OpenMode::OpenExisting,
         FailureKind::NotFound},
        {"missing folder", FFolder.file(L"none\\Work.qmtd"), OpenMode::CreateOrOpen,
         FailureKind::NotFound},
        {"a folder", FFolder.file(L"folder.qmtd"), OpenMode::OpenExisting, FailureKind::Folder},
        {"name taken", FList, OpenMode::CreateNew, FailureKind::Other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShareModeFile file;
        EXPECT_FALSE(file.open(c.path, c.mode));
        EXPECT_EQ(file.failure().kind, c.kind) << "code " << file.failure().code;
        EXPECT_NE(file.failure().code, 0ul);
        EXPECT_FALSE(file.failure().message.empty());
    }
    EXPECT_EQ(ReadWholeFile(FList), ListBytes) << "CreateNew left the existing file alone";
}

// The codes the system gives, as the program tells them apart. (Wine run as root opens a
// read-only file for writing, so access denied is checked here rather than provoked.)
TEST_F(ShareModeFileTest, ErrorCodesMeanWhatThePersonIsTold)
{
    CreateDirectoryW(FFolder.file(L"folder.qmtd").c_str(), nullptr);
    const struct {
        DWORD code;
        std::wstring path;
        FailureKind kind;
    } cases[] = {
        {ERROR_SHARING_VIOLATION, FList, FailureKind::InUse},
        {ERROR_LOCK_VIOLATION, FList, FailureKind::InUse},
        {ERROR_ACCESS_DENIED, FList, FailureKind::PermissionDenied},
        {ERROR_ACCESS_DENIED, FFolder.file(L"folder.qmtd"), FailureKind::Folder},
        {ERROR_FILE_NOT_FOUND, FFolder.file(L"missing.qmtd"), FailureKind::NotFound},
        {ERROR_PATH_NOT_FOUND, FFolder.file(L"none\\Work.qmtd"), FailureKind::NotFound},
        {ERROR_DISK_FULL, FList, FailureKind::Other},
        {ERROR_WRITE_PROTECT, FList, FailureKind::Other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(win32::KindOfFailure(c.code, c.path), c.kind);
    }
}

TEST_F(ShareModeFileTest, ReadsWritesResizesAndRemovesWhatItHolds)
{
    ShareModeFile file;
    ASSERT_TRUE(file.open(FList, OpenMode::OpenExisting));
    EXPECT_EQ(file.size(), std::int64_t(ListBytes.size()));

    const std::string more = "second line\r\n";
    ASSERT_TRUE(
        file.writeAt(std::int64_t(ListBytes.size()), more.data(), std::int64_t(more.size())));
    EXPECT_EQ(file.size(), std::int64_t(ListBytes.size() + more.size()));
    std::string back(more.size(), '\0');
    ASSERT_TRUE(
        file.readAt(std::int64_t(ListBytes.size()), back.data(), std::int64_t(back.size())));
    EXPECT_EQ(back, more);

    // Asking for more than is there is an error of its own, not a short read taken as whole.
    std::string tooMuch(64, '\0');
    EXPECT_FALSE(file.readAt(4, tooMuch.data(), std::int64_t(tooMuch.size())));
    EXPECT_EQ(file.failure().kind, FailureKind::Ended);

    ASSERT_TRUE(file.resize(5));
    EXPECT_EQ(file.size(), 5);
    ASSERT_TRUE(file.flush());
    file.close();
    EXPECT_EQ(ReadWholeFile(FList), ListBytes.substr(0, 5));

    ASSERT_TRUE(file.open(FList, OpenMode::CreateTruncate));
    EXPECT_EQ(file.size(), 0);
    EXPECT_TRUE(file.closeAndRemove());
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(GetFileAttributesW(FList.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ShareModeFileTest, CreateModesMakeTheFileOnlyAsAsked)
{
    const std::wstring fresh = FFolder.file(L"New.qmtd");
    ShareModeFile file;
    ASSERT_TRUE(file.open(fresh, OpenMode::CreateNew));
    EXPECT_EQ(file.size(), 0);
    file.close();
    ASSERT_TRUE(file.open(FList, OpenMode::CreateOrOpen));
    EXPECT_EQ(file.size(), std::int64_t(ListBytes.size())) << "CreateOrOpen keeps the content";
    file.close();
    EXPECT_FALSE(file.open(FFolder.file(L"absent.qmtd"), OpenMode::ReadShared));
    EXPECT_EQ(file.failure().kind, FailureKind::NotFound);
}

} // namespace
