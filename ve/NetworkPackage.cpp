#include "NetworkPackage.h"

#include <QtEndian>

namespace ve {

NetworkPackage::NetworkPackage(const QByteArray& body)
    : m_body(body)
{ }

NetworkPackage::~NetworkPackage() = default;

int NetworkPackage::type() const
{
    return 0;
}

quint8 NetworkPackage::flag() const
{
    return 0;
}

bool NetworkPackage::check(const QByteArray& bytes) const
{
    return bytes.size() >= HeaderSize;
}

QByteArray NetworkPackage::serialize() const
{
    return withHeader(m_body);
}

bool NetworkPackage::deserialize(const QByteArray& bytes)
{
    return takeBody(bytes, &m_body);
}

QByteArray NetworkPackage::header(quint32 body_length, int type, quint8 flag)
{
    QByteArray out(HeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(body_length, out.data());
    out[4] = char(type);
    out[5] = char(flag);
    return out;
}

bool NetworkPackage::takeBody(const QByteArray& bytes, QByteArray* body)
{
    if (!check(bytes)) {
        m_error = "package header incomplete";
        return false;
    }
    const quint32 length = qFromBigEndian<quint32>(bytes.constData());
    if (length > MaxBodySize) {
        m_error = "package length error, package abondon";
        return false;
    }
    if (quint8(bytes.at(4)) != type()) {
        m_error = "package type error, package abondon";
        return false;
    }
    if (quint64(bytes.size()) < quint64(HeaderSize) + length) {
        m_error = "package incomplete";
        return false;
    }
    *body = bytes.mid(HeaderSize, int(length));
    m_error.clear();
    return true;
}

QByteArray NetworkPackage::withHeader(const QByteArray& body) const
{
    if (quint64(body.size()) > MaxBodySize)
        return QByteArray();
    return header(quint32(body.size()), type(), flag()) + body;
}

} // namespace ve
