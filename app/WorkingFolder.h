#pragma once

#include <QProcessEnvironment>
#include <QString>

// Where the program keeps the files it writes ("config.xml", "log/", "crash/")
// and where it finds the files it only reads (translations, the manual).
//
// Every path the program uses is relative to the current directory. A start in
// a folder that already holds the program's files (the run command's folder, a
// bench folder, a test's folder) keeps that folder. Any other start (the
// desktop menu starts in the home folder) moves to one per-user folder,
// $XDG_DATA_HOME/servobench, so the home folder is not littered and the
// settings of the last run are found again whatever folder it was started in.
class WorkingFolder
{
public:
    // True when dir holds "config.xml", or is writable and holds "instruction.pdf"
    // or a translation in "i18n/".
    static bool holdsProgramFiles(const QString& dir);
    // $XDG_DATA_HOME/servobench, or ~/.local/share/servobench; empty without a home.
    static QString perUserFolder(const QProcessEnvironment& env);
    // The folder a start in startDir works in (see above).
    static QString choose(const QString& startDir, const QProcessEnvironment& env);
    // Picks the folder for this process, creates it and makes it the current
    // directory. Returns it; when it cannot be used, stays where it is and
    // returns that.
    static QString enter();

    // The installed read-only files: share/servobench beside the program's bin/.
    // Needs the application object.
    static QString installedDataDir();
    // "./<relative>" when the working folder has it, else the installed copy when
    // there is one, else "./<relative>" (so a report names the expected place).
    static QString find(const QString& relative);
    static QString find(const QString& relative, const QString& installedDir);
};
