#pragma once

#include "VeGlobal.h"

#include <QDate>
#include <QDebug>
#include <QFile>
#include <QVariant>

#include <memory>

namespace ve {

// One line appended to the day's log file. The file is opened by the
// constructor and closed by the destructor, so nothing stays open between
// lines. When it cannot be opened every piece is dropped silently.
class VE_EXPORT FLog : public QFile
{
    Q_OBJECT
public:
    FLog(const QString& prefix, const QString& sub, const QString& path, const QString& suffix);
    ~FLog() override;

    // "<path>_<yyyyMMdd>.<suffix>": one file per calendar day.
    static QString fileName(const QString& path, const QString& suffix, const QDate& date);

    FLog& operator<<(const QString& text);
    FLog& operator<<(const QVariant& value);
    FLog& operator<<(const void* pointer);
    FLog& operator<<(const char* text);
    template <typename T>
    FLog& operator<<(const T& piece)
    {
        if (m_stream)
            *m_stream << piece;
        return *this;
    }
    FLog& space();

private:
    // The line is collected as text and written as UTF-8 whatever the
    // locale's codec is.
    QString m_line;
    std::unique_ptr<QDebug> m_stream;
};

} // namespace ve
