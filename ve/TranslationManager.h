#pragma once

#include "VeGlobal.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>

#include <mutex>

class QTranslator;

namespace ve {

// Installs Qt translation files into the application and keeps named JSON
// dictionaries for texts outside tr() ("dtr").
//
// Translators belong to the application object and are installed only on
// its thread; dictionaries may be read from any thread.
class VE_EXPORT TranslationManager : public QObject
{
    Q_OBJECT
public:
    static TranslationManager* instance();

    bool installQMTranslator(const QString& path);
    bool removeQMTranslator(const QString& path);
    bool installJsonTranslator(const QString& name, const QString& path);
    bool installJsonTranslator(const QString& name, const QJsonObject& object);
    bool removeJsonTranslator(const QString& name);
    QString dtr(const QString& name, const QString& text) const;
    bool exists(const QString& name, const QString& text) const;

private:
    TranslationManager();

    // Guarded: the application deletes its translators when it goes.
    QHash<QString, QPointer<QTranslator>> m_qm;
    QHash<QString, QJsonObject> m_json;
    mutable std::mutex m_jsonLock;
};

} // namespace ve
