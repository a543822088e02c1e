// The data tree's JSON, XML, variant and binary forms and its log dump.
#include "DataObject.h"

#include "DataManager.h"
#include "Logging.h"

#include <QDataStream>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaType>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QTimeZone>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace ve {

namespace {

// Text the XML reader takes back: characters XML 1.0 cannot carry (control
// characters other than tab and line ends, U+FFFE, U+FFFF, lone surrogates)
// would be written raw and stop the reader there, so they are dropped.
QString xmlSafe(const QString& text)
{
    auto bad = [&text](int i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate())
            return i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate();
        if (c.isLowSurrogate())
            return i == 0 || !text.at(i - 1).isHighSurrogate();
        const ushort u = c.unicode();
        return (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xfffe || u == 0xffff;
    };
    int i = 0;
    while (i < text.size() && !bad(i))
        ++i;
    if (i == text.size())
        return text;
    QString safe = text.left(i);
    for (; i < text.size(); ++i) {
        if (!bad(i))
            safe.append(text.at(i));
    }
    return safe;
}

// Shortest text that reads back as the same double.
QString exactNumber(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// Value of an XML "value" attribute: QSize, QPoint and their float forms as
// "a,b"; anything QVariant turns into text as that text. Null when the value
// has no text form.
QString xmlValueText(const QVariant& value, bool* ok)
{
    *ok = true;
    switch (value.userType()) {
    case QMetaType::QSize: {
        const QSize s = value.toSize();
        return QStringLiteral("%1,%2").arg(s.width()).arg(s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = value.toPoint();
        return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    }
    case QMetaType::QSizeF: {
        const QSizeF s = value.toSizeF();
        return exactNumber(s.width()) + QLatin1Char(',') + exactNumber(s.height());
    }
    case QMetaType::QPointF: {
        const QPointF p = value.toPointF();
        return exactNumber(p.x()) + QLatin1Char(',') + exactNumber(p.y());
    }
    // As the number the reader converts back: as a character they would not
    // read back, and a control character would not be written at all.
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QString::number(value.toInt());
    // QVariant turns them into text but does not say it can.
    case QMetaType::Long:
        return QString::number(value.toLongLong());
    case QMetaType::ULong:
        return QString::number(value.toULongLong());
    default:
        break;
    }
    if (value.canConvert<QString>())
        return value.toString();
    *ok = false;
    return QString();
}

// The "a,b" form split at its first comma; a missing part is empty text.
QVariant xmlPairValue(int type, const QString& text, bool* ok)
{
    const int comma = text.indexOf(QLatin1Char(','));
    const QString a = comma < 0 ? text : text.left(comma);
    const QString b = comma < 0 ? QString() : text.mid(comma + 1);
    bool okA = false;
    bool okB = false;
    QVariant v;
    switch (type) {
    case QMetaType::QSize:
        v = QSize(a.toInt(&okA), b.toInt(&okB));
        break;
    case QMetaType::QPoint:
        v = QPoint(a.toInt(&okA), b.toInt(&okB));
        break;
    case QMetaType::QSizeF:
        v = QSizeF(a.toDouble(&okA), b.toDouble(&okB));
        break;
    default:
        v = QPointF(a.toDouble(&okA), b.toDouble(&okB));
        break;
    }
    *ok = okA && okB;
    return *ok ? v : QVariant(QVariant::Type(type));
}

bool isExcludedBinType(int type)
{
    return type == QMetaType::UnknownType || type == QMetaType::VoidStar || type == QMetaType::QObjectStar
        || type == QMetaType::Void || type == QMetaType::Nullptr;
}

// A run-time registered type whose value is a plain memory image: no
// construction or destruction, and no pointer of any kind.
bool isPlainRuntimeType(int type)
{
    if (type < QMetaType::User)
        return false;
    const QMetaType::TypeFlags refused = QMetaType::NeedsConstruction | QMetaType::NeedsDestruction
        | QMetaType::PointerToQObject | QMetaType::SharedPointerToQObject | QMetaType::WeakPointerToQObject
        | QMetaType::TrackingPointerToQObject | QMetaType::PointerToGadget;
    const QByteArray name = QMetaType::typeName(type);
    return !(QMetaType::typeFlags(type) & refused) && !name.isEmpty() && !name.endsWith('*')
        && QMetaType::sizeOf(type) > 0;
}

// The name the tree gives an element of a list: "#", a UUID in braces, and
// "_n" when that was taken.
bool isGeneratedName(const QString& name)
{
    if (name.size() < 39 || name.at(0) != QLatin1Char('#')
        || QUuid::fromString(QStringView(name).mid(1, 38)).isNull())
        return false;
    if (name.size() == 39)
        return true;
    if (name.size() < 41 || name.at(39) != QLatin1Char('_'))
        return false;
    for (int i = 40; i < name.size(); ++i) {
        if (name.at(i) < QLatin1Char('0') || name.at(i) > QLatin1Char('9'))
            return false;
    }
    return true;
}

// A node is written as a list only when every child is an element: one that
// also has named children is written by name (its elements by the names the
// tree gave them), so neither a name nor an element is lost.
bool allRelative(const QList<DataObject*>& children)
{
    for (const DataObject* child : children) {
        if (!child->isRelative())
            return false;
    }
    return true;
}

// Long hostile paths are cut in messages.
QString shown(const QString& path)
{
    return path.size() > 200 ? path.left(200) + QStringLiteral("...") : path;
}

qint64 bytesLeft(QDataStream& in)
{
    return in.device()->bytesAvailable();
}

// Qt reads a string or byte array of the length its prefix claims in blocks
// of up to 2 MB before it finds the record short: a prefix that runs past the
// record is refused before anything is allocated for it. unitBits is 1 for a
// bit count, 8 for a byte count.
bool nextLengthFits(QDataStream& in, int unitBits = 8)
{
    const QByteArray prefix = in.device()->peek(4);
    if (in.status() != QDataStream::Ok || prefix.size() < 4)
        return true; // the read itself fails on what is left
    const auto* p = reinterpret_cast<const uchar*>(prefix.constData());
    const quint32 length = (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
    if (length == 0xffffffffu) // a null string or array
        return true;
    if ((quint64(length) * quint64(unitBits) + 7) / 8 > quint64(bytesLeft(in) - 4)) {
        in.setStatus(QDataStream::ReadPastEnd);
        return false;
    }
    return true;
}

template <typename T>
void readSized(QDataStream& in, T* out)
{
    if (nextLengthFits(in))
        in >> *out;
}

// A 32-bit count that the remaining bytes can hold at minSize bytes per
// element; a count beyond that is a damaged or forged record, refused before
// anything is reserved for it.
bool readCount(QDataStream& in, int minSize, quint32* count)
{
    in >> *count;
    return in.status() == QDataStream::Ok && quint64(*count) * quint64(minSize) <= quint64(bytesLeft(in));
}

// Built-in value types a tree holds whose stream form Qt reads with bounded
// allocation and without recursion.
bool isReadableLeafType(int type)
{
    switch (type) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::QChar:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QBitArray:
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
    case QMetaType::QUrl:
    case QMetaType::QUuid:
    case QMetaType::QSize:
    case QMetaType::QSizeF:
    case QMetaType::QPoint:
    case QMetaType::QPointF:
    case QMetaType::QRect:
    case QMetaType::QRectF:
    case QMetaType::QLine:
    case QMetaType::QLineF:
        return true;
    default:
        return false;
    }
}

// Reads one QVariant in Qt's stream form, with the containers read here so
// that their counts are checked against the bytes left and their nesting is
// bounded. False for a type the tree does not take from a record.
bool readVariant(QDataStream& in, int depth, QVariant* out)
{
    quint32 type = 0;
    qint8 isNull = 0;
    in >> type >> isNull;
    if (in.status() != QDataStream::Ok)
        return false;
    const bool container = type == QMetaType::QVariantList || type == QMetaType::QVariantMap
        || type == QMetaType::QVariantHash || type == QMetaType::QStringList
        || type == QMetaType::QByteArrayList;
    if (container && depth >= 64)
        return false;
    quint32 count = 0;
    QVariant v;
    switch (type) {
    case QMetaType::QVariantList: {
        if (!readCount(in, 5, &count))
            return false;
        QVariantList list;
        for (quint32 i = 0; i < count; ++i) {
            QVariant item;
            if (!readVariant(in, depth + 1, &item))
                return false;
            list.append(item);
        }
        v = list;
        break;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        if (!readCount(in, 9, &count))
            return false;
        QVariantMap map;
        QVariantHash hash;
        for (quint32 i = 0; i < count; ++i) {
            QString key;
            QVariant item;
            readSized(in, &key);
            if (in.status() != QDataStream::Ok || !readVariant(in, depth + 1, &item))
                return false;
            if (type == QMetaType::QVariantMap)
                map.insert(key, item);
            else
                hash.insert(key, item);
        }
        v = type == QMetaType::QVariantMap ? QVariant(map) : QVariant(hash);
        break;
    }
    case QMetaType::QStringList:
    case QMetaType::QByteArrayList: {
        if (!readCount(in, 4, &count))
            return false;
        QStringList strings;
        QByteArrayList arrays;
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            if (type == QMetaType::QStringList) {
                QString text;
                readSized(in, &text);
                strings.append(text);
            } else {
                QByteArray bytes;
                readSized(in, &bytes);
                arrays.append(bytes);
            }
        }
        v = type == QMetaType::QStringList ? QVariant(strings) : QVariant::fromValue(arrays);
        break;
    }
    default:
        if (!isReadableLeafType(int(type)))
            return false;
        {
            // Loaded into a value of its own: writing through QVariant::data()
            // would leave the variant flagged null.
            const bool sized
                = type == QMetaType::QString || type == QMetaType::QByteArray || type == QMetaType::QUrl;
            if ((sized && !nextLengthFits(in)) || (type == QMetaType::QBitArray && !nextLengthFits(in, 1)))
                return false;
            const qint64 start = in.device()->pos();
            std::unique_ptr<void, std::function<void(void*)>> data(
                QMetaType::create(int(type)), [type](void* p) { QMetaType::destroy(int(type), p); });
            if (!data || !QMetaType::load(in, int(type), data.get()))
                return false;
            // A date-time in a zone unknown here loads, but Qt crashes writing
            // it again: refused like any other unreadable value.
            if (type == QMetaType::QDateTime) {
                const auto* dateTime = static_cast<const QDateTime*>(data.get());
                if (dateTime->timeSpec() == Qt::TimeZone && !dateTime->timeZone().isValid())
                    return false;
            }
            // Only a value Qt writes back as it was read: a damaged one
            // (a time past midnight, an unknown time spec) would change shape
            // on every save.
            {
                const qint64 end = in.device()->pos();
                in.device()->seek(start);
                const QByteArray consumed = in.device()->read(end - start);
                QByteArray again;
                QDataStream writer(&again, QIODevice::WriteOnly);
                writer.setVersion(in.version());
                if (!QMetaType::save(writer, int(type), data.get()) || again != consumed)
                    return false;
            }
            v = QVariant(int(type), data.get());
            break;
        }
    }
    if (in.status() != QDataStream::Ok)
        return false;
    *out = isNull ? QVariant(QVariant::Type(type)) : v;
    return true;
}

// The entries of a map or hash value, in its own iteration order.
QList<QPair<QString, QVariant>> mapEntries(const QVariant& value)
{
    QList<QPair<QString, QVariant>> entries;
    if (value.userType() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            entries.append({it.key(), it.value()});
    } else {
        const QVariantHash hash = value.toHash();
        for (auto it = hash.constBegin(); it != hash.constEnd(); ++it)
            entries.append({it.key(), it.value()});
    }
    return entries;
}

// A value in Qt's own stream form, except that a hash, anywhere in it, is
// written in the order of its keys: Qt writes it in the order of its buckets,
// which depends on the hash's history and differs from run to run, so the same
// tree would give other bytes on every save. Qt reads either order.
void writeValue(QDataStream& out, const QVariant& value)
{
    const int type = value.userType();
    if (type != QMetaType::QVariantList && type != QMetaType::QVariantMap
        && type != QMetaType::QVariantHash) {
        out << value;
        return;
    }
    out << quint32(type) << qint8(value.isNull());
    if (type == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        out << quint32(list.size());
        for (const QVariant& item : list)
            writeValue(out, item);
        return;
    }
    // Last entry first, as Qt writes them, so that a repeated key reads back
    // with its latest value.
    QList<QPair<QString, QVariant>> entries = mapEntries(value);
    if (type == QMetaType::QVariantHash) {
        std::stable_sort(entries.begin(), entries.end(),
            [](const QPair<QString, QVariant>& a, const QPair<QString, QVariant>& b) {
                return a.first < b.first;
            });
    }
    out << quint32(entries.size());
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        out << it->first;
        writeValue(out, it->second);
    }
}

} // namespace

// ------------------------------------------------------------------ imports

bool DataObject::insertImported(QObject* changer, const QString& path, bool single, bool replace, int depth)
{
    if (single && (path.isEmpty() || path.contains(DataManager::separator()))) {
        logWarning() << "<m><" << changer << "> invalid name in import: \"" << shown(path) << "\"";
        return false;
    }
    const QStringList parts = path.split(DataManager::separator());
    // A name starting with "#" makes a list element: from a file only a
    // position ("#" and digits) or a name the tree generated itself (written
    // for the elements of a node that also has named children) is one. Any
    // other ("#+1", "#a") would turn a named child into an element, and the
    // node would change shape on every save.
    for (const QString& part : parts) {
        if (part.startsWith(QLatin1Char('#')) && indexOfRname(part) < 0 && !isGeneratedName(part)) {
            logWarning() << "<m><" << changer << "> invalid name in import: \"" << shown(path) << "\"";
            return false;
        }
    }
    if (depth + parts.size() > kMaxImportDepth) {
        logWarning() << "<m><" << changer << "> nested too deep in import: \"" << shown(path) << "\"";
        return false;
    }
    // A position may name an existing element or the next one, never more:
    // "#2000000000" in a file must not create two billion nodes.
    const DataObject* node = this;
    int size = 0;
    for (const QString& part : parts) {
        if (part.isEmpty())
            break; // insert() reports the invalid path
        if (node) {
            if (node->hasCdobj(part, false)) {
                node = node->cdobj(part, false);
                continue;
            }
            size = node->size();
            node = nullptr;
        } else {
            size = 0;
        }
        if (indexOfRname(part) > size) {
            logWarning() << "<m><" << changer << "> position beyond the end in import: \"" << shown(path)
                         << "\"";
            return false;
        }
    }
    return insert(changer, path, replace);
}

// ---------------------------------------------------------------------- JSON

void DataObject::importFromJson(
    QObject* changer, const QJsonValue& value, bool add, bool overwrite, bool removeExtra)
{
    importJsonAt(changer, value, add, overwrite, removeExtra, 0);
}

void DataObject::importJsonAt(
    QObject* changer, const QJsonValue& value, bool add, bool overwrite, bool removeExtra, int depth)
{
    if (isEmpty())
        return;
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        if (depth >= kMaxImportDepth && !array.isEmpty()) {
            logWarning() << "<m><" << changer << "> nested too deep in import: \"" << shown(fullName())
                         << "\"";
            return;
        }
        if (removeExtra) {
            while (size() > array.size())
                remove(changer, last(), true);
        }
        if (add) {
            while (size() < array.size()) {
                if (append(changer, QString())->isEmpty())
                    break;
            }
        }
        const QList<DataObject*> children = cdobjs();
        const int n = qMin(children.size(), array.size());
        for (int i = 0; i < n; ++i)
            children.at(i)->importJsonAt(changer, array.at(i), add, overwrite, removeExtra, depth + 1);
        finishImport(changer);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (removeExtra) {
            for (DataObject* child : cdobjs()) {
                if (!object.contains(child->name()))
                    remove(changer, child, true);
            }
        }
        if (add) {
            for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
                if (rdobj(it.key())->isEmpty())
                    insertImported(changer, it.key(), false, overwrite, depth);
            }
        }
        // A key is a path: its parts count towards the depth.
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            const int childDepth = depth + it.key().count(DataManager::separator()) + 1;
            if (childDepth <= kMaxImportDepth)
                rdobj(it.key())->importJsonAt(changer, it.value(), add, overwrite, removeExtra, childDepth);
        }
        finishImport(changer);
    } else {
        if (!overwrite)
            return;
        if (removeExtra) {
            for (DataObject* child : cdobjs())
                remove(changer, child, true);
        }
        // Every JSON number is a double in the tree, integral ones too (Qt
        // would hand integers out as qlonglong).
        set(changer, value.isDouble() ? QVariant(value.toDouble()) : value.toVariant());
    }
}

QJsonValue DataObject::exportToJson(bool skipHidden) const
{
    const QList<DataObject*> children = cdobjs();
    if (children.isEmpty())
        return QJsonValue::fromVariant(get(QVariant()));
    if (allRelative(children)) {
        QJsonArray array;
        for (DataObject* child : children)
            array.append(child->exportToJson(skipHidden));
        return array;
    }
    QJsonObject object;
    for (DataObject* child : children) {
        if (skipHidden && isHiddenName(child->name()))
            continue;
        object.insert(child->name(), child->exportToJson(skipHidden));
    }
    return object;
}

// ----------------------------------------------------------------------- XML

void DataObject::exportToXml(QXmlStreamWriter& writer, bool isRoot, bool skipHidden) const
{
    if (isRoot)
        writer.writeStartElement(QStringLiteral("m"));
    else if (isRelative())
        writer.writeStartElement(QStringLiteral("l"));
    else {
        writer.writeStartElement(QStringLiteral("c"));
        writer.writeAttribute(QStringLiteral("name"), xmlSafe(name()));
    }
    const QVariant value = get(QVariant());
    if (!value.isNull()) {
        writer.writeAttribute(QStringLiteral("type"), QString::number(value.userType()));
        bool ok = false;
        const QString text = xmlValueText(value, &ok);
        if (ok)
            writer.writeAttribute(QStringLiteral("value"), xmlSafe(text));
    }
    for (DataObject* child : cdobjs()) {
        if (skipHidden && isHiddenName(child->name()))
            continue;
        child->exportToXml(writer, false, skipHidden);
    }
    writer.writeEndElement();
}

void DataObject::importFromXml(
    QObject* changer, QXmlStreamReader& reader, bool add, bool overwrite, bool strict)
{
    // Iterative walk: a stack of the nodes entered, with the number of child
    // elements imported so far and the value waiting for each end element.
    struct Level
    {
        DataObject* node;
        int count;
        QVariant pending;
    };
    std::vector<Level> stack;
    stack.push_back({this, 0, QVariant()});
    while (!reader.atEnd() && !stack.empty()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QXmlStreamAttributes attributes = reader.attributes();
            QVariant var;
            if (attributes.hasAttribute(QStringLiteral("value"))) {
                const QString text = attributes.value(QStringLiteral("value")).toString();
                if (attributes.hasAttribute(QStringLiteral("type"))) {
                    const int type = attributes.value(QStringLiteral("type")).toInt();
                    bool ok = false;
                    if (type == QMetaType::QSize || type == QMetaType::QSizeF || type == QMetaType::QPoint
                        || type == QMetaType::QPointF) {
                        var = xmlPairValue(type, text, &ok);
                    } else {
                        var = text;
                        ok = var.convert(type);
                    }
                    if (!ok)
                        logWarning() << "<m><" << changer << "> cannot convert in xml: ("
                                     << reader.lineNumber() << ", " << reader.columnNumber() << ")";
                } else {
                    var = text;
                }
            }
            Level& current = stack.back();
            const QStringRef element = reader.name();
            QString childName;
            if (element == QLatin1String("m")) {
                if (overwrite) {
                    const bool wasQuiet = m_quiet;
                    m_quiet = true;
                    set(changer, var);
                    m_quiet = wasQuiet;
                }
                stack.front().pending = var;
                continue;
            } else if (element == QLatin1String("c")) {
                childName = attributes.value(QStringLiteral("name")).toString();
                if (childName.isEmpty()) {
                    logWarning() << "<m><" << changer << "> no name specified in xml: ("
                                 << reader.lineNumber() << ", " << reader.columnNumber() << ")";
                    reader.skipCurrentElement();
                    continue;
                }
            } else if (element == QLatin1String("l")) {
                childName = QLatin1Char('#') + QString::number(current.count);
            } else {
                childName = element.toString();
                if (strict) {
                    logWarning() << "<m><" << changer << "> non-standard xml element: \"" << childName
                                 << "\"";
                    reader.skipCurrentElement();
                    continue;
                }
            }
            DataObject* parent = current.node;
            const int depth = int(stack.size()); // of the child
            if (depth > kMaxImportDepth) {
                logWarning() << "<m><" << changer << "> nested too deep in import: (" << reader.lineNumber()
                             << ", " << reader.columnNumber() << ")";
                reader.skipCurrentElement();
                continue;
            }
            if (!parent->hasCdobj(childName, false)) {
                if (!add) {
                    logWarning() << "<m><" << changer << "> importing xml element not exist: \"" << childName
                                 << "\"";
                    reader.skipCurrentElement();
                    continue;
                }
                if (!parent->insertImported(changer, childName, true, overwrite, depth - 1)) {
                    reader.skipCurrentElement();
                    continue;
                }
            }
            DataObject* child = parent->cdobj(childName, false);
            if (child->isEmpty()) {
                reader.skipCurrentElement();
                continue;
            }
            ++current.count;
            stack.push_back({child, 0, overwrite ? var : QVariant()});
        } else if (token == QXmlStreamReader::EndElement) {
            Level level = stack.back();
            stack.pop_back();
            if (overwrite)
                level.node->set(changer, level.pending);
        }
    }
    // Malformed XML ends the import where the reader stopped; say where.
    if (reader.hasError())
        logWarning() << "<m><" << changer << "> xml read stopped early: (" << reader.lineNumber() << ", "
                     << reader.columnNumber() << ") " << reader.errorString();
    finishImport(changer);
}

QString DataObject::exportToXmlStr(int indent, bool skipHidden) const
{
    QString text;
    QXmlStreamWriter writer(&text);
    if (indent > 0) {
        writer.setAutoFormatting(true);
        writer.setAutoFormattingIndent(indent);
    }
    writer.writeStartDocument();
    exportToXml(writer, true, skipHidden);
    writer.writeEndDocument();
    return text;
}

void DataObject::importFromXmlStr(
    QObject* changer, const QString& text, bool add, bool overwrite, bool strict)
{
    QXmlStreamReader reader(text);
    importFromXml(changer, reader, add, overwrite, strict);
}

// ------------------------------------------------------------------- variant

QVariant DataObject::exportToVariant(bool skipHidden) const
{
    const QList<DataObject*> children = cdobjs();
    if (children.isEmpty())
        return get(QVariant());
    if (allRelative(children)) {
        QVariantList list;
        for (DataObject* child : children)
            list.append(child->exportToVariant(skipHidden));
        return list;
    }
    QVariantMap map;
    for (DataObject* child : children) {
        if (skipHidden && isHiddenName(child->name()))
            continue;
        map.insert(child->name(), child->exportToVariant(skipHidden));
    }
    return map;
}

void DataObject::importFromVariant(
    QObject* changer, const QVariant& value, bool add, bool overwrite, bool removeExtra)
{
    importVariantAt(changer, value, add, overwrite, removeExtra, 0);
}

void DataObject::importVariantAt(
    QObject* changer, const QVariant& value, bool add, bool overwrite, bool removeExtra, int depth)
{
    if (isEmpty())
        return;
    const int type = value.userType();
    if (type == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        if (depth >= kMaxImportDepth && !list.isEmpty()) {
            logWarning() << "<m><" << changer << "> nested too deep in import: \"" << shown(fullName())
                         << "\"";
            return;
        }
        if (removeExtra) {
            while (size() > list.size())
                remove(changer, last(), true);
        }
        if (add) {
            while (size() < list.size()) {
                if (append(changer, QString())->isEmpty())
                    break;
            }
        }
        const QList<DataObject*> children = cdobjs();
        const int n = qMin(children.size(), list.size());
        for (int i = 0; i < n; ++i)
            children.at(i)->importVariantAt(changer, list.at(i), add, overwrite, removeExtra, depth + 1);
        finishImport(changer);
    } else if (type == QMetaType::QVariantMap || type == QMetaType::QVariantHash) {
        const QList<QPair<QString, QVariant>> entries = mapEntries(value);
        if (removeExtra) {
            for (DataObject* child : cdobjs()) {
                bool named = false;
                for (const auto& entry : entries)
                    named = named || entry.first == child->name();
                if (!named)
                    remove(changer, child, true);
            }
        }
        if (add) {
            for (const auto& entry : entries) {
                if (rdobj(entry.first)->isEmpty())
                    insertImported(changer, entry.first, false, overwrite, depth);
            }
        }
        for (const auto& entry : entries) {
            const int childDepth = depth + entry.first.count(DataManager::separator()) + 1;
            if (childDepth <= kMaxImportDepth)
                rdobj(entry.first)
                    ->importVariantAt(changer, entry.second, add, overwrite, removeExtra, childDepth);
        }
        finishImport(changer);
    } else {
        if (!overwrite)
            return;
        if (removeExtra) {
            for (DataObject* child : cdobjs())
                remove(changer, child, true);
        }
        set(changer, value);
    }
}

// -------------------------------------------------------------------- binary

QByteArray DataObject::exportToBin(bool skipHidden) const
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    const QVariant value = get(QVariant());
    const int type = value.userType();
    if (type < QMetaType::User && !value.isNull() && !isExcludedBinType(type)) {
        stream << qint8(1);
        writeValue(stream, value);
    } else if (!value.isNull() && isPlainRuntimeType(type)) {
        const char* typeName = QMetaType::typeName(type);
        const int sizeOf = QMetaType::sizeOf(type);
        stream << qint8(2) << QString::fromLatin1(typeName) << qint32(QMetaType::type(typeName))
               << QByteArray(static_cast<const char*>(value.constData()), sizeOf);
    } else {
        // No value, or one whose bytes mean nothing elsewhere (pointers,
        // objects of registered classes): never written.
        stream << qint8(0);
    }
    QStringList names;
    QList<DataObject*> recorded;
    const QList<DataObject*> children = cdobjs();
    for (int i = 0; i < children.size(); ++i) {
        DataObject* child = children.at(i);
        if (skipHidden && isHiddenName(child->name()))
            continue;
        names.append(child->isRelative() ? QLatin1Char('#') + QString::number(i) : child->name());
        recorded.append(child);
    }
    stream << names;
    for (DataObject* child : recorded)
        stream << child->exportToBin(skipHidden);
    return data;
}

void DataObject::importFromBin(
    QObject* changer, const QByteArray& data, bool add, bool overwrite, bool removeExtra)
{
    importBinAt(changer, data, add, overwrite, removeExtra, 0);
}

void DataObject::importBinAt(
    QObject* changer, const QByteArray& data, bool add, bool overwrite, bool removeExtra, int depth)
{
    if (isEmpty())
        return;
    QDataStream stream(data);
    qint8 tag = 0;
    stream >> tag;
    QVariant value;
    if (tag == 1) {
        if (!readVariant(stream, 0, &value)) {
            logWarning() << "<m> import unreadable value: " << shown(fullName());
            value = QVariant();
        }
    } else if (tag == 2) {
        QString typeName;
        qint32 id = 0;
        QByteArray bytes;
        readSized(stream, &typeName);
        stream >> id;
        readSized(stream, &bytes);
        // Raw bytes make a value only of a registered plain type: as a
        // built-in class or a pointer they would crash or plant an address.
        const int type = QMetaType::type(typeName.toLatin1().constData());
        if (stream.status() != QDataStream::Ok || type != id || !isPlainRuntimeType(type)
            || bytes.size() != QMetaType::sizeOf(type)) {
            logWarning() << "<m> import invalid variant: " << shown(fullName()) << " with type \""
                         << shown(typeName) << "\" and id = " << id;
        } else {
            value = QVariant(type, bytes.constData());
        }
    }
    if (stream.status() != QDataStream::Ok)
        value = QVariant();
    QStringList names;
    quint32 count = 0;
    if (readCount(stream, 4, &count)) {
        for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
            QString name;
            readSized(stream, &name);
            names.append(name);
        }
    } else if (stream.status() == QDataStream::Ok) {
        logWarning() << "<m> import count beyond the record: " << shown(fullName()) << " claims " << count;
    }
    if (stream.status() != QDataStream::Ok)
        names.clear();
    if (!names.isEmpty() && depth >= kMaxImportDepth) {
        logWarning() << "<m><" << changer << "> nested too deep in import: \"" << shown(fullName()) << "\"";
        if (overwrite)
            set(changer, value);
        else
            finishImport(changer);
        return;
    }
    if (removeExtra) {
        for (DataObject* child : cdobjs()) {
            if (!names.contains(child->rname()))
                remove(changer, child, true);
        }
    }
    for (const QString& name : names) {
        QByteArray bytes;
        readSized(stream, &bytes);
        if (!hasCdobj(name, false)) {
            if (!add || !insertImported(changer, name, true, false, depth))
                continue;
        }
        cdobj(name, false)->importBinAt(changer, bytes, add, overwrite, removeExtra, depth + 1);
    }
    if (overwrite)
        set(changer, value);
    else
        finishImport(changer);
}

// ---------------------------------------------------------------------- dump

void DataObject::dump(DataObject* base) const
{
    logSpecial() << "<mobj>" << fullName(base) << ": " << get(QVariant())
                 << ", children: " << cdobjNames(false);
    for (DataObject* child : cdobjs())
        child->dump(nullptr);
}

} // namespace ve
