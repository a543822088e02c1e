#include "DataManager.h"

#include "CommandManager.h"
#include "ConvertCommand.h"
#include "EmptyDataObject.h"
#include "Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTextCodec>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace ve {

namespace {

// Creates the directory of path with its parents; false when that failed.
bool makeDirFor(const QString& path)
{
    const QDir dir = QFileInfo(path).absoluteDir();
    return dir.exists() || QDir().mkpath(dir.absolutePath());
}

QJsonDocument parseJson(const QString& path, const QByteArray& data)
{
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error == QJsonParseError::IllegalUTF8String)
        doc = QJsonDocument::fromJson(DataManager::convertToUtf8(data).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        logError() << "<m><static> read invalid json from: \"" << path << "\", parse error: \""
                   << error.errorString() << "\"";
    return doc;
}

// Writes data beside path and renames it over path only when every byte was
// written: a failed save (full disk, size limit, crash) leaves the previous
// file as it was. Qt reports a short write only as a count, and commit()
// does not see a failure of the final buffer flush, so both are checked here.
bool saveAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    // Where the user may write the file but not create the temporary one in
    // its folder, writing in place is the only way to save at all; anywhere
    // else the save stays atomic.
    const QFileInfo info(path);
    if (info.isFile() && info.isWritable() && !QFileInfo(info.absolutePath()).isWritable())
        file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Keeps a copy of a file that could not be read completely beside it, so
// that writing the partly read tree back cannot lose what the reader
// missed. An identical earlier copy is enough; other copies are not replaced.
void keepOriginal(const QString& path)
{
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = original.readAll();
    original.close();
    for (int i = 1; i < 100; ++i) {
        const QString copy
            = i == 1 ? path + QStringLiteral(".bak") : QStringLiteral("%1.bak.%2").arg(path).arg(i);
        QFile existing(copy);
        if (existing.exists()) {
            if (existing.size() == content.size() && existing.open(QIODevice::ReadOnly)
                && existing.readAll() == content)
                return;
            continue;
        }
        if (saveAtomically(copy, content))
            logWarning() << "<m><static> kept the original of \"" << path << "\" as \"" << copy << "\"";
        else
            logError() << "<m><static> cannot keep the original of \"" << path << "\" as \"" << copy << "\"";
        return;
    }
    logError() << "<m><static> cannot keep the original of \"" << path << "\": too many copies";
}

} // namespace

DataManager::DataManager()
    : m_root(nullptr)
    , m_empty(nullptr)
{
    qRegisterMetaType<ve::DataObject*>("ve::DataObject*");
    qRegisterMetaType<ve::DataObject*>("DataObject*");
    m_empty = new EmptyDataObject();
    m_root = new DataObject(QStringLiteral("@m"));
    // Seam: the command manager registers the command "convert" here once
    // the framework services exist.
    command()->regist(new ConvertCommand(command()));
}

DataManager::~DataManager()
{
    delete m_root;
    delete m_empty;
}

DataManager& DataManager::instance()
{
    // Function-local static: constructed once, thread-safely.
    static DataManager manager;
    return manager;
}

QString DataManager::separator()
{
    return QStringLiteral(".");
}

DataObject* DataManager::regist(QObject* changer, const QString& path)
{
    if (!m_root->insert(changer, path, false))
        return m_empty;
    return m_root->rdobj(path);
}

bool DataManager::cancel(QObject* changer, const QString& path)
{
    return m_root->remove(changer, path, true);
}

DataObject* DataManager::create(const QString& name, DataObject* parent)
{
    return new DataObject(name, parent);
}

// ---------------------------------------------------------------------- JSON

QJsonValue DataManager::readFromJson(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        logError() << "<m><static> cannot read json file: \"" << path << "\"";
        return QJsonValue(QJsonValue::Null);
    }
    const QByteArray data = file.readAll();
    file.close();
    const QJsonDocument doc = parseJson(path, data);
    if (doc.isObject())
        return doc.object();
    return doc.array();
}

QVariant DataManager::readFromJsonAsVariant(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        logError() << "<m><static> cannot read json file: \"" << path << "\"";
        return QVariant();
    }
    const QByteArray data = file.readAll();
    file.close();
    return parseJson(path, data).toVariant();
}

bool DataManager::writeToJson(const QString& path, const QJsonValue& value, bool makeDir)
{
    if (!value.isObject() && !value.isArray()) {
        logError() << "<m><static> writing json is neither array nor object: \"" << path << "\"";
        return false;
    }
    if (makeDir && !makeDirFor(path)) {
        logError() << "<m><static> cannot create foler \"" << path << "\" to write json";
        return false;
    }
    const QJsonDocument doc
        = value.isObject() ? QJsonDocument(value.toObject()) : QJsonDocument(value.toArray());
    if (!saveAtomically(path, doc.toJson(QJsonDocument::Indented))) {
        logError() << "<m><static> cannot write json file: \"" << path << "\"";
        return false;
    }
    return true;
}

QString DataManager::convertToUtf8(const QByteArray& data)
{
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state;
    const QString text = utf8->toUnicode(data.constData(), data.size(), &state);
    if (state.invalidChars == 0)
        return text;
    QTextCodec* gbk = QTextCodec::codecForName("GBK");
    return gbk ? gbk->toUnicode(data) : text;
}

// ----------------------------------------------------------------------- XML

bool DataManager::writeToXmlFile(const QString& path, DataObject* node, bool makeDir, bool skipHidden)
{
    if (!node || node->isEmpty()) {
        logError() << "<m><static> try to write xml from an empty mobj";
        return false;
    }
    if (makeDir && !makeDirFor(path)) {
        logError() << "<m><static> cannot create path \"" << path << "\" to write xml";
        return false;
    }
    QByteArray data;
    QXmlStreamWriter writer(&data);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    writer.writeStartDocument();
    node->exportToXml(writer, true, skipHidden);
    writer.writeEndDocument();
    if (writer.hasError() || !saveAtomically(path, data)) {
        logError() << "<m><static> cannot write xml file: \"" << path << "\"";
        return false;
    }
    return true;
}

bool DataManager::readFromXmlFile(QObject* changer, DataObject* node, const QString& path)
{
    if (!node || node->isEmpty()) {
        logError() << "<m><static> try to read xml for an empty mobj";
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        logError() << "<m><static> cannot read xml file: \"" << path << "\"";
        return false;
    }
    QXmlStreamReader reader(&file);
    node->importFromXml(changer, reader, true, true, true);
    file.close();
    if (reader.hasError()) {
        keepOriginal(path);
        return false;
    }
    return true;
}

// -------------------------------------------------------------------- binary

bool DataManager::writeToBin(const QString& path, const QByteArray& data, int compressionLevel, bool makeDir)
{
    if (makeDir && !makeDirFor(path)) {
        logError() << "<m><static> cannot create path \"" << path << "\" to write binary file";
        return false;
    }
    if (!saveAtomically(path, qCompress(data, compressionLevel))) {
        logError() << "<m><static> cannot write binary file: \"" << path << "\"";
        return false;
    }
    return true;
}

QByteArray DataManager::readFromBin(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        logError() << "<m><static> cannot read binary file: \"" << path << "\"";
        return QByteArray();
    }
    const QByteArray data = file.readAll();
    file.close();
    return qUncompress(data);
}

// ------------------------------------------------------------ free functions

DataManager& d()
{
    return DataManager::instance();
}

DataObject* d(const QString& path, DataObject* base)
{
    return (base ? base : DataManager::instance().rootDobj())->rdobj(path);
}

QString dIndex(int index, const QString& name)
{
    return index >= 0 ? QLatin1Char('#') + QString::number(index) : name;
}

QString dName(const QString& a, const QString& b)
{
    return QStringList {a, b}.join(DataManager::separator());
}

QString dName(const QString& a, const QString& b, const QString& c)
{
    return QStringList {a, b, c}.join(DataManager::separator());
}

QString dName(const QString& a, const QString& b, const QString& c, const QString& d)
{
    return QStringList {a, b, c, d}.join(DataManager::separator());
}

QString dName(const QString& a, const QString& b, const QString& c, const QString& d, const QString& e)
{
    return QStringList {a, b, c, d, e}.join(DataManager::separator());
}

QString dName(const QString& a, const QString& b, const QString& c, const QString& d, const QString& e,
    const QString& f)
{
    return QStringList {a, b, c, d, e, f}.join(DataManager::separator());
}

QString dName(const QString& a, const QString& b, const QString& c, const QString& d, const QString& e,
    const QString& f, const QString& g)
{
    return QStringList {a, b, c, d, e, f, g}.join(DataManager::separator());
}

} // namespace ve
