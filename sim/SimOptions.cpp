#include "SimOptions.h"

#include <QCommandLineParser>

namespace sim {

namespace {
bool toInt(const QString& text, int lo, int hi, int* out)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 0);
    if (!ok || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}
} // namespace

void SimOptions::declare(QCommandLineParser* p)
{
    p->setApplicationDescription(
        "Simulated USB-CAN adapter with servo motors on a pseudo-terminal.\n"
        "Prints the terminal's path on the first line of standard output and serves it\n"
        "until SIGINT or SIGTERM. Point the program at that path (or at --link).");
    p->addHelpOption();
    p->addVersionOption();
    p->addOptions({
        {"motors", "Number of motors on the bus (1-127, default 1).", "N", "1"},
        {"can-ids", "Comma-separated CAN IDs of the motors (default 1, 2, ... N).", "LIST"},
        {"mcu-ids", "Comma-separated 64-bit MCU IDs in hexadecimal (default derived from the CAN ID).",
            "LIST"},
        {"baud",
            "The adapter's configured serial rate (default 921600). Bytes sent at another line "
            "speed are not understood.",
            "RATE", "921600"},
        {"link", "Create a symbolic link PATH to the terminal (removed on exit).", "PATH"},
        {"trace", "Write a log of every received and sent frame to FILE ('-' for standard error).", "FILE"},
        {"firmware-out", "Write each completely received firmware image to FILE.", "FILE"},
        {"calibration-ms", "Length of an encoder calibration run in ms (default 3000).", "MS", "3000"},
        {"adapter-silent", "Fault: the adapter answers nothing and forwards nothing."},
        {"motor-silent", "Fault: the motors with these comma-separated CAN IDs never answer (0: all).",
            "LIST"},
        {"drop-every", "Fault: drop every N-th frame the motors send.", "N"},
        {"delay", "Fault: send every motor frame MS milliseconds late.", "MS"},
        {"fw-retry-at", "Fault: refuse firmware frame FRAME once, asking to resume two frames earlier.",
            "FRAME"},
        {"fw-fail-end", "Fault: answer every firmware end frame with failure."},
        {"fw-retry-forever", "Fault: refuse the --fw-retry-at frame every time, not once."},
        {"fw-silent-end", "Fault: never answer the firmware end frame."},
        {"scope-wrong-type", "Fault: echo a wrong type code for oscilloscope channel position K (0-7).", "K"},
        {"link-model", "Delay every byte as 921600 baud serial and every frame as 1 Mbit/s CAN would."},
        {"usb-latency-us", "With --link-model: add US microseconds of USB turnaround in each direction.",
            "US"},
    });
}

bool SimOptions::read(const QCommandLineParser& p, SimConfig* cfg, QString* error)
{
    auto fail = [&](const QString& msg) {
        if (error)
            *error = msg;
        return false;
    };
    SimConfig c;
    int count = 1;
    if (!toInt(p.value("motors"), 1, 127, &count))
        return fail(QStringLiteral("--motors needs a number from 1 to 127"));
    QVector<int> ids;
    if (p.isSet("can-ids")) {
        for (const QString& part : p.value("can-ids").split(',', Qt::SkipEmptyParts)) {
            int id = 0;
            if (!toInt(part, 1, 127, &id))
                return fail(QStringLiteral("--can-ids: '%1' is not a CAN ID from 1 to 127").arg(part));
            if (ids.contains(id))
                return fail(QStringLiteral("--can-ids: CAN ID %1 given twice").arg(id));
            ids << id;
        }
        if (!p.isSet("motors"))
            count = ids.size();
        if (ids.size() != count)
            return fail(QStringLiteral("--can-ids lists %1 IDs for %2 motors").arg(ids.size()).arg(count));
    } else {
        for (int i = 1; i <= count; ++i)
            ids << i;
    }
    QVector<quint64> mcus(count, 0);
    if (p.isSet("mcu-ids")) {
        const QStringList parts = p.value("mcu-ids").split(',', Qt::SkipEmptyParts);
        if (parts.size() != count)
            return fail(QStringLiteral("--mcu-ids lists %1 IDs for %2 motors").arg(parts.size()).arg(count));
        for (int i = 0; i < count; ++i) {
            QString t = parts[i].trimmed();
            if (t.startsWith("0x", Qt::CaseInsensitive))
                t = t.mid(2);
            bool ok = false;
            mcus[i] = t.toULongLong(&ok, 16);
            if (!ok || mcus[i] == 0 || t.size() > 16)
                return fail(
                    QStringLiteral("--mcu-ids: '%1' is not a non-zero 64-bit hexadecimal ID").arg(parts[i]));
        }
    }
    c.motors.clear();
    for (int i = 0; i < count; ++i)
        c.motors.append(MotorConfig {quint8(ids[i]), mcus[i]});

    bool ok = false;
    c.adapterBaud = p.value("baud").toUInt(&ok);
    if (!ok || c.adapterBaud == 0)
        return fail(QStringLiteral("--baud needs a serial rate such as 921600"));
    c.linkPath = p.value("link");
    c.tracePath = p.value("trace");
    c.firmwareOutPath = p.value("firmware-out");
    if (!toInt(p.value("calibration-ms"), 200, 600000, &c.calibrationMs))
        return fail(QStringLiteral("--calibration-ms needs a number from 200 to 600000"));

    FaultConfig& f = c.faults;
    f.adapterSilent = p.isSet("adapter-silent");
    if (p.isSet("motor-silent")) {
        for (const QString& part : p.value("motor-silent").split(',', Qt::SkipEmptyParts)) {
            int id = 0;
            if (!toInt(part, 0, 127, &id))
                return fail(QStringLiteral("--motor-silent: '%1' is not a CAN ID (0 for all)").arg(part));
            f.silentMotors << quint8(id);
        }
    }
    if (p.isSet("drop-every") && !toInt(p.value("drop-every"), 1, 1000000, &f.dropEvery))
        return fail(QStringLiteral("--drop-every needs a positive number"));
    if (p.isSet("delay") && !toInt(p.value("delay"), 0, 60000, &f.delayMs))
        return fail(QStringLiteral("--delay needs milliseconds from 0 to 60000"));
    if (p.isSet("fw-retry-at") && !toInt(p.value("fw-retry-at"), 0, 65535, &f.firmwareRetryAt))
        return fail(QStringLiteral("--fw-retry-at needs a frame index from 0 to 65535"));
    f.firmwareFailEnd = p.isSet("fw-fail-end");
    f.firmwareRetryForever = p.isSet("fw-retry-forever");
    f.firmwareSilentEnd = p.isSet("fw-silent-end");
    if (p.isSet("scope-wrong-type") && !toInt(p.value("scope-wrong-type"), 0, 7, &f.scopeWrongTypeChannel))
        return fail(QStringLiteral("--scope-wrong-type needs a channel position from 0 to 7"));
    f.linkModel = p.isSet("link-model");
    if (p.isSet("usb-latency-us") && !toInt(p.value("usb-latency-us"), 0, 100000, &f.usbLatencyUs))
        return fail(QStringLiteral("--usb-latency-us needs microseconds from 0 to 100000"));
    if (!p.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));
    *cfg = c;
    return true;
}

bool SimOptions::parse(const QStringList& arguments, SimConfig* cfg, QString* error)
{
    QCommandLineParser p;
    declare(&p);
    if (!p.parse(arguments)) {
        if (error)
            *error = p.errorText();
        return false;
    }
    return read(p, cfg, error);
}

} // namespace sim
