// servobench-sim as a program: first line, link, options, signals.
#include "SimTestClient.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
const QString SimExe = QStringLiteral(SERVOBENCH_SIM_EXE);
} // namespace

TEST(SimProgram, BadOptionIsAUsageError)
{
    QProcess p;
    p.start(SimExe, {"--motors", "200"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("--motors"));
}

TEST(SimProgram, ServesThreeMotorsThroughItsLinkUntilSigterm)
{
    QTemporaryDir dir;
    const QString link = dir.filePath("ttySIM");
    const QString fw = dir.filePath("image.bin");
    QProcess p;
    p.start(SimExe, {"--motors", "3", "--link", link, "--firmware-out", fw});
    ASSERT_TRUE(p.waitForStarted());
    ASSERT_TRUE(p.waitForReadyRead(5000));
    while (!p.canReadLine())
        ASSERT_TRUE(p.waitForReadyRead(5000));
    const QString path = QString::fromUtf8(p.readLine()).trimmed();
    EXPECT_TRUE(path.startsWith("/dev/pts/")) << path.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);

    SimTestClient c;
    ASSERT_TRUE(c.open(link));
    c.send("AT+AT\r\n");
    EXPECT_EQ(c.nextLine(), QByteArray("OK"));
    for (int id = 1; id <= 127; ++id)
        c.sendFrame(0, 0, id, QByteArray(1, '\0'));
    QVector<WireFrame> ann = c.framesUntilQuiet(300);
    ASSERT_EQ(ann.size(), 3);
    const quint64 mcu2 = ann[1].u64(0);
    EXPECT_EQ(ann[1].src(), 2);

    // A 9-byte image to motor 2: its size and CRC-32 are printed and the file written.
    for (const QByteArray& frame : {envelope(canId(11, 0, 0xFD, 2), le64(mcu2)),
             envelope(canId(12, 0, 0xFD, 2), le32(9) + le32(2)), envelope(canId(13, 0, 0, 2), "abcdefgh"),
             envelope(canId(13, 0, 1, 2), QByteArray("i").leftJustified(8, char(0xFF))),
             envelope(canId(14, 0, 0, 2), le32(2) + le32(0))}) {
        c.send(frame);
        const auto ack = c.nextFrame();
        ASSERT_TRUE(ack && ack->field() == 2) << frame.toHex().constData();
    }
    QByteArray out;
    for (int i = 0; i < 50 && !out.contains("CRC-32"); ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    EXPECT_TRUE(out.contains("9 bytes, CRC-32 8da988af")) << out.constData();
    QFile f(fw);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("abcdefghi"));
    c.close();

    p.terminate(); // SIGTERM
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link is removed on exit";
}

TEST(SimProgram, SigintEndsCleanly)
{
    QProcess p;
    p.start(SimExe, {"--baud", "115200"});
    ASSERT_TRUE(p.waitForReadyRead(5000));
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
}
