#include "NetworkObject.h"

#include "NetworkJsonPackage.h"

#include <QAbstractSocket>
#include <QThread>

namespace ve {

NetworkObject::NetworkObject(
    NetworkHandle::NetworkType type, const NetworkChannel& channel, QThread* thread, QObject* parent)
    : QObject(parent)
    , m_handle(new NetworkHandle(type, channel))
    , m_thread(thread)
{
    attach(nullptr);
}

NetworkObject::NetworkObject(
    NetworkHandle::NetworkType type, QAbstractSocket* socket, QThread* thread, QObject* parent)
    : QObject(parent)
    , m_handle(new NetworkHandle(type,
          socket ? NetworkChannel(
              socket->localAddress(), socket->localPort(), socket->peerAddress(), socket->peerPort())
                 : NetworkChannel(),
          socket))
    , m_thread(thread)
{
    attach(socket);
}

void NetworkObject::attach(QAbstractSocket* handed_in)
{
    connect(this, &NetworkObject::tryConnectToHost, m_handle, &NetworkHandle::onTryConnectToHost);
    connect(this, &NetworkObject::tryDisconnectFromHost, m_handle, &NetworkHandle::onTryDisconnectFromHost);
    connect(this, &NetworkObject::sendRaw, m_handle, &NetworkHandle::onSendRaw);
    connect(this, &NetworkObject::sendFilePackage, m_handle, &NetworkHandle::onSendFilePackage);
    if (handed_in && !handed_in->parent())
        handed_in->moveToThread(m_thread);
    m_handle->moveToThread(m_thread);
}

NetworkObject::~NetworkObject()
{
    // The socket must be closed (and its port free) when this returns, and
    // the handle deleted on its own thread.
    NetworkHandle* handle = m_handle;
    if (m_thread->isRunning() && m_thread != QThread::currentThread())
        QMetaObject::invokeMethod(handle, &NetworkHandle::shutdown, Qt::BlockingQueuedConnection);
    else
        handle->shutdown();
    handle->deleteLater();
}

void NetworkObject::connectToHost(const QHostAddress& address, int port)
{
    emit tryConnectToHost(address, port);
}

void NetworkObject::connectToHost(const QString& address, int port)
{
    emit tryConnectToHost(QHostAddress(address), port);
}

void NetworkObject::disconnectFromHost()
{
    emit tryDisconnectFromHost();
}

bool NetworkObject::writeRaw(const QByteArray& content, bool is_frame)
{
    if (!m_handle->reserveSend(content.size()))
        return false;
    emit sendRaw(content, is_frame);
    return true;
}

bool NetworkObject::writePackage(const QByteArray& bytes, bool is_frame)
{
    const QByteArray package = NetworkPackage(bytes).serialize();
    return !package.isEmpty() && writeRaw(package, is_frame);
}

bool NetworkObject::writeJsonPackage(const QJsonObject& json, bool is_frame)
{
    const QByteArray package = NetworkJsonPackage(json).serialize();
    return !package.isEmpty() && writeRaw(package, is_frame);
}

bool NetworkObject::writeJsonPackage(const QJsonArray& json, bool is_frame)
{
    const QByteArray package = NetworkJsonPackage(json).serialize();
    return !package.isEmpty() && writeRaw(package, is_frame);
}

bool NetworkObject::writeFilePackage(const QString& local_path, const QString& remote_path, bool is_append)
{
    // The file is read on the worker, which takes room for it then.
    if (!m_handle->reserveSend(0))
        return false;
    emit sendFilePackage(local_path, remote_path, is_append);
    return true;
}

} // namespace ve
