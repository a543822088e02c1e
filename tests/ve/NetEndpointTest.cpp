#include "LogCapture.h"
#include "NetTestPeers.h"
#include "NetworkFilePackage.h"
#include "NetworkFrame.h"
#include "NetworkJsonPackage.h"
#include "NetworkManager.h"

#include <QFile>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

using namespace ve;

namespace {

QByteArray pattern(int size)
{
    QByteArray out(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        out[i] = char((i * 13 + i / 257) & 0xff);
    return out;
}

QByteArray framed(const NetworkPackage& package)
{
    return NetworkFrame::frames(package.serialize());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A TCP endpoint of the manager connected to a server in this process.
class TcpPair : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen(QHostAddress("127.0.0.1")));
        object = net()->regist("tcp-test", NetworkHandle::TCP, NetworkChannel());
        ASSERT_NE(object, nullptr);
        object->connectToHost("127.0.0.1", server.serverPort());
        ASSERT_TRUE(waitFor([&] { return server.hasPendingConnections(); }));
        peer = server.nextPendingConnection();
        ASSERT_TRUE(waitFor([&] { return object->handle()->isConnected(); }));
    }
    void TearDown() override { EXPECT_TRUE(net()->cancel("tcp-test")); }

    QByteArray readPeer(int size)
    {
        QByteArray got;
        waitFor([&] {
            got += peer->readAll();
            return got.size() >= size;
        });
        return got;
    }

    QTcpServer server;
    QTcpSocket* peer = nullptr;
    NetworkObject* object = nullptr;
};

} // namespace

TEST_F(TcpPair, PackagesGoBothWaysAndFilesNeedAReceiveFolder)
{
    // Splits of the stream are the parser's tests; this is the socket path.
    NetworkHandle* handle = object->handle();
    EXPECT_NE(handle->thread(), QThread::currentThread());
    QueuedSpy sent(handle, &NetworkHandle::packageSent);
    QueuedSpy packages(handle, &NetworkHandle::packageObtained);
    QueuedSpy arrays(handle, &NetworkHandle::jsonArrayObtained);
    QueuedSpy files(handle, &NetworkHandle::fileObtained);
    QueuedSpy errors(handle, &NetworkHandle::packetError);

    const QByteArray body = pattern(25000);
    const QByteArray wire = framed(NetworkPackage(body));
    ASSERT_TRUE(object->writePackage(body, true));
    EXPECT_EQ(readPeer(wire.size()), wire);
    ASSERT_TRUE(waitFor([&] { return sent.count() == 1; }));
    peer->write(wire + framed(NetworkJsonPackage(QJsonArray {1, 2})));
    ASSERT_TRUE(waitFor([&] { return arrays.count() == 1; }));
    ASSERT_EQ(packages.count(), 1);
    EXPECT_EQ(packages.at(0).at(0).toByteArray(), body);
    EXPECT_EQ(arrays.at(0).at(0).toJsonArray(), (QJsonArray {1, 2}));

    // A file with nowhere to go is an error, not a file.
    NetworkFilePackage file("", "in/log.txt", true);
    file.setContent("line\n");
    peer->write(framed(file));
    ASSERT_TRUE(waitFor([&] { return errors.count() == 1; }));
    EXPECT_TRUE(errors.at(0).at(0).toString().startsWith("no receive folder"));
    QTemporaryDir folder;
    handle->setReceiveFolder(folder.path());
    peer->write(framed(file) + framed(file));
    ASSERT_TRUE(waitFor([&] { return files.count() == 2; }));
    EXPECT_EQ(files.at(0).at(0).toString(), folder.path() + "/in/log.txt");
    EXPECT_EQ(readFile(folder.path() + "/in/log.txt"), "line\nline\n");
}

TEST_F(TcpPair, HostilePeerCannotFloodTheLogNorPinTheCaches)
{
    LogCapture log;
    QueuedSpy packages(object->handle(), &NetworkHandle::packageObtained);
    QByteArray flood;
    for (int i = 0; i < 2000; ++i)
        flood += NetworkFrame::frames(NetworkPackage::header(3, 2) + "{x:");
    peer->write(flood + framed(NetworkPackage("end")));
    ASSERT_TRUE(waitFor([&] { return packages.count() == 1; }));
    const int lines = int(log.all().filter("json parse error").size());
    EXPECT_GT(lines, 0);
    EXPECT_LE(lines, 40);

    // One whole frame holding the first 18 bytes of a package.
    peer->write(NetworkFrame(NetworkPackage(pattern(30)).serialize().left(18)).serialize());
    ASSERT_TRUE(waitFor([&] { return log.contains("abondon package cache, size: 18"); }, 10000));
    // A frame dripped a byte at a time never completes in time: the drip
    // does not keep the cache alive.
    const QByteArray slow = framed(NetworkPackage(pattern(300)));
    QElapsedTimer timer;
    timer.start();
    for (int pos = 0; !log.contains("abondon frame cache") && timer.elapsed() < 20000; settle(100)) {
        if (pos < slow.size()) {
            peer->write(slow.mid(pos++, 1));
            peer->flush();
        }
    }
    EXPECT_TRUE(log.contains("abondon frame cache")) << "after " << timer.elapsed() << " ms";
    EXPECT_EQ(packages.count(), 1);
    // The stream is usable again afterwards.
    peer->write(framed(NetworkPackage(pattern(30))));
    EXPECT_TRUE(waitFor([&] { return packages.count() == 2; }));
}

TEST_F(TcpPair, SendQueueIsBoundedAndFailuresAreNotReportedAsSent)
{
    NetworkHandle* handle = object->handle();
    QueuedSpy sent(handle, &NetworkHandle::packageSent);
    QueuedSpy errors(handle, &NetworkHandle::socketError);
    const qint64 limit = 4 * 1024 * 1024;
    handle->setSendLimit(limit);

    // The peer reads nothing for now, so bytes pile up.
    const QByteArray chunk = pattern(1024 * 1024);
    int accepted = 0;
    int refused = 0;
    for (int i = 0; i < 64; ++i) {
        if (object->writeRaw(chunk, true))
            ++accepted;
        else
            ++refused;
        EXPECT_LE(handle->pendingSendBytes(), limit + chunk.size());
    }
    EXPECT_GT(refused, 0);
    qint64 total = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            total += peer->readAll().size();
            return sent.count() == accepted;
        },
        60000));
    EXPECT_EQ(handle->pendingSendBytes(), 0);
    EXPECT_EQ(errors.count(), 0);

    // A source file that cannot be read, and a peer that is gone: errors, not packageSent.
    const int before = sent.count();
    ASSERT_TRUE(object->writeFilePackage("/nonexistent/file.bin", "f.bin", false));
    ASSERT_TRUE(waitFor([&] { return errors.count() == 1; }));
    EXPECT_TRUE(errors.at(0).at(0).toString().startsWith("cannot open source file: "));
    peer->abort();
    ASSERT_TRUE(waitFor([&] { return !handle->isConnected(); }));
    ASSERT_TRUE(object->writeRaw("late", true));
    ASSERT_TRUE(waitFor([&] { return errors.count() >= 3; }));
    EXPECT_EQ(errors.last().at(0).toString(), "package not sent: not connected");
    settle(100);
    EXPECT_EQ(sent.count(), before);
}

TEST_F(TcpPair, AcceptedSocketHandedInServesTheOtherEnd)
{
    // A socket with a parent cannot move to the worker thread: refused.
    EXPECT_EQ(net()->regist("tcp-served", NetworkHandle::TCP, peer), nullptr);
    // The server's end of the connection becomes an endpoint of its own.
    peer->setParent(nullptr);
    NetworkObject* served = net()->regist("tcp-served", NetworkHandle::TCP, peer);
    ASSERT_NE(served, nullptr);
    EXPECT_TRUE(served->handle()->isConnected());
    EXPECT_EQ(peer->thread(), served->workerThread());
    // It is connected already: no bind to its own port, and no error for it.
    EXPECT_EQ(served->handle()->errorString(), QString());
    QueuedSpy servedErrors(served->handle(), &NetworkHandle::socketError);
    QueuedSpy objects(served->handle(), &NetworkHandle::jsonObtained);
    QueuedSpy back(object->handle(), &NetworkHandle::packageObtained);
    ASSERT_TRUE(object->writeJsonPackage(QJsonObject {{"hello", true}}, true));
    ASSERT_TRUE(waitFor([&] { return objects.count() == 1; }));
    ASSERT_TRUE(served->writePackage("reply", true));
    ASSERT_TRUE(waitFor([&] { return back.count() == 1; }));
    EXPECT_EQ(back.at(0).at(0).toByteArray(), "reply");
    EXPECT_EQ(servedErrors.count(), 0);
    EXPECT_TRUE(net()->cancel("tcp-served"));
    // Not owned by the endpoint: the socket is still there to be deleted.
    peer->deleteLater();
}

TEST(NetEndpoint, UdpSendersAreNeverMixedAndAFilteredFloodDoesNotStall)
{
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress("127.0.0.1"), 0));
    const quint16 port = probe.localPort();
    probe.close();

    NetworkObject* object = net()->regist(
        "udp-test", NetworkHandle::UDP, NetworkChannel(QHostAddress("127.0.0.1"), port, {}, 0));
    NetworkHandle* handle = object->handle();
    ASSERT_TRUE(handle->errorString().isEmpty()) << handle->errorString().toStdString();
    QueuedSpy packages(handle, &NetworkHandle::packageObtained);

    QUdpSocket a, b;
    ASSERT_TRUE(a.bind(QHostAddress("127.0.0.1"), 0));
    ASSERT_TRUE(b.bind(QHostAddress("127.0.0.2"), 0));
    const QHostAddress target("127.0.0.1");

    // A's package in two datagrams with B's whole package in between.
    const QByteArray fromA = framed(NetworkPackage(pattern(15000)));
    a.writeDatagram(fromA.left(10242), target, port);
    settle(200);
    b.writeDatagram(framed(NetworkPackage("from b")), target, port);
    settle(200);
    a.writeDatagram(fromA.mid(10242), target, port);
    ASSERT_TRUE(waitFor([&] { return packages.count() >= 1; }));
    settle(300);
    ASSERT_EQ(packages.count(), 1);
    EXPECT_EQ(packages.at(0).at(0).toByteArray(), "from b");

    // Only A is listened to; B's flood is dropped and A still gets through.
    handle->setUdpFilter(QHostAddress("127.0.0.1"));
    for (int i = 0; i < 200; ++i)
        b.writeDatagram(framed(NetworkPackage("noise")), target, port);
    a.writeDatagram(framed(NetworkPackage("from a")), target, port);
    ASSERT_TRUE(waitFor([&] { return packages.count() == 2; }));
    EXPECT_EQ(packages.at(1).at(0).toByteArray(), "from a");
    settle(200);
    EXPECT_EQ(packages.count(), 2);

    // Sending: each frame is one datagram to the peer.
    NetworkObject* sender = net()->regist("udp-send", NetworkHandle::UDP, NetworkChannel());
    QueuedSpy sent(sender->handle(), &NetworkHandle::packageSent);
    sender->connectToHost(QHostAddress("127.0.0.1"), a.localPort());
    ASSERT_TRUE(waitFor([&] { return sender->handle()->isConnected(); }));
    ASSERT_TRUE(sender->writeJsonPackage(QJsonObject {{"n", 1}}, true));
    ASSERT_TRUE(waitFor([&] { return a.hasPendingDatagrams(); }));
    EXPECT_EQ(a.receiveDatagram().data(), framed(NetworkJsonPackage(QJsonObject {{"n", 1}})));
    EXPECT_TRUE(waitFor([&] { return sent.count() == 1; }));

    EXPECT_TRUE(net()->cancel("udp-test"));
    EXPECT_TRUE(net()->cancel("udp-send"));
}

TEST(NetEndpoint, BindFailureReachesLaterListenersAndCancelFreesTheThreads)
{
    LogCapture log;
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress("127.0.0.1")));
    NetworkObject* object = net()->regist(
        "bind-test", NetworkHandle::TCP, NetworkChannel(QHostAddress("127.0.0.1"), busy.serverPort(), {}, 0));
    EXPECT_TRUE(object->handle()->errorString().startsWith("cannot bind 127.0.0.1:"));
    EXPECT_TRUE(log.contains("cannot bind 127.0.0.1:"));
    // Listeners come after registration and still hear of it.
    QueuedSpy errors(object->handle(), &NetworkHandle::socketError);
    ASSERT_TRUE(waitFor([&] { return errors.count() == 1; }));
    EXPECT_TRUE(errors.at(0).at(0).toString().startsWith("cannot bind 127.0.0.1:"));

    NetworkObject* second = net()->regist("bind-test-2", NetworkHandle::UDP, NetworkChannel());
    NetworkObject* third = net()->regist("bind-test-3", NetworkHandle::UDP, NetworkChannel());
    EXPECT_NE(second->workerThread(), third->workerThread());
    EXPECT_NE(object->workerThread(), second->workerThread());
    EXPECT_TRUE(net()->cancel("bind-test"));
    EXPECT_TRUE(net()->cancel("bind-test-2"));
    EXPECT_TRUE(net()->cancel("bind-test-3"));
    EXPECT_EQ(net()->threadUse(), QVector<int>(3, 0));
}
