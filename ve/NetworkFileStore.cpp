#include "NetworkFileStore.h"

#include "NetworkFilePackage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ve {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

NetworkFileStore::NetworkFileStore(const QString& folder)
    : m_folder(folder)
{ }

bool NetworkFileStore::isAcceptablePath(const QString& target, QString* error)
{
    if (target.isEmpty())
        return fail(error, "empty target path");
    for (const QChar c : target) {
        const ushort u = c.unicode();
        // ':' would name a drive or a stream on other systems.
        if (u < 0x20 || u > 0x7e || u == '\\' || u == ':')
            return fail(error, "target path has a forbidden character: " + target);
    }
    if (target.startsWith('/'))
        return fail(error, "target path is absolute: " + target);
    const QStringList parts = target.split('/');
    for (const QString& part : parts) {
        if (part == "..")
            return fail(error, "target path leaves the receive folder: " + target);
    }
    if (parts.last().isEmpty() || parts.last() == ".")
        return fail(error, "target path names no file: " + target);
    return true;
}

QString NetworkFileStore::resolve(const QString& target, QString* error, bool create) const
{
    if (m_folder.isEmpty()) {
        fail(error, "no receive folder, file refused: " + target);
        return QString();
    }
    if (!isAcceptablePath(target, error))
        return QString();
    const QFileInfo root(m_folder);
    if (!root.isDir()) {
        fail(error, "receive folder does not exist: " + m_folder);
        return QString();
    }
    QString path = root.absoluteFilePath();
    QStringList parts = target.split('/', Qt::SkipEmptyParts);
    parts.removeAll(".");
    const QString name = parts.takeLast();
    for (const QString& part : parts) {
        path += '/' + part;
        const QFileInfo info(path);
        if (info.isSymLink()) {
            fail(error, "target path goes through a link: " + target);
            return QString();
        }
        if (info.exists()) {
            if (!info.isDir()) {
                fail(error, "target path goes through a file: " + target);
                return QString();
            }
        } else if (!create || !QDir().mkdir(path)) {
            fail(error, create ? "cannot create folder: " + path : "no such folder: " + path);
            return QString();
        }
    }
    path += '/' + name;
    const QFileInfo info(path);
    if (info.isSymLink() || info.isDir()) {
        fail(error, "target is a link or a folder: " + target);
        return QString();
    }
    return path;
}

QString NetworkFileStore::store(const NetworkFilePackage& package, QString* error) const
{
    const QString path = resolve(package.targetPath(), error, true);
    if (path.isEmpty())
        return QString();
    const QByteArray content = package.content();
    if (!package.isAppend()) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            fail(error, "cannot write file: " + path);
            return QString();
        }
        // commit() alone reports success after a failed flush (a full disk
        // or a size limit), so the flush is checked first.
        if (file.write(content) != content.size() || !file.flush() || !file.commit()) {
            file.cancelWriting();
            fail(error, "cannot write file: " + path + " (" + file.errorString() + ")");
            return QString();
        }
        return path;
    }
    QFile file(path);
    // Unbuffered: a failed write must not stay in a buffer that close() would
    // try again after the file was cut back.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        fail(error, "cannot write file: " + path);
        return QString();
    }
    const qint64 before = file.size();
    const bool written = file.write(content) == content.size() && file.flush();
    const QString reason = file.errorString();
    if (!written) {
        // A half-appended content would pass for a whole one later.
        file.resize(before);
        file.close();
        fail(error, "cannot write file: " + path + " (" + reason + ")");
        return QString();
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        fail(error, "cannot write file: " + path + " (" + file.errorString() + ")");
        return QString();
    }
    return path;
}

} // namespace ve
