#include "WorkingFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#ifndef SERVOBENCH_DATA_FROM_BIN
#define SERVOBENCH_DATA_FROM_BIN "../share/servobench"
#endif

bool WorkingFolder::holdsProgramFiles(const QString& dir)
{
    const QDir d(dir);
    // Settings found there are the user's, even where nothing can be written.
    if (QFileInfo(d.filePath("config.xml")).isFile())
        return true;
    // A folder with only the read-only files (the installed share/servobench/)
    // is no place to keep settings and logs.
    if (!QFileInfo(dir).isWritable())
        return false;
    if (QFileInfo(d.filePath("instruction.pdf")).isFile())
        return true;
    // A source checkout has i18n/*.ts; only compiled translations mark a working folder.
    return !QDir(d.filePath("i18n")).entryList({"*.qm"}, QDir::Files).isEmpty();
}

QString WorkingFolder::perUserFolder(const QProcessEnvironment& env)
{
    // XDG base directories must be absolute; a relative one is ignored.
    QString base = env.value("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        const QString home = env.value("HOME");
        if (home.isEmpty() || QDir::isRelativePath(home))
            return QString();
        base = home + "/.local/share";
    }
    return QDir::cleanPath(base + "/servobench");
}

QString WorkingFolder::choose(const QString& startDir, const QProcessEnvironment& env)
{
    if (holdsProgramFiles(startDir))
        return startDir;
    const QString user = perUserFolder(env);
    return user.isEmpty() ? startDir : user;
}

QString WorkingFolder::enter()
{
    const QString start = QDir::currentPath();
    const QString chosen = choose(start, QProcessEnvironment::systemEnvironment());
    if (chosen == start)
        return start;
    // Nothing is logged before this point: the log lives in the chosen folder.
    if (!QDir().mkpath(chosen) || !QDir::setCurrent(chosen)) {
        std::fprintf(stderr, "servobench: cannot use the working folder %s; working in %s\n",
            qPrintable(chosen), qPrintable(start));
        return start;
    }
    return chosen;
}

QString WorkingFolder::installedDataDir()
{
    if (!QCoreApplication::instance())
        return QString();
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/" + SERVOBENCH_DATA_FROM_BIN);
}

QString WorkingFolder::find(const QString& relative)
{
    return find(relative, installedDataDir());
}

QString WorkingFolder::find(const QString& relative, const QString& installedDir)
{
    const QString local = "./" + relative;
    if (QFileInfo::exists(local) || installedDir.isEmpty())
        return local;
    const QString installed = QDir(installedDir).filePath(relative);
    return QFileInfo::exists(installed) ? installed : local;
}
