#pragma once

#include "VeGlobal.h"

#include <QByteArray>
#include <QString>

namespace ve {

// A raw package: big-endian 32-bit body length, type byte, flag byte, body.
// The file and JSON packages share the header and differ in the body.
class VE_EXPORT NetworkPackage
{
public:
    static constexpr int HeaderSize = 6;
    static constexpr quint32 MaxBodySize = 524288000;

    NetworkPackage() = default;
    explicit NetworkPackage(const QByteArray& body);
    virtual ~NetworkPackage();

    virtual int type() const;
    virtual quint8 flag() const;
    // True when bytes hold a whole header.
    virtual bool check(const QByteArray& bytes) const;
    // Header and body; empty when the package cannot be represented.
    virtual QByteArray serialize() const;
    // A whole package of this type; false (with errorString()) otherwise.
    virtual bool deserialize(const QByteArray& bytes);

    QByteArray body() const { return m_body; }
    void setBody(const QByteArray& body) { m_body = body; }
    QString errorString() const { return m_error; }

    // The 6 header bytes for a body of the given length and type.
    static QByteArray header(quint32 body_length, int type, quint8 flag = 0);

protected:
    // The body of a whole package of this type, or false with the error set.
    bool takeBody(const QByteArray& bytes, QByteArray* body);
    QByteArray withHeader(const QByteArray& body) const;
    void setErrorString(const QString& error) { m_error = error; }

private:
    QByteArray m_body;
    QString m_error;
};

} // namespace ve
