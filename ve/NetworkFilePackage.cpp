#include "NetworkFilePackage.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace ve {

NetworkFilePackage::NetworkFilePackage(const QString& source_path, const QString& target_path, bool is_append)
    : m_sourcePath(source_path)
    , m_targetPath(target_path)
    , m_append(is_append)
{ }

int NetworkFilePackage::type() const
{
    return 1;
}

QByteArray NetworkFilePackage::serialize() const
{
    for (const QChar c : m_targetPath) {
        if (c.unicode() > 0x7f)
            return QByteArray();
    }
    const QByteArray path = m_targetPath.toLatin1();
    if (path.size() > 0xffff)
        return QByteArray();
    QByteArray body(FixedBodySize, '\0');
    body[2] = m_append ? 1 : 0;
    const QByteArray md5 = QCryptographicHash::hash(m_content, QCryptographicHash::Md5);
    memcpy(body.data() + 3, md5.constData(), 16);
    qToBigEndian<quint16>(quint16(path.size()), body.data() + 19);
    body.append(path);
    body.append(m_content);
    return withHeader(body);
}

bool NetworkFilePackage::deserialize(const QByteArray& bytes)
{
    QByteArray body;
    if (!takeBody(bytes, &body))
        return false;
    return deserializeBody(body);
}

bool NetworkFilePackage::deserializeBody(const QByteArray& body)
{
    if (body.size() < FixedBodySize) {
        setErrorString(QString("cannot resolve file package, size: %1").arg(body.size()));
        return false;
    }
    const quint16 format = qFromBigEndian<quint16>(body.constData());
    if (format != 0) {
        setErrorString(QString("cannot resolve file package proto %1").arg(format));
        return false;
    }
    const int length = qFromBigEndian<quint16>(body.constData() + 19);
    const QByteArray raw_path = body.mid(FixedBodySize, length);
    const QString path = QString::fromUtf8(raw_path);
    if (raw_path.size() != length || path.size() != length) {
        setErrorString(QString("path resolves falied, len: %1 path: %2").arg(length).arg(path));
        return false;
    }
    const QByteArray content = body.mid(FixedBodySize + length);
    const QByteArray digest = body.mid(3, 16);
    if (QCryptographicHash::hash(content, QCryptographicHash::Md5) != digest) {
        setErrorString(QString("file package digest mismatch, path: %1").arg(path));
        return false;
    }
    m_append = body.at(2) == 1;
    m_targetPath = path;
    m_content = content;
    m_digest = digest;
    setErrorString(QString());
    return true;
}

} // namespace ve
