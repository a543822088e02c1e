#include "ConvertCommand.h"

#include "DataManager.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zlib.h>

namespace ve {

namespace {

enum class Form
{
    None,
    Json,
    Xml,
    Bin
};

// The form is chosen by the word's prefix.
Form formOf(const QString& word)
{
    if (word.startsWith(QLatin1String("JSON")))
        return Form::Json;
    if (word.startsWith(QLatin1String("XML")))
        return Form::Xml;
    if (word.startsWith(QLatin1String("BIN")))
        return Form::Bin;
    return Form::None;
}

// The next space-separated word from pos on; pos moves past it.
QString nextWord(const QString& text, int& pos)
{
    while (pos < text.size() && text.at(pos).isSpace())
        ++pos;
    const int start = pos;
    while (pos < text.size() && !text.at(pos).isSpace())
        ++pos;
    return text.mid(start, pos - start);
}

bool decodeHex(const QString& text, QByteArray& out)
{
    QByteArray digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        const ushort u = c.unicode();
        const bool hex = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!hex)
            return false;
        digits.append(char(u));
    }
    // fromHex would skip what is not a digit and pad an odd count silently.
    if (digits.size() % 2 != 0)
        return false;
    out = QByteArray::fromHex(digits);
    return true;
}

} // namespace

ConvertCommand::ConvertCommand(QObject* parent)
    : BaseCommand(QStringLiteral("convert"), false, parent)
{ }

QString ConvertCommand::usage() const
{
    return tr("convert JSON|XML|BIN JSON|XML|BIN -data=<data>|-path=<path>");
}

QString ConvertCommand::instruction() const
{
    return tr("Convert 1st type of data to 2nd type");
}

bool ConvertCommand::uncompressBounded(const QByteArray& data, QByteArray& out)
{
    out.clear();
    if (data.size() < 4)
        return false;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const quint32 expected
        = (quint32(bytes[0]) << 24) | (quint32(bytes[1]) << 16) | (quint32(bytes[2]) << 8) | bytes[3];
    if (expected > MaxDataSize)
        return false;

    z_stream z {};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(bytes + 4);
    z.avail_in = uInt(data.size() - 4);
    // Grown as the data expand, never from the size the data claim.
    out.reserve(int(qMin<quint32>(expected, 1024 * 1024)));
    char chunk[64 * 1024];
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof(chunk);
        result = inflate(&z, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
        const int produced = int(sizeof(chunk) - z.avail_out);
        if (out.size() + qint64(produced) > MaxDataSize) {
            result = Z_MEM_ERROR;
            break;
        }
        out.append(chunk, produced);
        if (result == Z_OK && produced == 0 && z.avail_in == 0)
            result = Z_BUF_ERROR; // truncated: nothing left to read, stream not ended
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END) {
        out.clear();
        return false;
    }
    return true;
}

void ConvertCommand::run(DataObject*, const QString& text)
{
    int pos = 0;
    const QString origin = nextWord(text, pos).trimmed();
    const QString target = nextWord(text, pos).trimmed();
    if (origin == target) {
        emit error(QStringLiteral("origin type is same with target type"));
        return;
    }

    // Only the option right after the two words counts: data that happen to
    // contain "-path=" are data, not a file to read.
    const QString option = text.mid(pos).trimmed();
    const bool fromPath = option.startsWith(QLatin1String("-path="));
    const bool fromData = option.startsWith(QLatin1String("-data="));
    if (!option.isEmpty() && !fromPath && !fromData) {
        int optionPos = 0;
        const QString name = nextWord(option, optionPos);
        emit unknown(name);
        emit error(QStringLiteral("unknown option: ") + name);
        return;
    }

    DataObject node {QString()};
    if (fromPath || fromData) {
        const Form form = formOf(origin);
        if (form == Form::None) {
            emit error(QStringLiteral("unknown origin type: ") + origin);
            return;
        }
        QByteArray bytes;
        if (fromPath) {
            const QString path = option.mid(6).trimmed();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                emit error(QStringLiteral("cannot read file: ") + path);
                return;
            }
            if (file.size() > MaxDataSize) {
                emit error(QStringLiteral("file too large: ") + path);
                return;
            }
            bytes = file.read(MaxDataSize + 1);
            if (file.error() != QFileDevice::NoError || bytes.size() > MaxDataSize) {
                emit error(QStringLiteral("cannot read file: ") + path);
                return;
            }
        } else if (form == Form::Bin) {
            if (!decodeHex(option.mid(6), bytes)) {
                emit error(QStringLiteral("invalid hexadecimal data"));
                return;
            }
        } else {
            bytes = option.mid(6).toUtf8();
        }

        if (form == Form::Json) {
            QJsonParseError parseError {};
            QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
            if (fromPath && parseError.error == QJsonParseError::IllegalUTF8String)
                doc = QJsonDocument::fromJson(DataManager::convertToUtf8(bytes).toUtf8(), &parseError);
            if (parseError.error != QJsonParseError::NoError) {
                emit error(QStringLiteral("invalid json: ") + parseError.errorString());
                return;
            }
            if (!doc.object().isEmpty())
                node.importFromJson(this, doc.object());
            else
                node.importFromJson(this, doc.array());
        } else if (form == Form::Xml) {
            QXmlStreamReader reader(bytes);
            node.importFromXml(this, reader);
            if (reader.hasError()) {
                emit error(QStringLiteral("invalid xml: ") + reader.errorString());
                return;
            }
        } else {
            QByteArray raw;
            if (!uncompressBounded(bytes, raw) || raw.isEmpty()) {
                emit error(QStringLiteral("invalid binary data"));
                return;
            }
            node.importFromBin(this, raw);
        }
    }

    switch (formOf(target)) {
    case Form::Json: {
        const QJsonValue value = node.exportToJson();
        if (value.isObject())
            emit output(QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented)));
        else if (value.isArray())
            emit output(QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)));
        else
            emit output(value.toVariant().toString());
        break;
    }
    case Form::Xml: {
        QString xml;
        QXmlStreamWriter writer(&xml);
        writer.setAutoFormatting(true);
        writer.setAutoFormattingIndent(4);
        writer.writeStartDocument();
        node.exportToXml(writer);
        writer.writeEndDocument();
        emit output(xml);
        break;
    }
    case Form::Bin:
        emit output(QString::fromLatin1(qCompress(node.exportToBin()).toHex(' ')));
        break;
    case Form::None:
        emit error(QStringLiteral("unknown target type: ") + target);
        break;
    }
}

} // namespace ve
