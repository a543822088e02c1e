#pragma once

#include "NetworkPackage.h"

#include <QJsonArray>
#include <QJsonObject>

namespace ve {

// A JSON object or array, sent in compact UTF-8 form.
class VE_EXPORT NetworkJsonPackage : public NetworkPackage
{
public:
    NetworkJsonPackage() = default;
    explicit NetworkJsonPackage(const QJsonObject& object);
    explicit NetworkJsonPackage(const QJsonArray& array);

    int type() const override;
    QByteArray serialize() const override;
    bool deserialize(const QByteArray& bytes) override;
    // The body alone; the error is "json parse error: " and the parser's message.
    bool deserializeBody(const QByteArray& body);

    // True when an object in the text repeats a name. Such documents are
    // refused: the JSON reader loses memory on them, which a peer could
    // repeat without end.
    static bool hasDuplicateKeys(const QByteArray& text);

    bool isArray() const { return m_isArray; }
    QJsonObject object() const { return m_object; }
    QJsonArray array() const { return m_array; }

private:
    QJsonObject m_object;
    QJsonArray m_array;
    bool m_isArray = false;
};

} // namespace ve
