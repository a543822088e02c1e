#include "NetworkPackageParser.h"

#include "NetworkFrame.h"
#include "NetworkJsonPackage.h"

#include <QtEndian>

namespace ve {

namespace {

NetworkPackageParser::Event textEvent(NetworkPackageParser::Event::Kind kind, const QString& text)
{
    NetworkPackageParser::Event event;
    event.kind = kind;
    event.text = text;
    return event;
}

} // namespace

void NetworkPackageParser::setPackageLimit(quint32 limit)
{
    m_limit = qMin(limit, NetworkPackage::MaxBodySize);
}

NetworkPackageParser::Result NetworkPackageParser::feed(const QByteArray& bytes)
{
    Result result;
    m_frames.append(bytes);
    // Consumed frames are cut off once at the end: removing each from the
    // front would copy the rest of the cache per frame.
    int pos = 0;
    while (m_frames.size() - pos >= NetworkFrame::HeaderSize) {
        const quint16 length = qFromBigEndian<quint16>(m_frames.constData() + pos);
        if (length > NetworkFrame::MaxContentSize) {
            result.events.append(textEvent(Event::LogError, "frame size error, frame abondon"));
            reset();
            return result;
        }
        if (m_frames.size() - pos < NetworkFrame::HeaderSize + int(length))
            break;
        m_package.append(m_frames.constData() + pos + NetworkFrame::HeaderSize, length);
        pos += NetworkFrame::HeaderSize + length;
        ++result.framesCompleted;
        packageLoop(result);
        if (m_frames.isEmpty()) // a package error dropped everything
            return result;
    }
    m_frames.remove(0, pos);
    return result;
}

void NetworkPackageParser::packageLoop(Result& result)
{
    int pos = 0;
    while (m_package.size() - pos >= NetworkPackage::HeaderSize) {
        const quint32 length = qFromBigEndian<quint32>(m_package.constData() + pos);
        const quint8 type = quint8(m_package.at(pos + 4));
        if (length > m_limit) {
            result.events.append(textEvent(Event::PacketError, "package length error, package abondon"));
            reset();
            return;
        }
        if (type >= 3) {
            result.events.append(textEvent(Event::PacketError, "package type error, package abondon"));
            reset();
            return;
        }
        if (quint64(m_package.size() - pos) < quint64(NetworkPackage::HeaderSize) + length)
            break;
        const QByteArray body = m_package.mid(pos + NetworkPackage::HeaderSize, int(length));
        pos += NetworkPackage::HeaderSize + int(length);
        deliver(type, body, result);
    }
    m_package.remove(0, pos);
}

void NetworkPackageParser::deliver(int type, const QByteArray& body, Result& result)
{
    Event event;
    if (type == 0) {
        event.kind = Event::Package;
        event.bytes = body;
    } else if (type == 2) {
        NetworkJsonPackage json;
        if (!json.deserializeBody(body)) {
            result.events.append(textEvent(Event::LogError, json.errorString()));
            return;
        }
        event.kind = json.isArray() ? Event::JsonArray : Event::Json;
        event.object = json.object();
        event.array = json.array();
    } else {
        if (!event.file.deserializeBody(body)) {
            result.events.append(textEvent(Event::LogError, event.file.errorString()));
            return;
        }
        event.kind = Event::File;
    }
    result.events.append(event);
}

QStringList NetworkPackageParser::abandon()
{
    QStringList lines;
    if (!m_frames.isEmpty())
        lines << QString("abondon frame cache, size: %1").arg(m_frames.size());
    if (!m_package.isEmpty())
        lines << QString("abondon package cache, size: %1").arg(m_package.size());
    reset();
    return lines;
}

void NetworkPackageParser::reset()
{
    // Swap with empties so a large dropped package gives its memory back.
    QByteArray().swap(m_frames);
    QByteArray().swap(m_package);
}

} // namespace ve
