#pragma once

#include "NetworkFilePackage.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QVector>

namespace ve {

// The receive side of the stream with no socket: bytes in, packages out.
// Bytes from a peer are untrusted: lengths are read unsigned, nothing is
// reserved from a length field, and any protocol error drops both caches so
// later bytes are never spliced onto a torn package.
class VE_EXPORT NetworkPackageParser
{
public:
    struct Event
    {
        enum Kind
        {
            Package, // bytes: a raw package body
            Json, // object
            JsonArray, // array
            File, // file: a checked file package (digest verified)
            PacketError, // text: for the packetError signal
            LogError // text: an error-level log line
        };
        Kind kind = Package;
        QByteArray bytes;
        QJsonObject object;
        QJsonArray array;
        NetworkFilePackage file;
        QString text;
    };

    struct Result
    {
        QVector<Event> events;
        int framesCompleted = 0;
    };

    Result feed(const QByteArray& bytes);

    // Drops stale partial data; returns the log lines that say so.
    QStringList abandon();
    void reset();

    bool hasPartial() const { return !m_frames.isEmpty() || !m_package.isEmpty(); }
    int frameCacheSize() const { return m_frames.size(); }
    int packageCacheSize() const { return m_package.size(); }

    // Largest body accepted; at most NetworkPackage::MaxBodySize.
    quint32 packageLimit() const { return m_limit; }
    void setPackageLimit(quint32 limit);

private:
    void packageLoop(Result& result);
    void deliver(int type, const QByteArray& body, Result& result);

    QByteArray m_frames;
    QByteArray m_package;
    quint32 m_limit = NetworkPackage::MaxBodySize;
};

} // namespace ve
