// Message frames taken in any pieces, and the endpoint's name and folder: one name for every
// spelling of a list, a private folder, sockets left by dead programs told from live ones.

#include "../support/runtime_folder.h"
#include "platform/local_endpoint.h"
#include "platform/message_frames.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

TEST(MessageFramesTest, AMessageArrivesWholeHoweverItIsCut)
{
    const QByteArray payload = QByteArray("{\"version\":1}") + QByteArray(300, 'x');
    const QByteArray framed = FramedMessage(payload) + "next message";
    for (int piece : {1, 3, 4, 5, 64, int(framed.size())}) {
        MessageFrameReader reader(1000);
        for (int at = 0;
             at < framed.size() && reader.state() == MessageFrameReader::State::Incomplete;
             at += piece)
            reader.feed(framed.mid(at, piece));
        EXPECT_EQ(reader.state(), MessageFrameReader::State::Complete) << piece;
        EXPECT_EQ(reader.message(), payload) << piece;
    }
    // From a device it reads no further than its message.
    QByteArray bytes = framed;
    QBuffer device(&bytes);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    MessageFrameReader reader(1000);
    EXPECT_EQ(reader.readFrom(device), MessageFrameReader::State::Complete);
    EXPECT_EQ(device.readAll(), "next message");
}

TEST(MessageFramesTest, ALengthOverTheLimitIsRefusedBeforeAnyOfItIsRead)
{
    const struct {
        quint32 length;
        MessageFrameReader::State state;
    } cases[] = {
        {0, MessageFrameReader::State::Complete},
        {1024, MessageFrameReader::State::Incomplete}, // at the limit: waits for the rest
        {1025, MessageFrameReader::State::TooLarge},
        {0xffffffffu, MessageFrameReader::State::TooLarge},
    };
    for (const auto& c : cases) {
        MessageFrameReader reader(1024);
        QByteArray header(4, '\0');
        for (int i = 0; i < 4; ++i)
            header[i] = char((c.length >> (8 * (3 - i))) & 0xff);
        EXPECT_EQ(reader.feed(header + "abc"), c.state) << c.length;
        EXPECT_EQ(reader.announced(), c.length);
        if (c.state == MessageFrameReader::State::TooLarge) {
            EXPECT_TRUE(reader.message().isEmpty());
        }
    }
}

#ifndef Q_OS_WIN

class LocalEndpointTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FRuntime.isValid());
        ASSERT_TRUE(FLists.isValid());
    }
    TestRuntimeFolder FRuntime;
    QTemporaryDir FLists;
};

TEST_F(LocalEndpointTest, EverySpellingOfAListFindsOneEndpoint)
{
    const QString list = FLists.filePath("list.qmtd");
    QFile(list).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir(FLists.path()).mkdir("sub"));
    ASSERT_TRUE(QFile::link(list, FLists.filePath("link.qmtd")));
    const QString name = EndpointNameFor(list, true);
    ASSERT_FALSE(name.isEmpty());
    EXPECT_TRUE(name.startsWith(FRuntime.path() + "/quillmark/"));
    for (const QString& spelling : {FLists.filePath("sub/../list.qmtd"),
                                    FLists.filePath("link.qmtd"), FLists.filePath("./list.qmtd")})
        EXPECT_EQ(EndpointNameFor(spelling, false), name) << spelling.toStdString();
    EXPECT_NE(EndpointNameFor(FLists.filePath("other.qmtd"), false), name);

    struct stat st = {};
    ASSERT_EQ(::stat((FRuntime.path() + "/quillmark").toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(LocalEndpointTest, AFolderOthersMayChangeOrThatIsSomeoneElsesIsRefused)
{
    const QString list = FLists.filePath("list.qmtd");
    const QByteArray runtime = FRuntime.path().toLocal8Bit();
    ASSERT_EQ(::chmod(runtime.constData(), 0777), 0);
    QString error;
    EXPECT_TRUE(EndpointNameFor(list, true, &error).isEmpty());
    EXPECT_TRUE(error.contains("XDG_RUNTIME_DIR")) << error.toStdString();
    ASSERT_EQ(::chmod(runtime.constData(), 0700), 0);

    if (::geteuid() == 0) {
        // Made by another user before us: not ours to listen in.
        ASSERT_EQ(::mkdir((runtime + "/quillmark").constData(), 0700), 0);
        ASSERT_EQ(::chown((runtime + "/quillmark").constData(), 65534, 65534), 0);
        EXPECT_TRUE(EndpointNameFor(list, true, &error).isEmpty());
        EXPECT_TRUE(error.contains("not a folder of this user")) << error.toStdString();
        LocalEndpointServer server;
        EXPECT_FALSE(server.listen(list));
    }
}

TEST_F(LocalEndpointTest, ASocketNobodyListensOnIsStaleAndALiveOneIsKept)
{
    const QString list = FLists.filePath("list.qmtd");
    LocalEndpointServer first;
    ASSERT_TRUE(first.listen(list)) << first.errorString().toStdString();
    const QString name = first.name();
    // A second program is refused while the first listens, and removes nothing.
    LocalEndpointServer second;
    EXPECT_FALSE(second.listen(list));
    EXPECT_FALSE(RemoveStaleEndpoint(list));
    EXPECT_TRUE(QFileInfo::exists(name));
    EXPECT_TRUE(ConnectToEndpoint(list, 1000));

    // A socket file with no program behind it, as a killed one leaves.
    first.close();
    const QByteArray path = name.toLocal8Bit();
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(name));
    EXPECT_FALSE(ConnectToEndpoint(list, 1000));
    EXPECT_TRUE(RemoveStaleEndpoint(list));
    EXPECT_FALSE(QFileInfo::exists(name));

    // A plain file in its place is not ours to remove.
    QFile(name).open(QIODevice::WriteOnly);
    EXPECT_FALSE(RemoveStaleEndpoint(list));
    EXPECT_FALSE(second.listen(list));
    EXPECT_TRUE(QFileInfo::exists(name));
}

#endif
