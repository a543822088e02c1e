#include "CliRig.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {
// Exactly one line on standard error, carrying the given text.
bool oneErrorLine(const CliRun& r, const QString& text)
{
    return r.err.count('\n') == 1 && r.err.endsWith('\n') && r.err.contains(text);
}

// A command the CLI refuses: its exit status and one line on standard error.
void refused(const CliRig& rig, const QStringList& args, int code, const QString& text)
{
    const CliRun r = rig.run(args);
    EXPECT_EQ(r.code, code) << args.join(' ').toStdString() << "\n" << r;
    EXPECT_TRUE(oneErrorLine(r, text)) << args.join(' ').toStdString() << "\n" << r;
}

QJsonObject paramByName(const QJsonArray& params, const QString& name)
{
    for (const QJsonValue& v : params)
        if (v.toObject().value("name").toString() == name)
            return v.toObject();
    return {};
}
} // namespace

TEST(CliProcess, PortsAndMissingPorts)
{
    CliRig rig(CliRig::motors({1}));
    // Paths from the environment are offered once each, empty entries skipped.
    const QString sim = rig.sim->portPath();
    CliRun r = rig.run({"ports"}, {"SERVOBENCH_PORTS=" + sim + ":/tmp/b::" + sim});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.out.split('\n').count(sim), 1) << r;
    EXPECT_TRUE(r.out.split('\n').contains("/tmp/b")) << r;

    r = rig.run({"scan"}, {"SERVOBENCH_PORTS="});
    EXPECT_EQ(r.code, 3) << r;
    EXPECT_TRUE(oneErrorLine(r, "no adapter port found")) << r;
    refused(rig, {"params", "--port", rig.path("no-such-tty")}, 3, "does not exist");
    // A file that is no serial port.
    refused(rig, {"scan", "--port", rig.file("plain", {})}, 3, "cannot open serial port");
}

TEST(CliProcess, ScanListsEveryMotorAndAmbiguousCommandsNameThem)
{
    CliRig rig(CliRig::motors({3, 17, 90}));
    CliRun r = rig.run({"scan", "--json"});
    ASSERT_EQ(r.code, 0) << r;
    const QJsonArray motors = QJsonDocument::fromJson(r.out.toUtf8()).object().value("motors").toArray();
    ASSERT_EQ(motors.size(), 3) << r;
    EXPECT_EQ(motors[1].toObject().value("can_id").toInt(), 17);

    r = rig.run({"scan"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(
        r.out.contains(QRegularExpression("\\n90\\s+0x" + QString::number(rig.sim->motorMcuId(2), 16))))
        << r;

    r = rig.run({"get", "Name"});
    EXPECT_EQ(r.code, 2) << r;
    EXPECT_TRUE(oneErrorLine(r, "3 motors on the bus, choose one with --id")) << r;
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(r.err.contains(
            QString("%1 (MCU ID 0x%2)").arg(rig.sim->motorCanId(k)).arg(rig.sim->motorMcuId(k), 0, 16)))
            << r;

    refused(rig, {"get", "Name", "--id", "4"}, 4, "no motor answered with CAN ID 4");
}

TEST(CliProcess, SilentAdapterAndSilentMotorEndInTime)
{
    {
        sim::SimConfig cfg = CliRig::motors({1});
        cfg.faults.adapterSilent = true;
        refused(CliRig(cfg), {"scan"}, 3, "does not answer");
    }
    sim::SimConfig cfg = CliRig::motors({1, 2});
    cfg.faults.silentMotors = {2};
    CliRig rig(cfg);
    refused(rig, {"get", "Name", "--id", "2", "--timeout", "300"}, 4, "no motor answered with CAN ID 2");
    // The other motor still works, and without --id it is the only one.
    const CliRun r = rig.run({"get", "Name"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.out, "R58 Motor\n");
}

TEST(CliProcess, AnswersLaterThanTheEngineAllowsEndWithTimeOut)
{
    // Every motor frame comes 1500 ms late: the scan still finds the motor named by --id, but
    // the parameter description is over time.
    sim::SimConfig cfg = CliRig::motors({1});
    cfg.faults.delayMs = 1500;
    CliRig rig(cfg);
    QElapsedTimer t;
    t.start();
    const CliRun r = rig.run({"get", "Name", "--id", "1"});
    EXPECT_EQ(r.code, 4) << r;
    EXPECT_TRUE(oneErrorLine(r, "the motor did not describe its parameters in time")) << r;
    EXPECT_LT(t.elapsed(), 15000);
}

TEST(CliProcess, AdapterLostDuringARecordingIsASerialError)
{
    CliRig rig(CliRig::motors({1}));
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("SERVOBENCH_PORTS", rig.sim->portPath());
    p.setProcessEnvironment(e);
    p.start(
        SERVOBENCH_CLI_PATH, {"scope", "--channel", "VBUS", "--duration", "20", "--out", rig.path("w.txt")});
    ASSERT_TRUE(p.waitForStarted());
    QTest::qWait(1500);
    ASSERT_EQ(p.state(), QProcess::Running) << p.readAllStandardError().toStdString();
    // The adapter goes away: the pty hangs up under the running command.
    rig.sim->stop();
    ASSERT_TRUE(p.waitForFinished(10000));
    CliRun r;
    r.code = p.exitCode();
    r.err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(r.code, 3) << r;
    EXPECT_TRUE(oneErrorLine(r, "Serial port error: ")) << r;
}

TEST(CliProcess, ParamsGetAndSetWithTheTableRules)
{
    CliRig rig(CliRig::motors({1}));
    CliRun r = rig.run({"params", "--json"});
    ASSERT_EQ(r.code, 0) << r;
    const QJsonObject spd = paramByName(QJsonDocument::fromJson(r.out.toUtf8()).array(), "limit_spd");
    EXPECT_EQ(spd.value("code").toString(), "0X2018");
    EXPECT_EQ(spd.value("max").toString(), "30.00");
    EXPECT_EQ(spd.value("value").toString(), "10.000000");
    r = rig.run({"params", "--csv"});
    EXPECT_TRUE(r.out.startsWith(
        "Code,Name,Type,Property,Maximum,Minimum,Value\n0X0000,Name,String,R/W,,,R58 Motor\n"))
        << r;
    r = rig.run({"get", "0x2018"});
    EXPECT_EQ(r.out, "10.000000\n") << r;

    // Rejected before anything is sent: nothing changes in the motor.
    refused(rig, {"set", "limit_spd", "30.5"}, 2, "0X2018 limit_spd: Value out of range (0.00 to 30.00)");
    refused(rig, {"set", "limit_spd", "fast"}, 2, "Please input ASCII charaters");
    refused(rig, {"set", "CAN_ID", "5"}, 2, "CAN_ID is not writable (Config)");
    EXPECT_DOUBLE_EQ(rig.sim->parameterValue(0, 0x2018).toDouble(), 10.0);

    r = rig.run({"set", "limit_spd", "30", "--save"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.out, "0X2018 limit_spd = 30.000000, saved\n");
    EXPECT_DOUBLE_EQ(rig.sim->parameterValue(0, 0x2018).toDouble(), 30.0);
    r = rig.run({"set", "0X2018", "30.0"});
    EXPECT_EQ(r.out, "0X2018 limit_spd = 30.000000 (unchanged)\n") << r;
    // A text longer than its 16 bytes is cut, and the cut value is what is reported.
    r = rig.run({"set", "Location", "bench-two-left-hip-joint", "--json"});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).object().value("value").toString(), "bench-two-left-h");
    EXPECT_EQ(rig.sim->parameterValue(0, 0x0001).toString(), "bench-two-left-h");

    EXPECT_EQ(rig.run({"factory-reset"}).code, 0);
    EXPECT_DOUBLE_EQ(rig.sim->parameterValue(0, 0x2018).toDouble(), 10.0);
}

TEST(CliProcess, BackupChangeRestoreDiffRoundTrip)
{
    CliRig rig(CliRig::motors({1, 2}));
    const QString file = rig.path("m1.json");
    CliRun r = rig.run({"backup", file, "--id", "1"});
    ASSERT_EQ(r.code, 0) << r;
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonObject doc = QJsonDocument::fromJson(f.readAll()).object();

    ASSERT_EQ(rig.run({"set", "limit_cur", "7.25", "--id", "1"}).code, 0);
    ASSERT_EQ(rig.run({"set", "Note", "changed", "--id", "1"}).code, 0);
    r = rig.run({"diff", file, "--id", "1", "--json"});
    EXPECT_EQ(r.code, 1) << r;
    const QJsonArray d = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(d.size(), 2) << r;
    EXPECT_EQ(d[1].toObject().value("motor").toString(), "7.250000");
    EXPECT_EQ(d[1].toObject().value("file").toString(), "23.000000");
    EXPECT_TRUE(r.err.isEmpty()) << r;

    r = rig.run({"restore", file, "--id", "1"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.out.contains("Wrote and saved 2 parameters")) << r;
    EXPECT_DOUBLE_EQ(rig.sim->parameterValue(0, 0x2019).toDouble(), 23.0);
    EXPECT_EQ(rig.sim->parameterValue(0, 0x0002).toString(), "");
    r = rig.run({"diff", file, "--id", "1"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.out, "No differences.\n");

    // An entry that cannot take is reported, the rest is restored.
    QJsonArray params = doc.value("params").toArray();
    for (int k = 0; k < params.size(); ++k) {
        QJsonObject p = params[k].toObject();
        if (p.value("name").toString() == "limit_torque")
            p.insert("value", "99.000000");
        if (p.value("name").toString() == "limit_spd")
            p.insert("value", "20.500000");
        params[k] = p;
    }
    QJsonObject bad = doc;
    bad.insert("params", params);
    const QString badFile = rig.file("bad.json", QJsonDocument(bad).toJson());
    r = rig.run({"restore", badFile, "--id", "1"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_TRUE(r.out.contains("Did not take: 0X201a limit_torque: Value out of range")) << r;
    EXPECT_TRUE(oneErrorLine(r, "1 parameter(s) of " + badFile + " did not take")) << r;
    EXPECT_DOUBLE_EQ(rig.sim->parameterValue(0, 0x2018).toDouble(), 20.5);

    EXPECT_EQ(rig.run({"restore", rig.path("missing.json"), "--id", "1"}).code, 2);
}

TEST(CliProcess, ModesZeroAlarmAndEmergencyStop)
{
    CliRig rig(CliRig::motors({1, 2}));
    CliRun r = rig.run({"mode", "motor", "--id", "2"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.out, "Set MOTOR mode successfully!\n");
    EXPECT_EQ(rig.sim->motorModeState(1), 2);
    refused(rig, {"mode", "fast", "--id", "1"}, 2, "mode must be reset, motor or brake");
    // The emergency stop reaches every motor without --id.
    r = rig.run({"estop"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.out, "Motor 1 stopped (reset mode)\nMotor 2 stopped (reset mode)\n");
    EXPECT_EQ(rig.sim->motorModeState(1), 0);
    r = rig.run({"clear-alarm", "--id", "2", "--json"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).object().value("cleared").toBool(), true);
}

TEST(CliProcess, SetIdIsConfirmedByTheNewAnnouncement)
{
    CliRig rig(CliRig::motors({1, 2}));
    refused(rig, {"set-id", "2", "--id", "1"}, 2, "CAN ID 2 is taken");
    EXPECT_EQ(rig.run({"set-id", "200", "--id", "1"}).code, 2);
    CliRun r = rig.run({"set-id", "42", "--id", "1"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.out, "Device R58 Motor 42 CAN ID set successfully! (was 1)\n");
    EXPECT_EQ(rig.sim->motorCanId(0), 42);
    r = rig.run({"get", "CAN_ID", "--id", "42"});
    EXPECT_EQ(r.out, "42\n") << r;
}

TEST(CliProcess, CalibrationStreamsProgressAndPrintsTheOffset)
{
    CliRig rig(CliRig::motors({1}));
    CliRun r = rig.run({"calibrate"});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.out.contains("Rotor angle = ")) << r;
    EXPECT_TRUE(r.out.contains("Result: Number: ")) << r;
    EXPECT_TRUE(r.out.contains(QRegularExpression("Encoder Electrical Offset: -?\\d+\\.\\d{6}\\n$"))) << r;
}

TEST(CliProcess, FlashSendsTheImageAndReportsTheMotorsVerdict)
{
    QByteArray image(2053, '\0');
    for (int k = 0; k < image.size(); ++k)
        image[k] = char(k * 7 + 3);
    {
        CliRig rig(CliRig::motors({1}));
        const QString file = rig.file("fw.hex", image);
        CliRun r = rig.run({"flash", file});
        EXPECT_EQ(r.code, 0) << r;
        EXPECT_EQ(r.out, "Update successfully! (2053 bytes, 257 frames)\n") << r;
        // Not a terminal: no progress bar in the output.
        EXPECT_FALSE(r.out.contains('\r'));
        EXPECT_EQ(rig.sim->lastFirmwareImage(), image);

        refused(rig, {"flash", rig.file("empty.bin", {})}, 2, "File contains no data!");
        refused(rig, {"flash", rig.file("big.bin", QByteArray(524289, 'x'))}, 2, "File size over 512KB!");
        EXPECT_EQ(rig.sim->firmwareImageCount(), 1);

        // On a terminal the bar is drawn in place and ends at 100 %.
        int master = -1, slave = -1;
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        r = rig.run({"flash", rig.file("small.bin", image.left(80))}, {}, 30000, QString::fromLatin1(name));
        EXPECT_EQ(r.code, 0) << r;
        QByteArray shown;
        char buf[4096];
        fcntl(master, F_SETFL, O_NONBLOCK);
        for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;)
            shown.append(buf, int(n));
        ::close(slave);
        ::close(master);
        EXPECT_TRUE(shown.contains("\rSending file [")) << shown.toStdString();
        EXPECT_TRUE(shown.contains("100% 10/10 frames")) << shown.toStdString();
        EXPECT_TRUE(shown.contains("Update successfully! (80 bytes, 10 frames)")) << shown.toStdString();
    }
    sim::SimConfig cfg = CliRig::motors({1});
    cfg.faults.firmwareFailEnd = true;
    CliRig rig(cfg);
    refused(rig, {"flash", rig.file("fw.bin", image)}, 1, "Update failed!");
}

TEST(CliProcess, FlashThatTheMotorNeverConfirmsFailsUnlessAccepted)
{
    sim::SimConfig cfg = CliRig::motors({1});
    cfg.faults.firmwareSilentEnd = true;
    CliRig rig(cfg);
    const QString file = rig.file("fw.bin", QByteArray(100, 'u'));
    CliRun r = rig.run({"flash", file});
    EXPECT_EQ(r.code, 4) << r;
    EXPECT_TRUE(r.err.contains("did not confirm the end frame")) << r;
    EXPECT_TRUE(r.out.isEmpty()) << r;
    r = rig.run({"flash", file, "--accept-unconfirmed"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.out, "Update successfully! (100 bytes, 13 frames, end frame not confirmed)\n") << r;
}

TEST(CliProcess, ScopeRecordsTheSampleFileAndCsv)
{
    CliRig rig(CliRig::motors({1}));
    const QString txt = rig.path("wave.txt");
    CliRun r
        = rig.run({"scope", "--channel", "VBUS,iqRaw", "--freq", "200", "--duration", "0.5", "--out", txt});
    ASSERT_EQ(r.code, 0) << r;
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    f.close();
    // About 100 records at 200 Hz for 0.5 s; wide bounds for a loaded machine.
    EXPECT_GT(lines.size(), 40);
    EXPECT_LT(lines.size(), 400);
    EXPECT_TRUE(lines[0].contains(" 24.000000 ")) << lines[0].toStdString();
    EXPECT_FALSE(rig.sim->motorScopeRunning(0)) << "the motor is stopped at the end";
    EXPECT_TRUE(r.out.startsWith(QString("Recorded %1 records of VBUS, iqRaw to ").arg(lines.size() - 1)))
        << r;

    const QString csv = rig.path("wave.csv");
    r = rig.run({"scope", "--channel", "VBUS", "--channel", "mechPos", "--freq", "100", "--duration", "0.4",
        "--out", csv, "--csv", "--json"});
    ASSERT_EQ(r.code, 0) << r;
    const int records = QJsonDocument::fromJson(r.out.toUtf8()).object().value("records").toInt();
    QFile c(csv);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(c.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(rows.first(), "time,VBUS,mechPos");
    EXPECT_EQ(rows.size() - 1, records);
    EXPECT_GT(records, 15);
    EXPECT_TRUE(rows[1].contains(",24,")) << rows[1].toStdString();

    refused(rig, {"scope", "--channel", "CAN_ID", "--out", csv}, 2, "'CAN_ID' is not a channel");
}

TEST(CliProcess, ScopeSetUpTheMotorRefusesFailsWithItsErrorBits)
{
    sim::SimConfig cfg = CliRig::motors({1});
    cfg.faults.scopeWrongTypeChannel = 1;
    CliRig rig(cfg);
    refused(rig, {"scope", "--channel", "VBUS,iqRaw", "--duration", "0.3", "--out", rig.path("w.txt")}, 1,
        "the motor refused the oscilloscope set-up (error bits 0x40)");
    EXPECT_FALSE(rig.sim->motorScopeRunning(0));
}

TEST(CliProcess, HelpShowsEveryCommand)
{
    CliRig rig(CliRig::motors({1}));
    CliRun r = rig.run({"flash", "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith("Usage: servobench-cli flash FILE")) << r;
    refused(rig, {"flash"}, 2, "usage: servobench-cli flash FILE");
}
