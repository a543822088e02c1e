// The network endpoints over real sockets on this machine: TCP, UDP and TLS
// peers in this process, the endpoints on their worker threads.
#include "LogCapture.h"
#include "NetworkFilePackage.h"
#include "NetworkFrame.h"
#include "NetworkJsonPackage.h"
#include "NetworkManager.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

using namespace ve;

namespace {

// Records a signal's arguments on the test's thread. Unlike QSignalSpy,
// whose direct connection appends from the emitting worker thread, the
// checks never race the worker.
class QueuedSpy : public QObject
{
public:
    template <typename Sender, typename... Args>
    QueuedSpy(Sender* sender, void (Sender::*signal)(Args...))
    {
        connect(
            sender, signal, this,
            [this](Args... args) {
                m_calls.append(QVariantList {QVariant::fromValue(std::decay_t<Args>(args))...});
            },
            Qt::QueuedConnection);
    }

    int count() const { return m_calls.size(); }
    bool isEmpty() const { return m_calls.isEmpty(); }
    QVariantList at(int i) const { return m_calls.at(i); }
    QVariantList last() const { return m_calls.last(); }
    QList<QVariantList>::const_iterator begin() const { return m_calls.begin(); }
    QList<QVariantList>::const_iterator end() const { return m_calls.end(); }

private:
    QList<QVariantList> m_calls;
};

// Blocks on the event loop for at most ms: wakes for the first event, never spins.
inline void sleepOnEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.processEvents(QEventLoop::WaitForMoreEvents);
}

// Processes events until pred holds or ms pass; bounds are wide because the
// test machine is shared and loaded.
inline bool waitFor(const std::function<bool()>& pred, int ms = 20000)
{
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        sleepOnEvents(20);
    }
    return true;
}

inline void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        sleepOnEvents(int(qMax<qint64>(1, ms - timer.elapsed())));
}

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

    QTcpServer server;
    QTcpSocket* peer = nullptr;
    NetworkObject* object = nullptr;
};

} // namespace

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
    for (int i = 0; i < 64; ++i) {
        accepted += object->writeRaw(chunk, true) ? 1 : 0;
        EXPECT_LE(handle->pendingSendBytes(), limit + chunk.size());
    }
    EXPECT_LT(accepted, 64);
    ASSERT_TRUE(waitFor(
        [&] {
            peer->readAll();
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

TEST_F(TcpPair, AcceptedEndServesPackagesBothWaysAndFilesNeedAReceiveFolder)
{
    // Splits of the stream are the parser's tests; this is the socket path,
    // with the server's end of the connection an endpoint of its own.
    EXPECT_EQ(net()->regist("tcp-served", NetworkHandle::TCP, peer), nullptr); // has a parent
    peer->setParent(nullptr);
    NetworkObject* served = net()->regist("tcp-served", NetworkHandle::TCP, peer);
    ASSERT_NE(served, nullptr);
    NetworkHandle* handle = served->handle();
    EXPECT_NE(handle->thread(), QThread::currentThread());
    EXPECT_TRUE(handle->isConnected());
    // It is connected already: no bind to its own port, and no error for it.
    EXPECT_EQ(handle->errorString(), QString());
    QueuedSpy socketErrors(handle, &NetworkHandle::socketError);
    QueuedSpy packages(handle, &NetworkHandle::packageObtained);
    QueuedSpy files(handle, &NetworkHandle::fileObtained);
    QueuedSpy errors(handle, &NetworkHandle::packetError);
    QueuedSpy sent(object->handle(), &NetworkHandle::packageSent);
    QueuedSpy arrays(object->handle(), &NetworkHandle::jsonArrayObtained);

    const QByteArray body = pattern(25000); // three frames
    ASSERT_TRUE(object->writePackage(body, true));
    ASSERT_TRUE(waitFor([&] { return packages.count() == 1; }));
    EXPECT_EQ(packages.at(0).at(0).toByteArray(), body);
    EXPECT_TRUE(waitFor([&] { return sent.count() == 1; }));
    ASSERT_TRUE(served->writeJsonPackage(QJsonArray {1, 2}, true));
    ASSERT_TRUE(waitFor([&] { return arrays.count() == 1; }));
    EXPECT_EQ(arrays.at(0).at(0).toJsonArray(), (QJsonArray {1, 2}));

    // A file with nowhere to go is an error, not a file.
    QTemporaryDir folder;
    const QString source = folder.filePath("source.txt");
    ASSERT_TRUE(writeAll(source, "line\n"));
    ASSERT_TRUE(object->writeFilePackage(source, "in/log.txt", true));
    ASSERT_TRUE(waitFor([&] { return errors.count() == 1; }));
    EXPECT_TRUE(errors.at(0).at(0).toString().startsWith("no receive folder"));
    handle->setReceiveFolder(folder.path());
    ASSERT_TRUE(object->writeFilePackage(source, "in/log.txt", true));
    ASSERT_TRUE(object->writeFilePackage(source, "in/log.txt", true));
    ASSERT_TRUE(waitFor([&] { return files.count() == 2; }));
    EXPECT_EQ(files.at(0).at(0).toString(), folder.path() + "/in/log.txt");
    EXPECT_EQ(readAll(folder.path() + "/in/log.txt"), "line\nline\n");
    EXPECT_EQ(socketErrors.count(), 0);
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

namespace {

// A TLS server in this process with a certificate made for the test.
class TlsServer : public QTcpServer
{
public:
    QSslCertificate certificate;
    QSslKey key;
    QSslSocket* peer = nullptr;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(key);
        socket->startServerEncryption();
        peer = socket;
    }
};

class Tls : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "no TLS support in this Qt build";
        ASSERT_TRUE(dir.isValid());
        const int rc = QProcess::execute("openssl",
            {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                "-addext", "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1", "-keyout", dir.filePath("key.pem"),
                "-out", dir.filePath("cert.pem")});
        ASSERT_EQ(rc, 0);
        const auto certificates = QSslCertificate::fromPath(dir.filePath("cert.pem"));
        ASSERT_EQ(certificates.size(), 1);
        server.certificate = certificates.first();
        server.key = QSslKey(readAll(dir.filePath("key.pem")), QSsl::Rsa);
        ASSERT_FALSE(server.key.isNull());
        ASSERT_TRUE(server.listen(QHostAddress("127.0.0.1")));
    }

    QTemporaryDir dir;
    TlsServer server;
};

} // namespace

TEST_F(Tls, UntrustedPeerGetsNothingAndATrustedOneExchangesPackages)
{
    NetworkObject* untrusted = net()->regist("tls-untrusted", NetworkHandle::TLS, NetworkChannel());
    QueuedSpy refused(untrusted->handle(), &NetworkHandle::socketError);
    QueuedSpy notSent(untrusted->handle(), &NetworkHandle::packageSent);
    untrusted->connectToHost(QHostAddress("127.0.0.1"), server.serverPort());
    ASSERT_TRUE(untrusted->writeJsonPackage(QJsonObject {{"secret", 1}}, true));
    // The package waits for the handshake, which fails: it is reported unsent.
    ASSERT_TRUE(waitFor([&] { return refused.count() >= 2; }));
    settle(300);
    QString texts;
    for (const auto& args : refused)
        texts += args.at(0).toString() + '|';
    EXPECT_TRUE(texts.contains("self-signed", Qt::CaseInsensitive)) << texts.toStdString();
    EXPECT_TRUE(texts.contains("package not sent")) << texts.toStdString();
    EXPECT_EQ(notSent.count(), 0);
    if (server.peer) {
        EXPECT_EQ(server.peer->bytesAvailable(), 0);
    }
    EXPECT_TRUE(net()->cancel("tls-untrusted"));

    NetworkObject* object = net()->regist("tls-trusted", NetworkHandle::TLS, NetworkChannel());
    NetworkHandle* handle = object->handle();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates({server.certificate});
    handle->setSslConfiguration(configuration);
    QueuedSpy errors(handle, &NetworkHandle::socketError);
    QueuedSpy arrays(handle, &NetworkHandle::jsonArrayObtained);
    server.peer = nullptr;
    object->connectToHost(QHostAddress("127.0.0.1"), server.serverPort());
    const QJsonArray array {"a", 2};
    ASSERT_TRUE(object->writeJsonPackage(array, true));
    const QByteArray expected = NetworkFrame::frames(NetworkJsonPackage(array).serialize());
    QByteArray got;
    ASSERT_TRUE(waitFor([&] {
        if (server.peer)
            got += server.peer->readAll();
        return got.size() >= expected.size();
    })) << (errors.isEmpty() ? std::string() : errors.last().at(0).toString().toStdString());
    EXPECT_EQ(got, expected);
    server.peer->write(expected);
    ASSERT_TRUE(waitFor([&] { return arrays.count() == 1; }));
    EXPECT_EQ(arrays.at(0).at(0).toJsonArray(), array);
    EXPECT_EQ(errors.count(), 0);
    EXPECT_TRUE(net()->cancel("tls-trusted"));
}
