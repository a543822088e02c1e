#include "NetTestPeers.h"
#include "NetworkFrame.h"
#include "NetworkJsonPackage.h"
#include "NetworkManager.h"

#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ve;

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
        QFile keyFile(dir.filePath("key.pem"));
        ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly));
        server.key = QSslKey(keyFile.readAll(), QSsl::Rsa);
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
    QStringList texts;
    for (const auto& args : refused)
        texts << args.at(0).toString();
    EXPECT_TRUE(texts.join('|').contains("self-signed", Qt::CaseInsensitive))
        << texts.join('|').toStdString();
    EXPECT_TRUE(texts.join('|').contains("package not sent")) << texts.join('|').toStdString();
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
