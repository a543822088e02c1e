#pragma once

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

// Collects Qt's debug message output (the console part of every log line)
// while it lives.
class LogCapture
{
public:
    LogCapture()
    {
        lines().clear();
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList all() const
    {
        QMutexLocker locker(&mutex());
        return lines();
    }
    bool contains(const QString& text) const
    {
        for (const QString& line : all()) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
    int count() const { return all().size(); }

private:
    static QStringList& lines()
    {
        static QStringList list;
        return list;
    }
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        QMutexLocker locker(&mutex());
        lines().append(message);
    }

    QtMessageHandler m_previous;
};
