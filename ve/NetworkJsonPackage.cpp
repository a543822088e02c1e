#include "NetworkJsonPackage.h"

#include <QJsonDocument>

namespace ve {

NetworkJsonPackage::NetworkJsonPackage(const QJsonObject& object)
    : m_object(object)
{ }

NetworkJsonPackage::NetworkJsonPackage(const QJsonArray& array)
    : m_array(array)
    , m_isArray(true)
{ }

int NetworkJsonPackage::type() const
{
    return 2;
}

QByteArray NetworkJsonPackage::serialize() const
{
    const QJsonDocument document = m_isArray ? QJsonDocument(m_array) : QJsonDocument(m_object);
    return withHeader(document.toJson(QJsonDocument::Compact));
}

bool NetworkJsonPackage::deserialize(const QByteArray& bytes)
{
    QByteArray body;
    if (!takeBody(bytes, &body))
        return false;
    return deserializeBody(body);
}

bool NetworkJsonPackage::deserializeBody(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        setErrorString("json parse error: " + error.errorString());
        return false;
    }
    m_isArray = document.isArray();
    m_object = document.object();
    m_array = document.array();
    setErrorString(QString());
    return true;
}

} // namespace ve
