#include "NetworkHandle.h"

#include "Logging.h"
#include "NetworkFileStore.h"
#include "NetworkFrame.h"

#include <QFile>
#include <QMetaMethod>
#include <QNetworkDatagram>
#include <QNetworkProxy>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

namespace ve {

NetworkHandle::NetworkHandle(
    NetworkType type, const NetworkChannel& channel, QAbstractSocket* socket, QObject* parent)
    : QObject(parent)
    , m_type(type)
    , m_channel(channel)
{
    qRegisterMetaType<QHostAddress>();
    m_clock.start();
    if (socket) {
        m_socket = socket;
    } else {
        m_ownsSocket = true;
        if (type == UDP)
            m_socket = new QUdpSocket(this);
        else if (type == TCP)
            m_socket = new QTcpSocket(this);
        else
            m_socket = new QSslSocket(this);
    }
    m_socket->setProxy(QNetworkProxy::NoProxy);
    // A handed-in socket is bound already (an accepted one is connected): its
    // channel only names its ends, and binding again would fail.
    if (m_ownsSocket && channel.localPort() > 0
        && !m_socket->bind(
            channel.localAddress(), quint16(channel.localPort()), QAbstractSocket::ShareAddress)) {
        m_error = QString("cannot bind %1:%2: %3")
                      .arg(channel.localAddress().toString())
                      .arg(channel.localPort())
                      .arg(m_socket->errorString());
        logError() << m_error;
        m_bindErrorPending = true;
    }
    m_connected = m_socket->state() == QAbstractSocket::ConnectedState;

    connect(m_socket, &QIODevice::readyRead, this, &NetworkHandle::onReceive);
    connect(m_socket, &QIODevice::bytesWritten, this, &NetworkHandle::onBytesWritten);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        const QString text = m_socket->errorString();
        reportError(text);
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            failPending(text);
    });
    connect(m_socket, &QAbstractSocket::connected, this, [this] { m_connected = true; });
    connect(m_socket, &QAbstractSocket::disconnected, this, [this] {
        m_connected = false;
        failPending("disconnected");
    });
    if (QSslSocket* ssl = sslSocket()) {
        // Certificate errors are never ignored: the handshake fails and the
        // reasons reach the caller.
        connect(ssl, qOverload<const QList<QSslError>&>(&QSslSocket::sslErrors), this,
            [this](const QList<QSslError>& errors) {
                QStringList texts;
                for (const QSslError& error : errors)
                    texts << error.errorString();
                reportError(texts.join("; "));
            });
    }

    m_abandon = new QTimer(this);
    m_abandon->setSingleShot(true);
    m_abandon->setInterval(AbandonMs);
    connect(m_abandon, &QTimer::timeout, this, &NetworkHandle::onAbandon);
}

NetworkHandle::~NetworkHandle()
{
    if (m_socket && !m_ownsSocket)
        disconnect(m_socket, nullptr, this, nullptr);
}

void NetworkHandle::connectNotify(const QMetaMethod& signal)
{
    if (signal != QMetaMethod::fromSignal(&NetworkHandle::socketError) || !m_bindErrorPending.exchange(false))
        return;
    const QString error = errorString();
    QMetaObject::invokeMethod(
        this, [this, error] { emit socketError(error); }, Qt::QueuedConnection);
}

QTcpSocket* NetworkHandle::tcpSocket() const
{
    return qobject_cast<QTcpSocket*>(m_socket);
}

QUdpSocket* NetworkHandle::udpSocket() const
{
    return qobject_cast<QUdpSocket*>(m_socket);
}

QSslSocket* NetworkHandle::sslSocket() const
{
    return qobject_cast<QSslSocket*>(m_socket);
}

NetworkChannel NetworkHandle::channel() const
{
    QMutexLocker locker(&m_mutex);
    return m_channel;
}

bool NetworkHandle::isValid() const
{
    switch (m_type) {
    case UDP:
        return udpSocket() != nullptr;
    case TCP:
        return tcpSocket() != nullptr;
    case TLS:
        return sslSocket() != nullptr;
    }
    return false;
}

QString NetworkHandle::errorString() const
{
    QMutexLocker locker(&m_mutex);
    return m_error;
}

QHostAddress NetworkHandle::udpFilter() const
{
    QMutexLocker locker(&m_mutex);
    return m_udpFilter;
}

void NetworkHandle::setUdpFilter(const QHostAddress& address)
{
    QMutexLocker locker(&m_mutex);
    m_udpFilter = address;
}

void NetworkHandle::setPackageType(int type)
{
    m_packageType = type & PackageRawParse;
}

QString NetworkHandle::receiveFolder() const
{
    QMutexLocker locker(&m_mutex);
    return m_receiveFolder;
}

void NetworkHandle::setReceiveFolder(const QString& folder)
{
    QMutexLocker locker(&m_mutex);
    m_receiveFolder = folder;
}

void NetworkHandle::setPackageLimit(quint32 limit)
{
    m_packageLimit = qMin(limit, NetworkPackage::MaxBodySize);
}

bool NetworkHandle::reserveSend(qint64 bytes)
{
    qint64 current = m_pending.load();
    do {
        if (current > 0 && current + bytes > m_sendLimit.load())
            return false;
    } while (!m_pending.compare_exchange_weak(current, current + bytes));
    return true;
}

void NetworkHandle::releaseSend(qint64 bytes)
{
    m_pending -= bytes;
}

void NetworkHandle::setSslConfiguration(const QSslConfiguration& configuration)
{
    QMutexLocker locker(&m_mutex);
    m_sslConfiguration = configuration;
    m_hasSslConfiguration = true;
}

void NetworkHandle::onTryConnectToHost(const QHostAddress& address, int port)
{
    if (port < 0 || port > 0xffff) {
        reportError(QString("invalid port %1").arg(port));
        return;
    }
    m_socket->abort();
    failPending("connection restarted");
    m_parser.reset();
    m_abandon->stop();
    NetworkChannel channel;
    {
        QMutexLocker locker(&m_mutex);
        m_channel.setPeer(address, port);
        channel = m_channel;
    }
    if (QSslSocket* ssl = sslSocket()) {
        {
            QMutexLocker locker(&m_mutex);
            if (m_hasSslConfiguration)
                ssl->setSslConfiguration(m_sslConfiguration);
        }
        ssl->connectToHostEncrypted(address.toString(), quint16(port), QIODevice::ReadWrite);
        return;
    }
    // abort() dropped the binding; a UDP endpoint keeps its local port.
    if (udpSocket() && channel.localPort() > 0
        && !m_socket->bind(
            channel.localAddress(), quint16(channel.localPort()), QAbstractSocket::ShareAddress)) {
        reportError(m_socket->errorString());
        return;
    }
    m_socket->connectToHost(address, quint16(port), QIODevice::ReadWrite);
}

void NetworkHandle::onTryDisconnectFromHost()
{
    m_socket->disconnectFromHost();
    QMutexLocker locker(&m_mutex);
    m_channel.setPeer(QHostAddress(QHostAddress::LocalHost), 0);
}

void NetworkHandle::onReceive()
{
    QUdpSocket* udp = udpSocket();
    if (!udp) {
        process(m_socket->readAll());
        return;
    }
    const QHostAddress filter = udpFilter();
    while (udp->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udp->receiveDatagram();
        // A foreign sender is dropped without stalling the one we listen to.
        if (!filter.isNull() && !datagram.senderAddress().isEqual(filter, QHostAddress::TolerantConversion))
            continue;
        // Datagrams of two senders must never be joined into one stream.
        if (datagram.senderAddress() != m_lastSender || datagram.senderPort() != m_lastSenderPort) {
            m_parser.reset();
            m_abandon->stop();
            m_lastSender = datagram.senderAddress();
            m_lastSenderPort = quint16(datagram.senderPort());
        }
        process(datagram.data());
    }
}

void NetworkHandle::process(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    const int type = packageType();
    if (type & PackageRaw)
        emit rawObtained(bytes);
    if (!(type & PackageParse))
        return;
    m_parser.setPackageLimit(packageLimit());
    const NetworkPackageParser::Result result = m_parser.feed(bytes);
    for (const NetworkPackageParser::Event& event : result.events) {
        switch (event.kind) {
        case NetworkPackageParser::Event::Package:
            emit packageObtained(event.bytes);
            break;
        case NetworkPackageParser::Event::Json:
            emit jsonObtained(event.object);
            break;
        case NetworkPackageParser::Event::JsonArray:
            emit jsonArrayObtained(event.array);
            break;
        case NetworkPackageParser::Event::File: {
            QString error;
            const QString path = NetworkFileStore(receiveFolder()).store(event.file, &error);
            if (path.isEmpty()) {
                logLimited(error);
                emit packetError(error);
            } else {
                emit fileObtained(path);
            }
            break;
        }
        case NetworkPackageParser::Event::PacketError:
            emit packetError(event.text);
            break;
        case NetworkPackageParser::Event::LogError:
            logLimited(event.text);
            break;
        }
    }
    // Only a completed frame earns more time: a peer dripping bytes cannot
    // keep a partial package alive.
    if (!m_parser.hasPartial())
        m_abandon->stop();
    else if (result.framesCompleted > 0 || !m_abandon->isActive())
        m_abandon->start();
}

void NetworkHandle::onAbandon()
{
    for (const QString& line : m_parser.abandon())
        logWarning() << line;
}

void NetworkHandle::onSendRaw(const QByteArray& content, bool is_frame)
{
    if (content.isEmpty()) {
        emit packageSent();
        return;
    }
    QVector<QByteArray> pieces;
    for (int pos = 0; pos < content.size(); pos += NetworkFrame::MaxContentSize) {
        const QByteArray piece = content.mid(pos, NetworkFrame::MaxContentSize);
        pieces.append(is_frame ? NetworkFrame(piece).serialize() : piece);
    }
    send(pieces, content.size());
}

void NetworkHandle::onSendFilePackage(const QString& local_path, const QString& remote_path, bool is_append)
{
    QFile file(local_path);
    if (!file.open(QIODevice::ReadOnly)) {
        logError() << "cannot open source file: " << local_path;
        reportError("cannot open source file: " + local_path);
        return;
    }
    const qint64 size = file.size();
    if (size > qint64(NetworkPackage::MaxBodySize) - NetworkFilePackage::FixedBodySize - remote_path.size()) {
        reportError("package not sent: source file too large: " + local_path);
        return;
    }
    if (!reserveSend(size)) {
        reportError("package not sent: send queue full");
        return;
    }
    NetworkFilePackage package(local_path, remote_path, is_append);
    package.setContent(file.readAll());
    if (package.content().size() != size || file.error() != QFileDevice::NoError) {
        releaseSend(size);
        reportError("cannot read source file: " + local_path);
        return;
    }
    const QByteArray wire = package.serialize();
    if (wire.isEmpty()) {
        releaseSend(size);
        reportError("package not sent: target path must be ASCII: " + remote_path);
        return;
    }
    QVector<QByteArray> frames;
    for (int pos = 0; pos < wire.size(); pos += NetworkFrame::MaxContentSize)
        frames.append(NetworkFrame(wire.mid(pos, NetworkFrame::MaxContentSize)).serialize());
    send(frames, size);
}

bool NetworkHandle::send(const QVector<QByteArray>& pieces, qint64 reserved)
{
    if (QUdpSocket* udp = udpSocket()) {
        const NetworkChannel peer = channel();
        for (const QByteArray& piece : pieces) {
            const qint64 written = udp->state() == QAbstractSocket::ConnectedState
                ? udp->write(piece)
                : udp->writeDatagram(piece, peer.peerAddress(), quint16(peer.peerPort()));
            if (written != piece.size()) {
                releaseSend(reserved);
                reportError("package not sent: " + udp->errorString());
                return false;
            }
        }
        releaseSend(reserved);
        emit packageSent();
        return true;
    }
    // While connecting the socket buffers what is written; a TLS socket
    // holds it until the handshake succeeds.
    const QAbstractSocket::SocketState state = m_socket->state();
    if (state == QAbstractSocket::UnconnectedState || state == QAbstractSocket::ClosingState
        || state == QAbstractSocket::BoundState) {
        releaseSend(reserved);
        reportError("package not sent: not connected");
        return false;
    }
    qint64 total = 0;
    for (const QByteArray& piece : pieces) {
        if (m_socket->write(piece) != piece.size()) {
            // Part of a package on the wire would desynchronise the peer.
            releaseSend(reserved);
            reportError("package not sent: " + m_socket->errorString());
            m_socket->abort();
            return false;
        }
        total += piece.size();
    }
    // Confirmed by bytesWritten, which may already come from flush().
    m_queued += total;
    m_sending.enqueue({m_queued, reserved});
    m_socket->flush();
    return true;
}

void NetworkHandle::onBytesWritten(qint64 bytes)
{
    m_written += bytes;
    while (!m_sending.isEmpty() && m_sending.head().end <= m_written) {
        releaseSend(m_sending.dequeue().reserved);
        emit packageSent();
    }
}

void NetworkHandle::failPending(const QString& reason)
{
    m_queued = 0;
    m_written = 0;
    if (m_sending.isEmpty())
        return;
    while (!m_sending.isEmpty())
        releaseSend(m_sending.dequeue().reserved);
    reportError("package not sent: " + reason);
}

void NetworkHandle::shutdown()
{
    m_abandon->stop();
    if (m_ownsSocket)
        m_socket->abort();
    failPending("endpoint closed");
    m_parser.reset();
}

void NetworkHandle::reportError(const QString& text)
{
    {
        QMutexLocker locker(&m_mutex);
        m_error = text;
    }
    emit socketError(text);
}

void NetworkHandle::logLimited(const QString& line)
{
    QString summary;
    const bool allowed = m_limiter.allow(m_clock.elapsed(), &summary);
    if (!summary.isEmpty())
        logWarning() << summary;
    if (allowed)
        logError() << line;
}

} // namespace ve
