#pragma once

#include <SimServer.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// The simulator in-process on its pty and servobench-cli run as a real process against it.
struct CliRun
{
    int code = -1;
    QString out;
    QString err;
};

struct CliRig
{
    std::unique_ptr<sim::SimServer> sim;
    QTemporaryDir dir;

    static sim::SimConfig motors(std::initializer_list<int> ids)
    {
        sim::SimConfig cfg = sim::SimConfig::forCanIds(ids);
        cfg.calibrationMs = 200;
        return cfg;
    }

    explicit CliRig(const sim::SimConfig& cfg)
    {
        sim = std::make_unique<sim::SimServer>(cfg);
        QString err;
        if (!sim->start(&err))
            ADD_FAILURE() << "simulator: " << err.toStdString();
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    // Writes bytes to a file in the rig's folder and returns its path (empty when it cannot).
    QString file(const QString& name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            ADD_FAILURE() << "cannot write " << name.toStdString();
            return QString();
        }
        return f.fileName();
    }

    // Runs the CLI with the simulator's port offered through SERVOBENCH_PORTS (unless env says
    // otherwise). Fails the test when the process outlives the limit: the CLI must never hang.
    // stdoutPath, when given, receives standard output instead (a terminal, for instance).
    CliRun run(const QStringList& args, const QStringList& env = {}, int limitMs = 30000,
        const QString& stdoutPath = QString()) const
    {
        QProcess p;
        if (!stdoutPath.isEmpty())
            p.setStandardOutputFile(stdoutPath, QIODevice::Append);
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("SERVOBENCH_PORTS", sim->portPath());
        for (const QString& kv : env)
            e.insert(kv.section('=', 0, 0), kv.section('=', 1));
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(dir.path());
        p.start(SERVOBENCH_CLI_PATH, args);
        CliRun r;
        if (!p.waitForFinished(limitMs)) {
            p.kill();
            p.waitForFinished(1000);
            ADD_FAILURE() << "servobench-cli " << args.join(' ').toStdString() << " did not end within "
                          << limitMs << " ms";
            return r;
        }
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
};

inline std::ostream& operator<<(std::ostream& os, const CliRun& r)
{
    return os << "exit " << r.code << "\nstdout: " << r.out.toStdString()
              << "\nstderr: " << r.err.toStdString();
}
