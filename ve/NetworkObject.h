#pragma once

#include "NetworkHandle.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>

class QThread;

namespace ve {

// The caller's side of one endpoint: every call is queued to the handle on
// its worker thread and returns at once. The write calls return false when
// the endpoint already has its send limit of bytes waiting.
class VE_EXPORT NetworkObject : public QObject
{
    Q_OBJECT
public:
    NetworkObject(NetworkHandle::NetworkType type, const NetworkChannel& channel, QThread* thread,
        QObject* parent = nullptr);
    // socket must have no parent; it is used, not owned.
    NetworkObject(
        NetworkHandle::NetworkType type, QAbstractSocket* socket, QThread* thread, QObject* parent = nullptr);
    // Closes the socket on the worker thread before returning.
    ~NetworkObject() override;

    void connectToHost(const QHostAddress& address, int port);
    void connectToHost(const QString& address, int port);
    void disconnectFromHost();
    bool writeRaw(const QByteArray& content, bool is_frame);
    bool writePackage(const QByteArray& bytes, bool is_frame);
    bool writeJsonPackage(const QJsonObject& json, bool is_frame);
    bool writeJsonPackage(const QJsonArray& json, bool is_frame);
    bool writeFilePackage(const QString& local_path, const QString& remote_path, bool is_append);

    NetworkHandle* handle() const { return m_handle; }
    QThread* workerThread() const { return m_thread; }

signals:
    void tryConnectToHost(const QHostAddress& address, int port);
    void tryDisconnectFromHost();
    void sendRaw(const QByteArray& content, bool is_frame);
    void sendFilePackage(const QString& local_path, const QString& remote_path, bool is_append);

private:
    void attach(QAbstractSocket* handed_in);

    NetworkHandle* m_handle;
    QThread* m_thread;
};

} // namespace ve
