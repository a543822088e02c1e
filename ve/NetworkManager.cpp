#include "NetworkManager.h"

#include "CrashHandler.h"
#include "Logging.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QThread>

namespace ve {

namespace {

NetworkManager*& instancePointer()
{
    static NetworkManager* manager = nullptr;
    return manager;
}

void destroyInstance()
{
    delete instancePointer();
    instancePointer() = nullptr;
}

} // namespace

NetworkManager* NetworkManager::instance()
{
    NetworkManager*& manager = instancePointer();
    if (!manager) {
        manager = new NetworkManager;
        // Its threads must stop while Qt is still there, not at static
        // destruction.
        qAddPostRoutine(destroyInstance);
    }
    return manager;
}

NetworkManager::NetworkManager()
{
    for (int i = 0; i < ThreadCount; ++i) {
        auto* thread = new QThread(this);
        thread->setObjectName(QString("ve.net.%1").arg(i));
        // `started` is emitted on the new thread: a stack overflow there still leaves a report.
        connect(
            thread, &QThread::started, thread, [] { CrashHandler::prepareThread(); }, Qt::DirectConnection);
        thread->start(QThread::InheritPriority);
        m_threads.append(thread);
        m_use.append(0);
    }
}

NetworkManager::~NetworkManager()
{
    const QList<NetworkObject*> objects = m_objects.values();
    m_objects.clear();
    qDeleteAll(objects);
    for (QThread* thread : qAsConst(m_threads)) {
        thread->quit();
        thread->wait();
    }
}

NetworkObject* NetworkManager::regist(
    const QString& name, NetworkHandle::NetworkType type, const NetworkChannel& channel)
{
    if (NetworkObject* existing = m_objects.value(name))
        return existing;
    auto* object = new NetworkObject(type, channel, applyThread());
    m_objects.insert(name, object);
    return object;
}

NetworkObject* NetworkManager::regist(
    const QString& name, NetworkHandle::NetworkType type, QAbstractSocket* socket)
{
    if (NetworkObject* existing = m_objects.value(name))
        return existing;
    // The socket moves to a worker thread, which it cannot do with a parent;
    // used from two threads it would race.
    if (socket && (socket->parent() || socket->thread() != QThread::currentThread())) {
        logError() << "network socket for \"" << name << "\" must have no parent and belong to this thread";
        return nullptr;
    }
    auto* object = new NetworkObject(type, socket, applyThread());
    m_objects.insert(name, object);
    return object;
}

NetworkObject* NetworkManager::netObject(const QString& name) const
{
    return m_objects.value(name);
}

QString NetworkManager::findNetName(const NetworkHandle* handle) const
{
    for (auto it = m_objects.cbegin(); it != m_objects.cend(); ++it) {
        if (it.value()->handle() == handle)
            return it.key();
    }
    return QString();
}

bool NetworkManager::cancel(const QString& name)
{
    NetworkObject* object = m_objects.take(name);
    if (!object)
        return false;
    releaseThread(object->workerThread());
    delete object;
    return true;
}

QThread* NetworkManager::applyThread()
{
    int best = 0;
    for (int i = 1; i < m_threads.size(); ++i) {
        if (m_use[i] < m_use[best])
            best = i;
    }
    ++m_use[best];
    return m_threads[best];
}

void NetworkManager::releaseThread(QThread* thread)
{
    const int index = m_threads.indexOf(thread);
    if (index >= 0 && m_use[index] > 0)
        --m_use[index];
}

NetworkManager* net()
{
    return NetworkManager::instance();
}

NetworkObject* net(const QString& name)
{
    return NetworkManager::instance()->netObject(name);
}

} // namespace ve
