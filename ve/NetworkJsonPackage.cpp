#include "NetworkJsonPackage.h"

#include <QJsonDocument>
#include <QSet>
#include <QVector>

namespace ve {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The string starting after the quote at pos, decoded; pos ends after the
// closing quote. False when it is malformed (the reader reports that).
bool readString(const QByteArray& text, int& pos, QString* out)
{
    int run = pos;
    while (pos < text.size()) {
        const char c = text.at(pos);
        if (c == '"') {
            *out += QString::fromUtf8(text.constData() + run, pos - run);
            ++pos;
            return true;
        }
        if (c != '\\') {
            ++pos;
            continue;
        }
        *out += QString::fromUtf8(text.constData() + run, pos - run);
        if (pos + 1 >= text.size())
            return false;
        const char e = text.at(pos + 1);
        pos += 2;
        switch (e) {
        case '"':
        case '\\':
        case '/':
            *out += QChar(e);
            break;
        case 'b':
            *out += QChar('\b');
            break;
        case 'f':
            *out += QChar('\f');
            break;
        case 'n':
            *out += QChar('\n');
            break;
        case 'r':
            *out += QChar('\r');
            break;
        case 't':
            *out += QChar('\t');
            break;
        case 'u': {
            if (pos + 4 > text.size())
                return false;
            ushort unit = 0;
            for (int i = 0; i < 4; ++i) {
                const int v = hexValue(text.at(pos + i));
                if (v < 0)
                    return false;
                unit = ushort(unit * 16 + v);
            }
            *out += QChar(unit);
            pos += 4;
            break;
        }
        default:
            return false;
        }
        run = pos;
    }
    return false;
}

} // namespace

bool NetworkJsonPackage::hasDuplicateKeys(const QByteArray& text)
{
    struct Level
    {
        bool object;
        bool expectKey;
        QSet<QString> keys;
    };
    QVector<Level> stack;
    int pos = 0;
    while (pos < text.size()) {
        const char c = text.at(pos);
        if (c == '"') {
            ++pos;
            QString value;
            if (!readString(text, pos, &value))
                return false;
            if (!stack.isEmpty() && stack.last().object && stack.last().expectKey) {
                Level& level = stack.last();
                if (level.keys.contains(value))
                    return true;
                level.keys.insert(value);
                level.expectKey = false;
            }
            continue;
        }
        if (c == '{' || c == '[') {
            // Deeper than the reader accepts: it refuses the text itself.
            if (stack.size() > 1024)
                return false;
            stack.append({c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            if (stack.isEmpty())
                return false;
            stack.removeLast();
        } else if (c == ',' && !stack.isEmpty() && stack.last().object) {
            stack.last().expectKey = true;
        }
        ++pos;
    }
    return false;
}

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
    if (hasDuplicateKeys(body)) {
        setErrorString("json parse error: duplicate key");
        return false;
    }
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
