#include "TranslationManager.h"

#include "DataManager.h"
#include "Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThread>
#include <QTranslator>

namespace ve {

namespace {

// A dictionary file larger than this is not a dictionary.
constexpr qint64 MaxJsonFileSize = 16 * 1024 * 1024;

// Translators may only be installed into an existing application, from its
// thread: installTranslator() posts a LanguageChange event and the
// translator's parent must live where the application does.
bool onApplicationThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

TranslationManager::TranslationManager()
{
    const QString language = d(QStringLiteral("vorn.cfg.common.language"))->getString(QStringLiteral("en"));
    const QString base = language == QLatin1String("cn") ? QStringLiteral("zh_CN") : language;
    installQMTranslator(QStringLiteral(":/vorn/language/qt_%1.qm").arg(base));

    const QFileInfoList files = QDir(QStringLiteral("./i18n"))
                                    .entryInfoList({QStringLiteral("*_%1.qm").arg(language)},
                                        QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& file : files) {
        const bool ok = installQMTranslator(file.absoluteFilePath());
        logInfo() << "<translator> install " << language << " language qm " << file.baseName()
                  << (ok ? " succeed" : " failed");
    }
}

TranslationManager* TranslationManager::instance()
{
    static TranslationManager manager;
    return &manager;
}

bool TranslationManager::installQMTranslator(const QString& path)
{
    const auto it = m_qm.constFind(path);
    if (it != m_qm.constEnd() && *it) {
        logWarning() << "qm translator already exists:" << path;
        return false;
    }
    if (!onApplicationThread()) {
        logError() << "qm transtor install failed:" << path;
        return false;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(path)) {
        logError() << "qm transtor load failed:" << path;
        delete translator;
        return false;
    }
    if (!QCoreApplication::installTranslator(translator)) {
        logError() << "qm transtor install failed:" << path;
        delete translator;
        return false;
    }
    m_qm.insert(path, translator);
    return true;
}

bool TranslationManager::removeQMTranslator(const QString& path)
{
    const auto it = m_qm.find(path);
    if (it == m_qm.end() || !*it) {
        // Gone with the application that owned it, or never installed.
        if (it != m_qm.end())
            m_qm.erase(it);
        logWarning() << "qm translator not exist:" << path;
        return false;
    }
    if (!onApplicationThread() || !QCoreApplication::removeTranslator(*it)) {
        logError() << "qm translator remove failed:" << path;
        return false;
    }
    delete it->data();
    m_qm.erase(it);
    return true;
}

bool TranslationManager::installJsonTranslator(const QString& name, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxJsonFileSize) {
        logError() << "json translator file cannot read:" << path;
        return false;
    }
    const QByteArray data = file.read(MaxJsonFileSize);
    return installJsonTranslator(name, QJsonDocument::fromJson(data).object());
}

bool TranslationManager::installJsonTranslator(const QString& name, const QJsonObject& object)
{
    bool valid = !object.isEmpty();
    for (auto it = object.constBegin(); valid && it != object.constEnd(); ++it)
        valid = it.value().isString();
    if (!valid) {
        logWarning() << "json translator detects wrong format!";
        return false;
    }
    std::lock_guard<std::mutex> lock(m_jsonLock);
    m_json.insert(name, object);
    return true;
}

bool TranslationManager::removeJsonTranslator(const QString& name)
{
    {
        std::lock_guard<std::mutex> lock(m_jsonLock);
        if (m_json.remove(name) > 0)
            return true;
    }
    logError() << "json translator not exist:" << name;
    return false;
}

QString TranslationManager::dtr(const QString& name, const QString& text) const
{
    std::lock_guard<std::mutex> lock(m_jsonLock);
    const auto it = m_json.constFind(name);
    if (it == m_json.constEnd())
        return text;
    return it->value(text).toString(text);
}

bool TranslationManager::exists(const QString& name, const QString& text) const
{
    std::lock_guard<std::mutex> lock(m_jsonLock);
    const auto it = m_json.constFind(name);
    return it != m_json.constEnd() && it->contains(text);
}

} // namespace ve
