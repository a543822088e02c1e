#include "AdapterLink.h"
#include "CalibrationProcedure.h"
#include "CanIdChange.h"
#include "FirmwareUpdate.h"
#include "LinkRig.h"
#include "ParamTransfer.h"
#include "ScopeSession.h"

#include <QRegularExpression>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
sim::SimConfig oneMotor(int canId = 1)
{
    sim::SimConfig cfg;
    cfg.motors[0].canId = quint8(canId);
    cfg.calibrationMs = 600;
    return cfg;
}

// Connects, makes the motor current and loads its description.
ve::DataObject* ready(LinkRig& r, int canId = 1)
{
    if (!r.connectAndScan(1))
        return nullptr;
    ve::DataObject* node = r.use(canId);
    r.worker->command(CANWorker::LOAD_PARAM);
    if (!r.waitMessage("Reload all parameters table successfully!"))
        return nullptr;
    return node;
}

int indexOf(LinkRig& r, const QString& name, int group)
{
    return r.eng()->withParams([&](ParamTable& t) {
        for (int i = 0; i < t.count(group); ++i)
            if (t.entry(group, i).name == name)
                return i;
        return -1;
    });
}
} // namespace

TEST(ProcedureLink, DescriptionAndFullUploadThenDownloadAndSave)
{
    LinkRig r(oneMotor());
    ve::DataObject* node = ready(r);
    ASSERT_TRUE(node) << r.messages.join('\n').toStdString();
    EXPECT_EQ(r.messages.filter("Send R58 Command LOAD_PARAM to CAN(1)").size(), 1);
    const int pwm = indexOf(r, "PwmFreq", 2);
    const int vbus = indexOf(r, "VBUS", 3);
    const int spdKp = indexOf(r, "spd_kp", 2);
    ASSERT_GE(pwm, 0);
    ASSERT_GE(vbus, 0);

    ParamTransfer xfer(r.worker.get(), node);
    int rows = 0;
    QObject::connect(&xfer, &ParamTransfer::rowUpdated, [&] { ++rows; });
    ASSERT_TRUE(xfer.upload());
    ASSERT_TRUE(r.waitMessage("Upload parameters table successfully!", 20000))
        << r.messages.join('\n').toStdString();
    // Every row, read-only groups included.
    EXPECT_EQ(rows,
        r.eng()->withParams([](ParamTable& t) { return t.count(0) + t.count(1) + t.count(2) + t.count(3); }));
    r.eng()->withParams([&](ParamTable& t) {
        EXPECT_EQ(t.entry(0, 0).valueText, r.sim->parameterValue(0, 0x0000).toString());
        EXPECT_EQ(t.entry(2, pwm).valueText, "20000");
        EXPECT_EQ(ParamTable::valueToText(6, t.entry(3, vbus).current), "24.000000");
    });

    // Edit a text of group 0 and a float setting of group 2, then download.
    r.eng()->withParams([&](ParamTable& t) {
        std::memset(t.entry(0, 0).buffer, 0, 17);
        std::memcpy(t.entry(0, 0).buffer, "bench-42", 8);
        t.entry(0, 0).modified = true;
        ParamTable::doubleToValue(6, 3.5, t.entry(2, spdKp).buffer);
        t.entry(2, spdKp).modified = true;
    });
    QList<QPair<int, int>> commits;
    QObject::connect(&xfer, &ParamTransfer::committed, [&](int g, int i) { commits.append({g, i}); });
    ASSERT_TRUE(xfer.download());
    ASSERT_TRUE(r.waitMessage("Param saved successfully!")) << r.messages.join('\n').toStdString();
    EXPECT_TRUE(r.messages.contains("Download parameters table successfully!"));
    EXPECT_EQ(commits, (QList<QPair<int, int>> {{0, 0}, {2, spdKp}}));
    EXPECT_EQ(r.sim->parameterValue(0, 0x0000).toString(), "bench-42");
    EXPECT_DOUBLE_EQ(r.sim->parameterValue(0, quint16(0x2000 | spdKp)).toDouble(), 3.5);
    EXPECT_FALSE(r.eng()->withParams([&](ParamTable& t) { return t.entry(2, spdKp).modified; }));

    // A value out of the motor's range is refused with its error text.
    const int pwmCode = 0x2000 | pwm;
    r.eng()->withParams([&](ParamTable& t) {
        ParamTable::doubleToValue(2, 100, t.entry(2, pwm).buffer);
        t.entry(2, pwm).modified = true;
    });
    QSignalSpy done(&xfer, &ParamTransfer::finished);
    ASSERT_TRUE(xfer.download());
    ASSERT_TRUE(done.wait(3000));
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_TRUE(r.messages.last().startsWith(
        QString("<ERROR> Write param to 0X%1failed: /").arg(pwmCode, 4, 16, QChar('0'))))
        << r.messages.last().toStdString();
    EXPECT_TRUE(r.eng()->withParams([&](ParamTable& t) { return t.entry(2, pwm).modified; }));
}

TEST(ProcedureLink, ModesControlFramesAndSdoAsTheMotorReceivesThem)
{
    LinkRig r(oneMotor(5));
    ASSERT_TRUE(r.connectAndScan(1));
    r.use(5);
    r.worker->command(CANWorker::SET_MODE, 0);
    ASSERT_TRUE(r.waitMessage("Set BRAKE mode successfully!"));
    EXPECT_TRUE(r.messages.contains("Send R58 Command SET_MODE to CAN(5): break mode")); // as required
    EXPECT_EQ(r.sim->motorModeState(0), 3);
    r.worker->command(CANWorker::SET_MODE, 7);
    EXPECT_EQ(r.messages.last(), "Send R58 Command SET_MODE to CAN(5): unknown mode (7)");
    ASSERT_TRUE(r.waitMessage("Set BRAKE mode successfully!"));

    r.sim->clearTrace();
    r.worker->command(CANWorker::MOTOR_CONTROL, 1.0, QVariantList {0.0, 30.0, 0.0, 5.0});
    r.worker->command(CANWorker::SET_RUN_MODE, 2);
    r.worker->command(CANWorker::MOTOR_SDO_FLOAT, 0x700A, 2.5);
    r.worker->command(CANWorker::CLEAR_ALARM);
    ASSERT_TRUE(LinkRig::waitUntil([&] { return r.sim->motorRunMode(0) == 2; }, 2000));
    ASSERT_TRUE(LinkRig::waitUntil(
        [&] {
            return std::abs(
                       r.sim->parameterValue(0, quint16(r.sim->parameterCode(0, "spd_ref"))).toDouble() - 2.5)
                < 1e-6;
        },
        2000));
    // The clear-alarm frame went last and may still be on its way.
    const QString clearAlarm = "41 54 20 07 e8 2c 08 01 00 00 00 00 00 00 00 0d 0a";
    ASSERT_TRUE(LinkRig::waitUntil([&] { return !r.sim->traceLines().filter(clearAlarm).isEmpty(); }, 2000));
    const QStringList rx = r.sim->traceLines().filter(QRegularExpression("^.*rx "));
    // The MIT frame as the motor took it: torque code in bits 23-8, big-endian codes.
    const QString mit
        = AdapterLink::hex(AdapterLink::envelope(CanProtocol::mitControl(5, 0.0f, 30.0f, 0.0f, 5.0f, 1.0f)));
    EXPECT_FALSE(rx.filter(mit).isEmpty()) << rx.join('\n').toStdString();

    r.worker->command(CANWorker::MOVE_JOG, 1.5, true);
    ASSERT_TRUE(LinkRig::waitUntil([&] { return r.sim->motorRunMode(0) == 7; }, 2000));
    r.worker->command(CANWorker::MOVE_JOG, 0.0, false);
    r.worker->command(CANWorker::ZERO_MECH);
    ASSERT_TRUE(r.waitMessage("Set the mechanical zero successfully!"));
}

TEST(ProcedureLink, CanIdChangeIsConfirmedByTheNewAnnouncement)
{
    // An MCU ID full of CR LF: it is found, carried out in the change and back in the announcement.
    sim::SimConfig cfg = oneMotor(4);
    cfg.motors[0].mcuId = 0x0A0D0A0D0A0D0A0DULL;
    LinkRig r(cfg);
    ASSERT_TRUE(r.connectAndScan(1));
    ve::DataObject* node = r.use(4);
    CanIdChange change(r.worker.get());
    QSignalSpy done(&change, &CanIdChange::finished);
    ASSERT_TRUE(change.start(node, 9));
    EXPECT_TRUE(r.messages.contains("Send R58 Command SET_CAN_ID to CAN(4): can id = 9"));
    ASSERT_TRUE(done.wait(1000));
    EXPECT_TRUE(done.last().at(0).toBool());
    EXPECT_EQ(done.last().at(1).toString(), "Device R58 Motor 9 CAN ID set successfully!");
    EXPECT_EQ(r.sim->motorCanId(0), 9);
    EXPECT_EQ(r.worker->deviceByCanId(9), node);
    EXPECT_EQ(r.worker->deviceByCanId(4), nullptr);
    EXPECT_EQ(r.eng()->device(0).mcuId, 0x0A0D0A0D0A0D0A0DULL);
}

TEST(ProcedureLink, EncoderCalibrationPhasesAndMessages)
{
    LinkRig r(oneMotor(2));
    ASSERT_TRUE(r.connectAndScan(1));
    r.use(2);
    CalibrationProcedure cal(r.worker.get());
    QStringList blocks;
    QList<quint32> reports;
    QObject::connect(&cal, &CalibrationProcedure::blockText, [&](const QString& t) { blocks << t; });
    QObject::connect(&cal, &CalibrationProcedure::report, [&](const OtaStatus& s) { reports << s.code; });
    // What had arrived when the procedure declared the run over.
    int infosAtEnd = -1, motorModeAtEnd = -1;
    QObject::connect(&cal, &CalibrationProcedure::finished, [&] {
        infosAtEnd = r.infos.size();
        motorModeAtEnd = r.sim->motorModeState(0);
    });
    QSignalSpy done(&cal, &CalibrationProcedure::finished);
    ASSERT_TRUE(cal.start());
    EXPECT_FALSE(cal.start()); // one run at a time
    ASSERT_TRUE(done.wait(8000));
    ASSERT_EQ(done.size(), 1);
    EXPECT_TRUE(done.last().at(0).toBool());
    EXPECT_EQ(done.last().at(1).toString(), QString());
    // The run ends with the motor's final report, not at a stray acknowledgement or feedback
    // between progress reports: the offset box is already out and the motor has left
    // calibration mode.
    EXPECT_EQ(infosAtEnd, 1);
    EXPECT_EQ(motorModeAtEnd, 0);
    const quint64 mcu = sim::SimServer::defaultMcuId(2);
    EXPECT_NEAR(done.last().at(2).toDouble(), 0.5 + double(mcu % 1000) / 1000.0 * 5.0, 1e-5);
    EXPECT_EQ(blocks,
        (QStringList {
            "Preparing calibration...", "Calibrating encoder...", "Saving calibration result...", ""}));
    EXPECT_EQ(reports.count(OTA_STA_ENCODER_CALI_RESULT), 32);
    EXPECT_EQ(reports.last(), quint32(OTA_STA_ENCODER_CALI_DONE));
    EXPECT_FALSE(reports.contains(OTA_STA_MOTOR_FEEDBACK));
    EXPECT_TRUE(QRegularExpression(
        "^Device R58 Motor 2 encoder calibration finish.\nEncoder Electrical Offset: -?\\d+\\.\\d{6}$")
                    .match(r.infos.last())
                    .hasMatch());
}

TEST(ProcedureLink, EncoderCalibrationThatNeverStartsOrFallsSilentFails)
{
    sim::SimConfig cfg = oneMotor(3);
    cfg.calibrationMs = 60000;
    LinkRig r(cfg);
    ASSERT_TRUE(r.connectAndScan(1));
    ve::DataObject* node = r.use(3);
    CalibrationProcedure cal(r.worker.get());
    QStringList blocks;
    QObject::connect(&cal, &CalibrationProcedure::blockText, [&](const QString& t) { blocks << t; });
    QSignalSpy done(&cal, &CalibrationProcedure::finished);

    // A target nobody answers: no progress within 8000 ms.
    node->set(nullptr, "info.can_id", 50, true);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(cal.start());
    ASSERT_TRUE(done.wait(10000));
    EXPECT_GE(clock.elapsed(), CalibrationProcedure::EnterLimitMs - 50);
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_EQ(done.last().at(1).toString(), "Calibration failed!");
    EXPECT_EQ(blocks, QStringList({"Preparing calibration...", ""}));

    // The motor turns, then its reports stop (the adapter goes away): the run ends.
    node->set(nullptr, "info.can_id", 3, true);
    blocks.clear();
    cal.setSilenceLimitMs(800);
    ASSERT_TRUE(cal.start());
    ASSERT_TRUE(LinkRig::waitUntil([&] { return blocks.size() == 2; }, 3000));
    LinkRig::pause(1200);
    EXPECT_TRUE(cal.running()); // steady reports keep it alive past the silence limit
    r.sim->stop();
    clock.restart();
    ASSERT_TRUE(done.wait(5000));
    EXPECT_GE(clock.elapsed(), 700);
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_EQ(done.last().at(1).toString(), "Calibration failed!");
    EXPECT_EQ(blocks, QStringList({"Preparing calibration...", "Calibrating encoder...", ""}));
    EXPECT_FALSE(cal.running());
}

TEST(ProcedureLink, FirmwareImagesAtTheSizeLimits)
{
    LinkRig r(oneMotor(3));
    ASSERT_TRUE(r.connectAndScan(1));
    r.use(3);
    FirmwareUpdate up(r.worker.get());
    QStringList blocks;
    QObject::connect(&up, &FirmwareUpdate::blockText, [&](const QString& t) { blocks << t; });
    auto run = [&](const QByteArray& image, int ms = 20000) {
        QSignalSpy done(&up, &FirmwareUpdate::finished);
        blocks.clear();
        EXPECT_TRUE(up.start(image));
        EXPECT_TRUE(done.wait(ms));
        return done.isEmpty() ? QString("(none)") : done.last().at(1).toString();
    };
    // The last frame is padded.
    EXPECT_EQ(run("123456789"), "Update successfully!");
    EXPECT_EQ(r.sim->lastFirmwareCrc(), LinkRig::crc32("123456789"));
    EXPECT_EQ(run(QByteArray()), "File contains no data!");
    EXPECT_EQ(run(QByteArray(0x80001, 'a')), "File size over 512KB!");
    // The progress shown never reaches 100 before the box closes.
    const QByteArray many(8 * 200, 'm');
    EXPECT_EQ(run(many), "Update successfully!");
    EXPECT_EQ(r.sim->lastFirmwareCrc(), LinkRig::crc32(many));
    EXPECT_EQ(blocks.first(), "Erasing flash...");
    EXPECT_EQ(blocks.last(), "");
    EXPECT_TRUE(blocks.contains("Sending file... 0%"));
    EXPECT_TRUE(blocks.contains("Sending file... 99%"));
    EXPECT_FALSE(blocks.contains("Sending file... 100%"));
    EXPECT_EQ(r.sim->firmwareImageCount(), 2);
}

TEST(ProcedureLink, FirmwareVerdictsOfFaultyMotorsAndLinks)
{
    struct Case
    {
        const char* what;
        std::function<void(sim::SimConfig&)> fault;
        int frames;
        int stallLimit; // 0: the default
        bool unplugAfterLastFrame;
        const char* text;
        bool confirmed;
    };
    const Case cases[] = {
        // Restarting into the new image, the motor announces itself right after the end frame.
        {"restart", nullptr, 40, 0, false, "Update successfully!", true},
        {"retry once", [](sim::SimConfig& c) { c.faults.firmwareRetryAt = 10; }, 40, 0, false,
            "Update successfully!", true},
        {"end refused", [](sim::SimConfig& c) { c.faults.firmwareFailEnd = true; }, 40, 0, false,
            "Update failed!", false},
        // The port fails after the last data frame: no verdict can arrive.
        {"unplugged", nullptr, 40, 0, true, "Update failed!", false},
        // Never answering the end frame keeps the required verdict, unconfirmed.
        {"silent end", [](sim::SimConfig& c) { c.faults.firmwareSilentEnd = true; }, 40, 0, false,
            "Update successfully!", false},
        // Asking to resume at an earlier frame again and again is no progress.
        {"retry forever",
            [](sim::SimConfig& c) {
                c.faults.firmwareRetryAt = 10;
                c.faults.firmwareRetryForever = true;
            },
            40, 800, false, "Update timeout!", false},
        {"lost answer", [](sim::SimConfig& c) { c.faults.dropEvery = 40; }, 400, 700, false,
            "Update timeout!", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::SimConfig cfg = oneMotor(3);
        if (c.fault)
            c.fault(cfg);
        LinkRig r(cfg);
        ASSERT_TRUE(r.connectAndScan(1));
        r.use(3);
        FirmwareUpdate up(r.worker.get());
        if (c.stallLimit)
            up.setStallLimit(c.stallLimit);
        QSignalSpy done(&up, &FirmwareUpdate::finished);
        QSignalSpy detected(r.worker.get(), &CANWorker::deviceChanged);
        if (c.unplugAfterLastFrame)
            QObject::connect(r.eng(), &otaThread::sendState, r.worker.get(), [&](const OtaStatus& s) {
                if (s.code == OTA_STA_SEND_BIN_DONE)
                    r.worker->disconnectPort();
            });
        const QByteArray image(8 * c.frames, 'v');
        ASSERT_TRUE(up.start(image));
        ASSERT_TRUE(done.wait(10000));
        EXPECT_EQ(done.last().at(1).toString(), c.text);
        EXPECT_EQ(done.last().at(0).toBool(), QString(c.text) == "Update successfully!");
        EXPECT_EQ(up.confirmed(), c.confirmed);
        if (QString(c.text) == "Update timeout!" || c.unplugAfterLastFrame) {
            EXPECT_EQ(r.eng()->step(), quint32(STEP_STOP)); // nothing keeps sending
        }
        if (c.confirmed) {
            EXPECT_EQ(r.sim->lastFirmwareCrc(), LinkRig::crc32(image));
            EXPECT_GE(detected.size(), 1);
        }
    }
}

TEST(ProcedureLink, SlowHealthyTransferOutlivesTheStallLimit)
{
    sim::SimConfig cfg = oneMotor(3);
    cfg.faults.delayMs = 5; // every answer late: a slow but healthy link
    LinkRig r(cfg);
    ASSERT_TRUE(r.connectAndScan(1, 15000));
    r.use(3);
    FirmwareUpdate up(r.worker.get());
    up.setStallLimit(1000);
    QSignalSpy done(&up, &FirmwareUpdate::finished);
    QElapsedTimer t;
    t.start();
    const QByteArray image(8 * 300, 's');
    ASSERT_TRUE(up.start(image));
    ASSERT_TRUE(done.wait(30000));
    EXPECT_EQ(done.last().at(1).toString(), "Update successfully!");
    EXPECT_GT(t.elapsed(), 1500); // longer in total than the limit without progress
    EXPECT_EQ(r.sim->lastFirmwareCrc(), LinkRig::crc32(image));
}

TEST(ProcedureLink, SilentMotorTimesOut)
{
    sim::SimConfig cfg = oneMotor(6);
    cfg.motors.append(sim::MotorConfig {7, 0});
    cfg.faults.silentMotors = {7};
    LinkRig r(cfg);
    ASSERT_TRUE(r.connectAndScan(1)); // the silent motor never announces itself
    // A device the user kept from an earlier session, now silent on the bus.
    ve::DataObject* node = ve::d("project.device")->append(nullptr, "silent");
    node->set(nullptr, "info.can_id", 7, true);
    node->set(nullptr, "info.mcu_id", QVariant::fromValue<qulonglong>(sim::SimServer::defaultMcuId(7)), true);
    r.worker->setCurrentDevice(node);
    r.worker->command(CANWorker::SET_MODE, 1);
    ASSERT_TRUE(r.waitMessage("<ERROR> Set MOTOR mode failed!", 4000));
    r.worker->command(CANWorker::LOAD_PARAM);
    ASSERT_TRUE(r.waitStatus(OTA_STA_GET_PARA_INFO_OVER_TIME, 3000));
    r.worker->readParam(true);
    ASSERT_TRUE(r.waitStatus(OTA_STA_READ_PARA_OVER_TIME, 3000));
    r.worker->command(CANWorker::SET_CAN_ID, 8);
    ASSERT_TRUE(r.waitStatus(OTA_STA_SET_ID_OVER_TIME, 4000));
    EXPECT_EQ(r.messages.filter("<ERROR>").size(), 1); // only the mode change reports its time-out
    // Without a current device a command sends nothing.
    r.worker->setCurrentDevice(nullptr);
    EXPECT_FALSE(r.worker->command(CANWorker::CLEAR_ALARM));
    EXPECT_FALSE(r.worker->readParam(true));
}

TEST(ProcedureLink, ConnectAutomaticallyFindsTheAdapter)
{
    LinkRig r(oneMotor(1));
    qputenv("SERVOBENCH_PORTS", r.sim->portPath().toUtf8());
    r.worker->connectAuto();
    qunsetenv("SERVOBENCH_PORTS");
    ASSERT_TRUE(LinkRig::waitUntil(
        [&] { return r.worker->deviceMapSize() == 1 && r.eng()->step() == STEP_STOP; }, 5000));
}

TEST(ProcedureLink, OscilloscopeSetUpThatNobodyConfirmsFails)
{
    sim::SimConfig cfg = oneMotor(1);
    cfg.motors.append(sim::MotorConfig {7, 0});
    cfg.faults.silentMotors = {7};
    LinkRig r(cfg);
    ve::DataObject* node = ready(r);
    ASSERT_NE(node, nullptr);
    node->set(nullptr, "info.can_id", 7, true);
    ScopeSession scope(r.worker.get());
    QSignalSpy started(&scope, &ScopeSession::started);
    QSignalSpy failed(&scope, &ScopeSession::setupFailed);
    ASSERT_TRUE(scope.start(50, ScopeSession::slotTypes({1})));
    EXPECT_FALSE(scope.start(50, ScopeSession::slotTypes({1}))); // already starting
    ASSERT_TRUE(failed.wait(8000));
    EXPECT_FALSE(failed.last().at(0).toBool());
    EXPECT_EQ(started.size(), 0);
    // Stopped while the set-up waits: nothing was sampling, so the stop ends well before its
    // limit, and the abandoned set-up reports nothing later.
    QSignalSpy stopped(&scope, &ScopeSession::stopped);
    ASSERT_TRUE(scope.start(50, ScopeSession::slotTypes({1})));
    ASSERT_TRUE(scope.stop());
    ASSERT_TRUE(stopped.wait(ScopeSession::StopLimitMs - 500));
    EXPECT_TRUE(stopped.last().at(0).toBool());
    LinkRig::pause(1500);
    EXPECT_EQ(failed.size(), 1);
    EXPECT_EQ(stopped.size(), 1);
    // No channels: refused, nothing sent.
    node->set(nullptr, "info.can_id", 1, true);
    EXPECT_FALSE(scope.start(50, ScopeSession::slotTypes({})));
    EXPECT_FALSE(scope.starting());
}

namespace {
// Pulls the adapter out once `when` holds, then checks the aftermath.
void unplugDuring(LinkRig& r, std::function<bool()> when)
{
    ASSERT_TRUE(LinkRig::waitUntil(when, 20000));
    r.sim->stop();
    ASSERT_TRUE(LinkRig::waitUntil([&] { return !r.errors.isEmpty(); }, 3000));
    LinkRig::pause(500);
    EXPECT_EQ(r.errors.size(), 1) << r.errors.join('\n').toStdString();
    EXPECT_TRUE(r.errors.first().startsWith("Serial port error: ")) << r.errors.first().toStdString();
    EXPECT_FALSE(r.worker->isConnected());
    EXPECT_FALSE(ve::d("working")->getBool());
    EXPECT_EQ(r.eng()->step(), quint32(STEP_STOP));
}
} // namespace

TEST(ProcedureLink, AdapterUnpluggedMidUploadAndMidFirmware)
{
    {
        LinkRig r(oneMotor(1));
        ve::DataObject* node = ready(r);
        ASSERT_TRUE(node);
        ParamTransfer xfer(r.worker.get(), node);
        int rows = 0;
        QObject::connect(&xfer, &ParamTransfer::rowUpdated, [&] { ++rows; });
        xfer.upload();
        unplugDuring(r, [&] { return rows >= 10; });
    }
    {
        LinkRig r(oneMotor(1));
        ASSERT_TRUE(r.connectAndScan(1));
        r.use(1);
        FirmwareUpdate up(r.worker.get());
        QSignalSpy done(&up, &FirmwareUpdate::finished);
        up.start(QByteArray(0x20000, 'f'));
        unplugDuring(r, [&] { return r.eng()->framesSent() > 1000; });
        ASSERT_TRUE(done.count() > 0 || done.wait(3000));
        EXPECT_FALSE(done.last().at(0).toBool());
    }
}
