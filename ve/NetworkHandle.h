#pragma once

#include "NetworkChannel.h"
#include "NetworkLogLimiter.h"
#include "NetworkPackageParser.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QQueue>
#include <QSslConfiguration>

#include <atomic>

class QAbstractSocket;
class QSslSocket;
class QTcpSocket;
class QTimer;
class QUdpSocket;

namespace ve {

// One socket and its stream state; lives on a network worker thread, where
// every socket call, cache and timer is used. Settings may be changed from
// any thread: they are guarded and read by the worker when needed.
class VE_EXPORT NetworkHandle : public QObject
{
    Q_OBJECT
public:
    enum NetworkType
    {
        UDP = 0,
        TCP = 1,
        TLS = 2
    };
    Q_ENUM(NetworkType)

    enum NetworkPackageType
    {
        PackageNone = 0,
        PackageRaw = 1,
        PackageParse = 2,
        PackageRawParse = 3
    };

    static constexpr int AbandonMs = 1000;
    static constexpr qint64 DefaultSendLimit = 64 * 1024 * 1024;

    // A socket handed in must have no parent; it is then not owned.
    NetworkHandle(NetworkType type, const NetworkChannel& channel, QAbstractSocket* socket = nullptr,
        QObject* parent = nullptr);
    ~NetworkHandle() override;

    NetworkType networkType() const { return m_type; }
    QAbstractSocket* socket() const { return m_socket; }
    QTcpSocket* tcpSocket() const;
    QUdpSocket* udpSocket() const;
    QSslSocket* sslSocket() const;
    NetworkChannel channel() const;
    bool isConnected() const { return m_connected.load(); }
    bool isValid() const;
    // The last socket error or bind failure, empty when none.
    QString errorString() const;

    QHostAddress udpFilter() const;
    void setUdpFilter(const QHostAddress& address);
    int packageType() const { return m_packageType.load(); }
    void setPackageType(int type);

    // File packages are stored only below this folder; empty refuses them.
    QString receiveFolder() const;
    void setReceiveFolder(const QString& folder);
    // Largest package body accepted from the peer.
    quint32 packageLimit() const { return m_packageLimit.load(); }
    void setPackageLimit(quint32 limit);
    // Bytes that may wait to be sent; one package may exceed it when
    // nothing else waits.
    qint64 sendLimit() const { return m_sendLimit.load(); }
    void setSendLimit(qint64 limit) { m_sendLimit = limit; }
    qint64 pendingSendBytes() const { return m_pending.load(); }
    // Takes room for bytes about to be queued; false when the queue is full.
    bool reserveSend(qint64 bytes);
    // For TLS: the configuration used by the next connect (CA certificates).
    void setSslConfiguration(const QSslConfiguration& configuration);

public slots:
    void onTryConnectToHost(const QHostAddress& address, int port);
    void onTryDisconnectFromHost();
    void onReceive();
    void onSendRaw(const QByteArray& content, bool is_frame);
    void onSendFilePackage(const QString& local_path, const QString& remote_path, bool is_append);
    // Closes the socket and stops the timer before deletion.
    void shutdown();

signals:
    void socketError(const QString& error_str);
    void packetError(const QString& error_str);
    void packageSent();
    void rawObtained(const QByteArray& content);
    void packageObtained(const QByteArray& content);
    void fileObtained(const QString& path);
    void jsonObtained(const QJsonObject& json);
    void jsonArrayObtained(const QJsonArray& array);

protected:
    // A bind failure happens in the constructor, before anyone listens: it
    // is delivered to the first receiver connected to socketError.
    void connectNotify(const QMetaMethod& signal) override;

private:
    struct PendingPackage
    {
        qint64 end; // stream offset after its last byte
        qint64 reserved;
    };

    void process(const QByteArray& bytes);
    void onAbandon();
    // Queues one package's bytes; false (nothing queued) on failure.
    bool send(const QVector<QByteArray>& pieces, qint64 reserved);
    void onBytesWritten(qint64 bytes);
    void failPending(const QString& reason);
    void releaseSend(qint64 bytes);
    void reportError(const QString& text);
    void logLimited(const QString& line);

    const NetworkType m_type;
    QAbstractSocket* m_socket = nullptr;
    bool m_ownsSocket = false;
    QTimer* m_abandon = nullptr;
    NetworkPackageParser m_parser;
    NetworkLogLimiter m_limiter;
    QElapsedTimer m_clock;
    QHostAddress m_lastSender;
    quint16 m_lastSenderPort = 0;

    // Written by the worker, read by anyone.
    mutable QMutex m_mutex;
    NetworkChannel m_channel;
    QHostAddress m_udpFilter;
    QString m_receiveFolder;
    QString m_error;
    QSslConfiguration m_sslConfiguration;
    bool m_hasSslConfiguration = false;
    std::atomic<bool> m_connected {false};
    std::atomic<bool> m_bindErrorPending {false};
    std::atomic<int> m_packageType {PackageParse};
    std::atomic<quint32> m_packageLimit {NetworkPackage::MaxBodySize};
    std::atomic<qint64> m_sendLimit {DefaultSendLimit};
    std::atomic<qint64> m_pending {0};

    // Worker only: bytes handed to the socket and confirmed written.
    QQueue<PendingPackage> m_sending;
    qint64 m_queued = 0;
    qint64 m_written = 0;
};

} // namespace ve
