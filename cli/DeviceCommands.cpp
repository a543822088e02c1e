#include "DeviceCommands.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "MotorLink.h"

#include <CANWorker.h>
#include <CalibrationProcedure.h>
#include <CanIdChange.h>
#include <DataObject.h>

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <limits>

namespace {
struct ModeInfo
{
    const char* word;
    int value; // SET_MODE argument
    const char* label;
    quint32 ok, fail;
};

const ModeInfo Modes[] = {
    {"reset", 2, "RESET", OTA_STA_RST_MODE_SUCCESS, OTA_STA_RST_MODE_OVER_TIME},
    {"motor", 1, "MOTOR", OTA_STA_MOTOR_MODE_SUCCESS, OTA_STA_MOTOR_MODE_OVER_TIME},
    {"brake", 0, "BRAKE", OTA_STA_BRAKE_MODE_SUCCESS, OTA_STA_BRAKE_MODE_OVER_TIME},
};

void report(const CliOptions& o, const QJsonObject& j, const QString& text)
{
    if (o.json)
        CliOutput::json(j);
    else
        CliOutput::line(text);
}

CliStatus setMode(MotorLink& link, const ModeInfo& m)
{
    link.mark();
    link.worker()->command(CANWorker::SET_MODE, m.value);
    const int code = link.waitStatus({m.ok, m.fail}, link.timeout() + 2000);
    if (code == int(m.ok))
        return CliStatus::success();
    return link.failure(QStringLiteral("Set %1 mode failed! (motor %2 did not answer)")
                            .arg(QString::fromLatin1(m.label))
                            .arg(link.currentCanId()));
}

CliStatus mode(const CliOptions& o, MotorLink& link)
{
    for (const ModeInfo& m : Modes) {
        if (o.args[0] != QLatin1String(m.word))
            continue;
        const CliStatus st = setMode(link, m);
        if (st.ok())
            report(o, QJsonObject {{"can_id", link.currentCanId()}, {"mode", o.args[0]}},
                QStringLiteral("Set %1 mode successfully!").arg(QString::fromLatin1(m.label)));
        return st;
    }
    return CliStatus::fail(
        CliStatus::Usage, QStringLiteral("mode must be reset, motor or brake, not '%1'").arg(o.args[0]));
}

CliStatus zero(const CliOptions& o, MotorLink& link)
{
    link.mark();
    link.worker()->command(CANWorker::ZERO_MECH);
    const int code
        = link.waitStatus({OTA_STA_ZERO_MODE_SUCCESS, OTA_STA_ZERO_MODE_OVER_TIME}, link.timeout() + 2000);
    if (code != OTA_STA_ZERO_MODE_SUCCESS)
        return link.failure(
            QStringLiteral("motor %1 did not confirm the mechanical zero").arg(link.currentCanId()));
    report(o, QJsonObject {{"can_id", link.currentCanId()}, {"zero", true}},
        QStringLiteral("Set the mechanical zero successfully!"));
    return CliStatus::success();
}

CliStatus clearAlarm(const CliOptions& o, MotorLink& link)
{
    const int id = link.currentCanId();
    link.mark();
    link.worker()->command(CANWorker::CLEAR_ALARM);
    // The motor answers with its feedback frame.
    const int code = link.waitStatus(
        [id](const OtaStatus& s) { return s.code == OTA_STA_MOTOR_FEEDBACK && s.recvCanId == id; },
        link.timeout());
    if (code < 0)
        return link.failure(QStringLiteral("motor %1 did not answer the clear-alarm command").arg(id));
    report(o, QJsonObject {{"can_id", id}, {"cleared", true}},
        QStringLiteral("Alarm of motor %1 cleared").arg(id));
    return CliStatus::success();
}

CliStatus setId(const CliOptions& o, MotorLink& link)
{
    bool ok = false;
    const int newId = o.args[0].toInt(&ok, 0);
    if (!ok || newId < 1 || newId > 127)
        return CliStatus::fail(CliStatus::Usage,
            QStringLiteral("NEW_ID must be a CAN ID from 1 to 127, not '%1'").arg(o.args[0]));
    ve::DataObject* node = link.current();
    const int oldId = link.currentCanId();
    if (newId == oldId) {
        report(o, QJsonObject {{"can_id", newId}, {"mcu_id", QStringLiteral("0x") + node->name()}},
            QStringLiteral("Motor already has CAN ID %1").arg(newId));
        return CliStatus::success();
    }
    if (ve::DataObject* other = link.node(newId))
        return CliStatus::fail(CliStatus::Usage,
            QStringLiteral("CAN ID %1 is taken by the motor with MCU ID 0x%2").arg(newId).arg(other->name()));
    CanIdChange change(link.worker());
    bool ended = false;
    QObject::connect(&change, &CanIdChange::finished, [&](bool, const QString&) { ended = true; });
    if (!change.start(node, newId))
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no motor selected"));
    link.waitFor([&] { return ended; }, link.timeout() + 1000);
    // The procedure allows the announcement 300 ms; a motor that takes longer still counts when
    // it announces itself under the new ID within the command line's limit.
    const bool confirmed = link.waitFor(
        [&] {
            return link.worker()->deviceByCanId(newId) == node
                && node->r(QStringLiteral("info.can_id"))->getInt(0) == newId;
        },
        link.timeout());
    if (!confirmed)
        return link.failure(QStringLiteral("Device %1 CAN ID set failed! (no announcement under CAN ID %2)")
                                .arg(link.worker()->deviceName(node))
                                .arg(newId));
    report(o,
        QJsonObject {
            {"old_can_id", oldId}, {"can_id", newId}, {"mcu_id", QStringLiteral("0x") + node->name()}},
        QStringLiteral("Device %1 CAN ID set successfully! (was %2)")
            .arg(link.worker()->deviceName(node))
            .arg(oldId));
    return CliStatus::success();
}

CliStatus calibrate(const CliOptions& o, MotorLink& link)
{
    QJsonArray results;
    bool turning = false;
    CalibrationProcedure procedure(link.worker());
    // A motor that stops reporting for this long is taken as gone; a longer --timeout extends it.
    procedure.setSilenceLimitMs(std::max(link.timeout(), CalibrationProcedure::DefaultSilenceLimitMs));
    QObject::connect(&procedure, &CalibrationProcedure::report, [&](const OtaStatus& s) {
        turning = true;
        if (s.code == OTA_STA_ENCODER_CALI_ING && !o.json)
            CliOutput::line(QStringLiteral("Rotor angle = %1, Stator flux angle = %2, Sensor value = %3")
                                .arg(double(s.rotorAngle), 0, 'f', 4)
                                .arg(double(s.statorAngle), 0, 'f', 4)
                                .arg(s.sensorValue));
        if (s.code == OTA_STA_ENCODER_CALI_RESULT) {
            results.append(
                QJsonObject {{"number", s.caliNumber}, {"index", s.caliIndex}, {"correction", s.correction}});
            if (!o.json)
                CliOutput::line(QStringLiteral("Result: Number: %1, Index: %2, Correction: %3")
                                    .arg(s.caliNumber)
                                    .arg(s.caliIndex)
                                    .arg(s.correction));
        }
    });
    bool ended = false, ok = false;
    double offset = 0;
    QObject::connect(
        &procedure, &CalibrationProcedure::finished, [&](bool result, const QString&, double value) {
            ended = true;
            ok = result;
            offset = value;
        });
    link.mark();
    if (!procedure.start())
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no motor selected"));
    // The procedure ends itself (no start within 8000 ms, or silence); a lost port ends it here.
    link.waitFor([&] { return ended; }, std::numeric_limits<int>::max());
    if (!ok)
        return link.failure(
            QStringLiteral("Calibration failed! (motor %1 %2)")
                .arg(link.currentCanId())
                .arg(turning ? QStringLiteral("went silent") : QStringLiteral("did not calibrate")));
    report(o,
        QJsonObject {{"can_id", link.currentCanId()}, {"electrical_offset", offset}, {"results", results}},
        QStringLiteral("Encoder Electrical Offset: %1").arg(QString::number(offset, 'f', 6)));
    return CliStatus::success();
}
} // namespace

bool DeviceCommands::handles(const QString& c)
{
    static const QStringList names {QStringLiteral("clear-alarm"), QStringLiteral("mode"),
        QStringLiteral("zero"), QStringLiteral("set-id"), QStringLiteral("calibrate")};
    return names.contains(c);
}

CliStatus DeviceCommands::scan(const CliOptions& o, MotorLink& link)
{
    const QList<int> ids = link.canIds();
    if (o.json) {
        QJsonArray a;
        for (int id : ids)
            a.append(QJsonObject {{"can_id", id}, {"mcu_id", QStringLiteral("0x") + link.node(id)->name()}});
        CliOutput::json(QJsonObject {{"port", link.portName()}, {"motors", a}});
    } else {
        QVector<QStringList> rows;
        for (int id : ids)
            rows << QStringList {QString::number(id), QStringLiteral("0x") + link.node(id)->name()};
        CliOutput::line(CliOutput::table({QStringLiteral("CAN ID"), QStringLiteral("MCU ID")}, rows));
    }
    if (ids.isEmpty())
        return CliStatus::fail(
            CliStatus::TimedOut, QStringLiteral("no motor answered on %1").arg(link.portName()));
    return CliStatus::success();
}

CliStatus DeviceCommands::estop(const CliOptions& o, MotorLink& link)
{
    QList<int> ids;
    if (o.canId > 0) {
        const CliStatus st = link.select(o.canId);
        if (!st.ok())
            return st;
        ids << o.canId;
    } else {
        ids = link.canIds();
        if (ids.isEmpty())
            return CliStatus::fail(
                CliStatus::TimedOut, QStringLiteral("no motor answered on %1").arg(link.portName()));
    }
    QJsonArray stopped;
    QStringList silent;
    for (int id : ids) {
        link.worker()->setCurrentDevice(link.node(id));
        const CliStatus st = setMode(link, Modes[0]);
        if (link.serialFailed())
            return st;
        if (st.ok()) {
            stopped.append(id);
            if (!o.json)
                CliOutput::line(QStringLiteral("Motor %1 stopped (reset mode)").arg(id));
        } else {
            silent << QString::number(id);
        }
    }
    if (o.json)
        CliOutput::json(
            QJsonObject {{"stopped", stopped}, {"unconfirmed", QJsonArray::fromStringList(silent)}});
    if (!silent.isEmpty())
        return CliStatus::fail(CliStatus::TimedOut,
            QStringLiteral("no stop confirmation from motor(s) %1").arg(silent.join(QStringLiteral(", "))));
    return CliStatus::success();
}

CliStatus DeviceCommands::run(const CliOptions& o, MotorLink& link)
{
    const QString& c = o.command;
    if (c == QLatin1String("mode"))
        return mode(o, link);
    if (c == QLatin1String("zero"))
        return zero(o, link);
    if (c == QLatin1String("set-id"))
        return setId(o, link);
    if (c == QLatin1String("calibrate"))
        return calibrate(o, link);
    return clearAlarm(o, link);
}
