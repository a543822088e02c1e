// Crash reports from real crashing processes: each mode of ve_crash_child
// must leave its report on stdout, in the day's log and in ./crash, and the
// process must still die of its signal.
#include "CBaseException.h"
#include "DataManager.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

struct ChildResult
{
    int signal = 0; // the signal that ended it, 0 when it exited
    int exitCode = -1;
    QString out;
    QString log;
    QString dir;
    qint64 elapsedMs = 0;
};

QString readText(const QString& path)
{
    return QString::fromUtf8(readAll(path));
}

// Runs the child in dir; in mode "wait" it is sent SIGSEGV from outside once
// it printed "ready".
ChildResult runChild(const QTemporaryDir& dir, const QString& mode)
{
    QProcess child;
    child.setWorkingDirectory(dir.path());
    child.setStandardOutputFile(dir.filePath(QStringLiteral("stdout.txt")));
    child.setStandardErrorFile(dir.filePath(QStringLiteral("stderr.txt")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // In a sanitizer build the sanitizer's own handlers would end the process
    // before the report, and its 32 KiB alternate stacks are too small for the
    // second phase; the child tests the report alone.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
        QStringLiteral("handle_segv=0:handle_abort=0:handle_sigfpe=0:handle_sigbus=0:handle_sigill=0:"
                       "detect_leaks=0:use_sigaltstack=0"));
    child.setProcessEnvironment(env);
    // No core files from the test's own crashes; exec keeps the child's status.
    child.start(QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("ulimit -c 0; exec \"$0\" \"$1\""),
            QStringLiteral(VE_CRASH_CHILD), mode});
    QElapsedTimer timer;
    timer.start();
    if (mode == QLatin1String("wait")) {
        while (!readText(dir.filePath(QStringLiteral("stdout.txt"))).contains(QStringLiteral("ready"))
            && timer.elapsed() < 60000)
            QThread::msleep(20);
        kill(pid_t(child.processId()), SIGSEGV);
    }
    if (!child.waitForFinished(120000)) {
        ADD_FAILURE() << "child " << mode.toStdString() << " did not end";
        child.kill();
        child.waitForFinished();
    }
    ChildResult result;
    result.elapsedMs = timer.elapsed();
    result.signal = child.exitStatus() == QProcess::CrashExit ? child.exitCode() : 0;
    result.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    result.out = readText(dir.filePath(QStringLiteral("stdout.txt")));
    result.log = readText(dir.filePath(
        QStringLiteral("log/global_%1.log").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")))));
    result.dir = dir.path();
    return result;
}

// The report's invariant parts: code line, Linux signal line, fault address
// with 16 hex digits, a resolved stack and a module line; the thread line
// and the code in the log; one report only.
void expectReport(const ChildResult& r, const QString& codeLine)
{
    EXPECT_EQ(r.out.count(QStringLiteral("Exceptions:\r\n")), 1) << "one report per crash\n"
                                                                 << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(codeLine)) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression(QStringLiteral("Signal: %1 \\(SIG").arg(r.signal))));
    EXPECT_TRUE(r.out.contains(
        QRegularExpression(QStringLiteral("Fault address:  [0-9A-F]{16} [0-9A-F]{2}:[0-9A-F]{16} \\S+\r\n"))))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Show CallStack:\r\n")));
    EXPECT_TRUE(
        r.out.contains(QRegularExpression(QStringLiteral("[0-9a-f]{16}\t\\d+\tlibQt5Core\\.so\\.5\t"))));

    EXPECT_TRUE(r.log.contains(QRegularExpression(QStringLiteral(
        "\\[E\\|\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]crash thread: \\d+, main thread: \\d+\n"))))
        << r.log.toStdString();
    EXPECT_EQ(r.log.count(QStringLiteral("crash thread: ")), 1);
    QString logged = codeLine;
    logged.remove(QStringLiteral("\r\n"));
    EXPECT_TRUE(r.log.contains(QStringLiteral("]") + logged + QLatin1Char('\n'))) << r.log.toStdString();
    EXPECT_TRUE(r.log.contains(QStringLiteral("]Show CallStack:\n")));
}

// Every branch copied and readable again; the hostile name stays inside.
void expectTreeCopies(const ChildResult& r)
{
    const QDir crash(r.dir + QStringLiteral("/crash"));
    for (const char* branch : {"config", "wnd", "project"}) {
        ve::DataObject node(QStringLiteral("copy"));
        ASSERT_TRUE(ve::DataManager::readFromXmlFile(
            nullptr, &node, crash.filePath(QString::fromLatin1(branch) + QStringLiteral(".icex"))))
            << branch;
        EXPECT_GT(node.size(), 0) << branch;
    }
    EXPECT_FALSE(QFile::exists(r.dir + QStringLiteral("/escaped.icex")));
    EXPECT_TRUE(QFile::exists(crash.filePath(QStringLiteral("_.._escaped.icex"))))
        << crash.entryList().join(QLatin1Char(' ')).toStdString();
}

TEST(CrashTest, EachFaultIsReportedOnceAndTheProcessDiesOfItsSignal)
{
    const QString divide = QString::fromUtf8("Exception Code :c0000094 INT_DIVIDE_BY_ZERO(整数除0异常)\r\n");
    const QString access = QString::fromUtf8("Exception Code :c0000005 ACCESS_VIOLATION(读写内存非法)\r\n");
    const QString overflow = QString::fromUtf8("Exception Code :c00000fd STACK_OVERFLOW(栈溢出)\r\n");
    const QString aborted = QStringLiteral("Exception Code :00000006 Aborted\r\n");
    const char* frame = "[0-9a-f]{16}:[^\r\n]*%1[^\r\n]*\\[[^\r\n]*CrashChild\\.cpp\\]\\[\\d+\\]\r\n";
    enum Copies
    {
        Copied,
        Unchecked,
        NoFolder
    };
    struct Case
    {
        const char* mode;
        int signal;
        QString codeLine;
        Copies copies;
        QString inReport; // a pattern of the report on stdout
        const char* inLog;
    };
    const Case cases[] = {
        {"divide", SIGFPE, divide, Copied, QString(frame).arg("divideByZero"), ""},
        {"bad-address", SIGSEGV, access, Copied, QString(frame).arg("writeBadAddress"), ""},
        // Main thread and a worker each need their own stack for the handler.
        {"overflow", SIGSEGV, overflow, Copied, QString(frame).arg("recurseForever"), ""},
        {"overflow-thread", SIGSEGV, overflow, Copied, QString(frame).arg("recurseForever"), ""},
        {"exception", SIGABRT, aborted, Copied, "",
            "uncaught exception: std::runtime_error: bench lost its motor"},
        {"setup-twice", SIGFPE, divide, Unchecked, "", ""},
        {"two-threads", SIGSEGV, access, Copied, "", ""},
        // The handler found in place runs after the report and cannot keep
        // the process alive.
        {"chain", SIGSEGV, access, Unchecked, "Show CallStack:[^\\0]*previous handler ran", ""},
        {"wait", SIGSEGV, access, Copied, QString("code 0 \\(SI_USER\\), sent by pid %1").arg(getpid()), ""},
        // The tree may be gone after main returned.
        {"static-destruction", SIGSEGV, access, NoFolder, "", ""},
        // A dump that blocks or faults itself still ends the process, after
        // copying the branches before the blocked one.
        {"blocking-dump", SIGSEGV, access, Copied, "", "crash report timed out"},
        {"fault-in-dump", SIGFPE, divide, Unchecked, "", "crash inside the crash report"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        QTemporaryDir dir;
        const ChildResult r = runChild(dir, QString::fromLatin1(c.mode));
        EXPECT_EQ(r.signal, c.signal) << "exit code " << r.exitCode << "\n" << r.out.toStdString();
        EXPECT_LT(r.elapsedMs, 60000);
        expectReport(r, c.codeLine);
        EXPECT_TRUE(r.out.contains(QRegularExpression(c.inReport))) << r.out.toStdString();
        EXPECT_TRUE(r.log.contains(QString::fromUtf8(c.inLog))) << r.log.toStdString();
        if (c.copies == Copied)
            expectTreeCopies(r);
        EXPECT_EQ(QDir(r.dir + QStringLiteral("/crash")).exists(), c.copies != NoFolder);
    }
}

TEST(CrashTest, StackOverflowIsToldFromOtherFaultsByTheFaultAddress)
{
    using E = ve::CBaseException;
    // A fault right below the stack pointer is an overflow; a null pointer is not,
    // nor is a fault that nobody reported from the hardware.
    EXPECT_EQ(E::codeFor(SIGSEGV, SEGV_MAPERR, 0x7ffd0000fff8, 0x7ffd00010000).code, 0xC00000FDu);
    EXPECT_EQ(E::codeFor(SIGSEGV, SEGV_MAPERR, 0x10, 0x7ffd00010000).code, 0xC0000005u);
    EXPECT_EQ(E::codeFor(SIGSEGV, SI_USER, 0, 0x40).code, 0xC0000005u);
    EXPECT_EQ(E::codeFor(SIGSYS, 1, 0, 0).name, nullptr);
}

} // namespace
