#include "CliOptions.h"

namespace {
struct CommandInfo
{
    const char* name;
    int minArgs;
    int maxArgs;
    const char* synopsis;
    const char* summary; // one line for the overview
    const char* text;
};

// Keep in the order `--help` lists them.
const CommandInfo Commands[] = {
    {"ports", 0, 0, "ports", "adapter ports the program would offer",
        "List the adapter ports the program would offer (USB-serial adapters and the\n"
        "paths in SERVOBENCH_PORTS)."},
    {"scan", 0, 0, "scan", "list the motors on the bus",
        "Connect (with the adapter's baud search) and list every motor on the bus:\n"
        "CAN ID and MCU ID."},
    {"params", 0, 0, "params [--json|--csv]", "the motor's whole parameter table",
        "Read the motor's parameter table and print every entry: code, name, type,\n"
        "property, limits and value."},
    {"get", 1, 1, "get CODE|NAME", "read one parameter",
        "Read one parameter (code like 0x2005, or its name) and print its value."},
    {"set", 2, 2, "set CODE|NAME VALUE [--save]", "write one parameter (checked like a table cell)",
        "Write one parameter. The value is checked like a cell of the parameter table\n"
        "(ASCII text for strings, a number of the parameter's type within its limits)\n"
        "before it is sent; then the motor's answer decides. --save stores it in flash."},
    {"save", 0, 0, "save", "store the parameters in flash", "Store all parameters in the motor's flash."},
    {"factory-reset", 0, 0, "factory-reset", "restore the factory parameters",
        "Restore the motor's factory parameters."},
    {"clear-alarm", 0, 0, "clear-alarm", "clear the motor's alarm", "Clear the motor's alarm."},
    {"backup", 1, 1, "backup FILE", "identity and every parameter value to a JSON file",
        "Write the motor's identity and every parameter value to a JSON file."},
    {"restore", 1, 1, "restore FILE", "write back what differs from a backup, save, verify",
        "Write the writable parameters of a backup that differ from the motor, save them,\n"
        "read everything back and report every entry that did not take."},
    {"diff", 1, 1, "diff FILE", "what differs between the motor and a backup",
        "Print the parameters whose values differ between the motor and a backup.\n"
        "Exit code 0 when nothing differs, 1 when something does."},
    {"mode", 1, 1, "mode reset|motor|brake", "switch the motor's mode", "Switch the motor's mode."},
    {"zero", 0, 0, "zero", "set the mechanical zero", "Set the current position as the mechanical zero."},
    {"set-id", 1, 1, "set-id NEW_ID", "change the CAN ID (confirmed by the new announcement)",
        "Give the motor a new CAN ID (1-127); confirmed when the motor announces itself\n"
        "under the new ID."},
    {"calibrate", 0, 0, "calibrate", "encoder calibration with progress and offset",
        "Calibrate the encoder (the motor rotates). Streams the progress and prints the\n"
        "electrical offset."},
    {"estop", 0, 0, "estop", "stop the motor (every motor without --id)",
        "Emergency stop: put the motor into reset mode so it stops driving. Without --id\n"
        "every motor on the bus is stopped."},
    {"flash", 1, 1, "flash FILE [--accept-unconfirmed]",
        "firmware update with progress and the motor's verdict",
        "Transfer a firmware image (*.bin or *.hex, sent byte for byte, at most 512KB)\n"
        "and report the motor's verdict. Shows a progress bar on a terminal. A motor that\n"
        "takes every frame but does not answer the end frame fails the command unless\n"
        "--accept-unconfirmed is given."},
    {"scope", 0, 0, "scope --channel NAME... [--freq HZ] [--duration S] --out FILE [--csv]",
        "record signals through the oscilloscope",
        "Record up to eight signals through the oscilloscope. --channel takes a name of\n"
        "the live values (see `params`, property R/W or Setting above the configuration,\n"
        "and RO values), repeated or comma-separated. --freq 1-2000 Hz (default 100),\n"
        "--duration in seconds (default 1). Without --csv the samples are appended to\n"
        "FILE in the sample-file format (time, then one field per channel); with --csv\n"
        "FILE gets a CSV with a header row of channel names."},
};

const CommandInfo* find(const QString& name)
{
    for (const CommandInfo& c : Commands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

const char* const CommonOptions = "Options:\n"
                                  "  --port PATH     adapter port (default: the first adapter port found)\n"
                                  "  --id CAN_ID     motor to talk to (default: the only motor on the bus)\n"
                                  "  --timeout MS    longest wait for an answer (default 3000)\n"
                                  "  --json          machine-readable output\n"
                                  "  -h, --help      this text; COMMAND --help for one command\n";

const char* const ExitCodes = "Exit codes: 0 success, 1 the motor refused or failed, 2 usage,\n"
                              "            3 no port or serial error, 4 time-out.\n";

CliStatus usageError(const QString& text)
{
    return CliStatus::fail(CliStatus::Usage, text);
}
} // namespace

QStringList CliOptions::commands()
{
    QStringList names;
    for (const CommandInfo& c : Commands)
        names << QString::fromLatin1(c.name);
    return names;
}

QString CliOptions::usage()
{
    QString s = QStringLiteral("Usage: servobench-cli COMMAND [ARGS] [OPTIONS]\n\n"
                               "Commissioning of R58 servo motors through a USB-CAN adapter.\n\n"
                               "Commands:\n");
    for (const CommandInfo& c : Commands)
        s += QStringLiteral("  %1\n      %2\n")
                 .arg(QString::fromLatin1(c.synopsis), QString::fromLatin1(c.summary));
    s += QLatin1Char('\n') + QString::fromLatin1(CommonOptions) + QLatin1Char('\n')
        + QString::fromLatin1(ExitCodes);
    return s;
}

QString CliOptions::commandHelp(const QString& command)
{
    const CommandInfo* c = find(command);
    if (!c)
        return usage();
    return QStringLiteral("Usage: servobench-cli %1\n\n%2\n\n%3\n%4")
        .arg(QString::fromLatin1(c->synopsis), QString::fromLatin1(c->text),
            QString::fromLatin1(CommonOptions), QString::fromLatin1(ExitCodes));
}

CliStatus CliOptions::parse(const QStringList& argv, CliOptions* o)
{
    QStringList positional;
    for (int k = 0; k < argv.size(); ++k) {
        const QString a = argv[k];
        QString name = a;
        QString inlineValue;
        bool hasInline = false;
        if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
            name = a.section(QLatin1Char('='), 0, 0);
            inlineValue = a.section(QLatin1Char('='), 1);
            hasInline = true;
        }
        auto value = [&](QString* out) -> bool {
            if (hasInline) {
                *out = inlineValue;
                return true;
            }
            if (k + 1 >= argv.size())
                return false;
            *out = argv[++k];
            return true;
        };
        auto intValue = [&](int lo, int hi, int* out) -> CliStatus {
            QString v;
            if (!value(&v))
                return usageError(QStringLiteral("%1 needs a value").arg(name));
            bool ok = false;
            const int n = v.toInt(&ok, 0);
            if (!ok || n < lo || n > hi)
                return usageError(
                    QStringLiteral("%1: '%2' is not a number from %3 to %4").arg(name, v).arg(lo).arg(hi));
            *out = n;
            return CliStatus::success();
        };
        CliStatus st;
        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            o->help = true;
        } else if (name == QLatin1String("--version")) {
            o->version = true;
        } else if (name == QLatin1String("--json")) {
            o->json = true;
        } else if (name == QLatin1String("--csv")) {
            o->csv = true;
        } else if (name == QLatin1String("--save")) {
            o->save = true;
        } else if (name == QLatin1String("--accept-unconfirmed")) {
            o->acceptUnconfirmed = true;
        } else if (name == QLatin1String("--port")) {
            if (!value(&o->port) || o->port.isEmpty())
                return usageError(QStringLiteral("--port needs a path"));
        } else if (name == QLatin1String("--id")) {
            st = intValue(1, 127, &o->canId);
        } else if (name == QLatin1String("--timeout")) {
            st = intValue(1, 600000, &o->timeoutMs);
        } else if (name == QLatin1String("--freq")) {
            st = intValue(1, 2000, &o->frequency);
        } else if (name == QLatin1String("--duration")) {
            QString v;
            bool ok = false;
            if (value(&v))
                o->duration = v.toDouble(&ok);
            if (!ok || !(o->duration > 0) || o->duration > 3600)
                return usageError(QStringLiteral("--duration needs seconds from above 0 to 3600"));
        } else if (name == QLatin1String("--out")) {
            if (!value(&o->out) || o->out.isEmpty())
                return usageError(QStringLiteral("--out needs a file name"));
        } else if (name == QLatin1String("--channel")) {
            QString v;
            if (!value(&v) || v.isEmpty())
                return usageError(QStringLiteral("--channel needs a name"));
            o->channels += v.split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1
            && !(a[1].isDigit() || a[1] == QLatin1Char('.'))) {
            // Negative numbers are values (set NAME -1.5), anything else dashed is an option.
            return usageError(QStringLiteral("unknown option %1 (see --help)").arg(name));
        } else {
            positional << a;
        }
        if (!st.ok())
            return st;
    }
    if (positional.isEmpty()) {
        if (o->help || o->version)
            return CliStatus::success();
        return usageError(QStringLiteral("no command given (see --help)"));
    }
    o->command = positional.takeFirst();
    o->args = positional;
    const CommandInfo* c = find(o->command);
    if (!c)
        return usageError(QStringLiteral("unknown command '%1' (see --help)").arg(o->command));
    if (o->help)
        return CliStatus::success();
    if (o->args.size() < c->minArgs || o->args.size() > c->maxArgs)
        return usageError(QStringLiteral("usage: servobench-cli %1").arg(QString::fromLatin1(c->synopsis)));
    // For scope, --csv picks the file's format and --json the report's; for params both are output.
    if (o->csv && o->json && o->command == QLatin1String("params"))
        return usageError(QStringLiteral("--csv and --json exclude each other"));
    if (o->command == QLatin1String("scope")) {
        if (o->channels.isEmpty())
            return usageError(QStringLiteral("scope needs at least one --channel NAME"));
        if (o->channels.size() > 8)
            return usageError(QStringLiteral("scope records at most 8 channels"));
        if (o->out.isEmpty())
            return usageError(QStringLiteral("scope needs --out FILE"));
    }
    return CliStatus::success();
}
