#include "CliApp.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "DeviceCommands.h"
#include "FirmwareCommand.h"
#include "MotorLink.h"
#include "ParamCommands.h"
#include "ScopeCommand.h"

#include <AppTree.h>
#include <CANWorker.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

namespace {
int finish(const CliStatus& st)
{
    if (!st.ok() && !st.message.isEmpty())
        CliOutput::error(st.message);
    return st.code;
}

CliStatus ports(const CliOptions& o)
{
    const QStringList list = CANWorker::portList();
    if (o.json)
        CliOutput::json(QJsonArray::fromStringList(list));
    else
        for (const QString& p : list)
            CliOutput::line(p);
    if (list.isEmpty())
        return CliStatus::fail(CliStatus::PortError,
            QStringLiteral("no adapter port found (plug in the adapter or set SERVOBENCH_PORTS)"));
    return CliStatus::success();
}

CliStatus dispatch(const CliOptions& o)
{
    if (o.command == QLatin1String("ports"))
        return ports(o);
    if (!servobench::importTemplate())
        return CliStatus::fail(
            CliStatus::PortError, QStringLiteral("the embedded template could not be read"));
    MotorLink link(o.timeoutMs);
    CliStatus st = link.open(o.port, o.canId);
    if (!st.ok())
        return st;
    if (o.command == QLatin1String("scan"))
        return DeviceCommands::scan(o, link);
    if (o.command == QLatin1String("estop"))
        return DeviceCommands::estop(o, link);
    st = link.select(o.canId);
    if (!st.ok())
        return st;
    if (ParamCommands::handles(o.command))
        return ParamCommands::run(o, link);
    if (DeviceCommands::handles(o.command))
        return DeviceCommands::run(o, link);
    if (o.command == QLatin1String("flash"))
        return FirmwareCommand::run(o, link);
    return ScopeCommand::run(o, link);
}
} // namespace

int CliApp::run(const QStringList& argv)
{
    CliOptions o;
    const CliStatus parsed = CliOptions::parse(argv, &o);
    if (!parsed.ok())
        return finish(parsed);
    if (o.help) {
        CliOutput::line(o.command.isEmpty() ? CliOptions::usage() : CliOptions::commandHelp(o.command));
        return 0;
    }
    if (o.version) {
        CliOutput::line(QStringLiteral("servobench-cli %1").arg(QCoreApplication::applicationVersion()));
        return 0;
    }
    return finish(dispatch(o));
}
