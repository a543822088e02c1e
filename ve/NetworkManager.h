#pragma once

#include "NetworkObject.h"

#include <QHash>
#include <QObject>
#include <QVector>

class QThread;

namespace ve {

// Registry of named endpoints, spread over three shared worker threads.
// Used from one thread (the caller's); the endpoints do their work on the
// workers.
class VE_EXPORT NetworkManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int ThreadCount = 3;

    static NetworkManager* instance();
    ~NetworkManager() override;

    NetworkObject* regist(
        const QString& name, NetworkHandle::NetworkType type, const NetworkChannel& channel);
    NetworkObject* regist(const QString& name, NetworkHandle::NetworkType type, QAbstractSocket* socket);
    NetworkObject* netObject(const QString& name) const;
    QString findNetName(const NetworkHandle* handle) const;
    bool cancel(const QString& name);

    // Endpoints per worker thread, in pool order.
    QVector<int> threadUse() const { return m_use; }

private:
    NetworkManager();
    QThread* applyThread();
    void releaseThread(QThread* thread);

    QVector<QThread*> m_threads;
    QVector<int> m_use;
    QHash<QString, NetworkObject*> m_objects;
};

VE_EXPORT NetworkManager* net();
VE_EXPORT NetworkObject* net(const QString& name);

} // namespace ve
