#include "NetworkFrame.h"

#include "Logging.h"

#include <QtEndian>

namespace ve {

NetworkFrame::NetworkFrame(const QByteArray& content)
    : m_content(content)
{ }

NetworkFrame::~NetworkFrame() = default;

bool NetworkFrame::check(const QByteArray& bytes) const
{
    if (bytes.size() < HeaderSize)
        return false;
    const quint16 length = qFromBigEndian<quint16>(bytes.constData());
    return length <= MaxContentSize && bytes.size() >= HeaderSize + int(length);
}

QByteArray NetworkFrame::serialize() const
{
    if (m_content.size() > MaxContentSize) {
        logWarning() << QString("frame size %1 exceeds %2!").arg(m_content.size()).arg(MaxContentSize);
        return QByteArray();
    }
    QByteArray out(HeaderSize, Qt::Uninitialized);
    qToBigEndian<quint16>(quint16(m_content.size()), out.data());
    out.append(m_content);
    return out;
}

bool NetworkFrame::deserialize(const QByteArray& bytes)
{
    if (!check(bytes))
        return false;
    const quint16 length = qFromBigEndian<quint16>(bytes.constData());
    m_content = bytes.mid(HeaderSize, length);
    return true;
}

QByteArray NetworkFrame::frames(const QByteArray& data)
{
    QByteArray out;
    const int count = (data.size() + MaxContentSize - 1) / MaxContentSize;
    out.reserve(data.size() + count * HeaderSize);
    for (int pos = 0; pos < data.size(); pos += MaxContentSize)
        out.append(NetworkFrame(data.mid(pos, MaxContentSize)).serialize());
    return out;
}

} // namespace ve
