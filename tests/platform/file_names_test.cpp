#include "platform/exclusive_file_hold.h"
#include "platform/file_names.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifndef Q_OS_WIN

// The names in `folder` as the file system holds them.
QList<QByteArray> entriesOf(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d))
            if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                names.append(QByteArray(e->d_name));
        ::closedir(d);
    }
    return names;
}

TEST(FileNames, EveryByteStringComesBackAsItWas)
{
    struct Case {
        QByteArray bytes;
        bool valid; // UTF-8 as it stands
    };
    const Case cases[] = {
        {"plain.qmtd", true},
        {"K\xC3\xA4se \xE6\x97\xA5\xE6\x9C\xAC.qmtd", true},
        {"\xF0\x9F\x92\xA9.qmtd", true}, // a pair whose low half lies in the escape range
        {"\xEF\xBB\xBF"
         "bom",
         true},
        {"new\xFF.qmtd", false},
        {"\x80\xBF", false},                 // lone continuation bytes
        {"caf\xE9", false},                  // Latin-1
        {"cut \xE2\x82", false},             // a sequence cut short
        {"\xE2\x82 \xE2\x82\xAC", false},    // cut short, then whole
        {"\xC0\xAF over", false},            // overlong '/'
        {"\xED\xB3\xBF", false},             // an encoded surrogate (U+DCFF)
        {"\xED\xA0\xBD\xED\xB2\xA9", false}, // a pair encoded as two surrogates
        {"\xF4\x90\x80\x80", false},         // past U+10FFFF
        {"\xF8\x88\x80\x80\x80", false},     // five-byte form
        {"\xC3", false},
    };
    for (const Case& c : cases) {
        const QString name = DecodeFileName(c.bytes);
        EXPECT_EQ(EncodeFileName(name), c.bytes) << c.bytes.toHex().constData();
        EXPECT_EQ(HasUndecodedBytes(name), !c.valid) << c.bytes.toHex().constData();
        if (c.valid) {
            if (!c.bytes.startsWith("\xEF\xBB\xBF")) {
                EXPECT_EQ(name, QFile::decodeName(c.bytes));
            }
        } else {
            EXPECT_NE(EncodeFileName(name), QFile::encodeName(name));
            EXPECT_FALSE(PrintableFileName(name).contains(QChar(0xFFFD)));
            EXPECT_FALSE(HasUndecodedBytes(PrintableFileName(name)));
        }
    }
    EXPECT_EQ(PrintableFileName(DecodeFileName("new\xFF.qmtd")), "new\\xFF.qmtd");
    // Qt drops a leading byte order mark, which would name another file.
    EXPECT_EQ(DecodeFileName("\xEF\xBB\xBF"
                             "bom"),
              QString(QChar(0xFEFF)) + "bom");
    // Text that never came from bytes (a lone high surrogate) encodes as Qt encodes it.
    const QString odd = QString(QChar(0xD800)) + "x";
    EXPECT_EQ(EncodeFileName(odd), QFile::encodeName(odd));
}

TEST(FileNames, FilesAndFoldersWithSuchNamesAreFoundHeldAndRemoved)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path());
    const QByteArray folderBytes = root + "/f\xE9";
    ASSERT_EQ(::mkdir(folderBytes.constData(), 0700), 0);
    const QString folder = DecodeFileName(folderBytes);
    // Qt's own spelling of the name finds nothing: the U+FFFD form is another name.
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(PathExists(folder));
    EXPECT_TRUE(PathIsFolder(folder));
    EXPECT_FALSE(PathIsFile(folder));

    const QString list = folder + "/" + DecodeFileName("l\xFF.qmtd");
    EXPECT_FALSE(PathExists(list));
    ExclusiveFileHold hold;
    ASSERT_TRUE(hold.open(list, ExclusiveFileHold::Mode::CreateOrOpen))
        << hold.errorString().toStdString();
    ASSERT_TRUE(hold.writeAt(0, "abc", 3));
    QString error;
    EXPECT_TRUE(ExclusiveFileHold::syncFolderOf(list, &error)) << error.toStdString();
    hold.close();
    EXPECT_EQ(entriesOf(folderBytes), QList<QByteArray>({"l\xFF.qmtd"}));
    EXPECT_TRUE(PathExists(list));
    EXPECT_TRUE(PathIsFile(list));
    EXPECT_FALSE(RemoveFilePath(folder)); // not a file
    EXPECT_TRUE(RemoveFilePath(list));
    EXPECT_FALSE(PathExists(list));
    EXPECT_FALSE(RemoveFilePath(list));
    EXPECT_TRUE(entriesOf(folderBytes).isEmpty());
    EXPECT_FALSE(PathExists(QString()));
    ::rmdir(folderBytes.constData()); // QTemporaryDir cannot spell it
}

#endif

} // namespace
