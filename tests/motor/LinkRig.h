#pragma once

#include "CANWorker.h"

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>
#include <SimServer.h>

#include <QTest>

#include <memory>

// A worker connected over a real pseudo-terminal to the simulated adapter and motors.
struct LinkRig
{
    std::unique_ptr<sim::SimServer> sim;
    std::unique_ptr<CANWorker> worker;
    QStringList messages;
    QStringList errors;
    QStringList infos;
    QMetaObject::Connection msgConn;

    static ve::DataObject* root() { return ve::d().rootDobj(); }

    // Puts the shared tree back into the template's state for the leaves the link uses.
    static void resetTree()
    {
        static bool imported = false;
        if (!imported) {
            servobench::importTemplate();
            imported = true;
        }
        ve::d("project.device")->clear(nullptr, true);
        root()->set(nullptr, "config.setting.enable_multiple_devices", true, true);
        root()->set(nullptr, "config.setting.upload_param_on_connected", false, true);
        root()->set(nullptr, "config.setting.remove_device_on_disconnected", true, true);
        root()->set(nullptr, "config.setting.record_read_raw_data", false, true);
        root()->set(nullptr, "config.setting.record_write_raw_data", true, true);
        root()->set(nullptr, "working", false, true);
    }

    explicit LinkRig(const sim::SimConfig& cfg = sim::SimConfig())
    {
        resetTree();
        sim = std::make_unique<sim::SimServer>(cfg);
        QString err;
        if (!sim->start(&err))
            qFatal("simulator: %s", qPrintable(err));
        worker = std::make_unique<CANWorker>();
        msgConn = QObject::connect(ve::d("wnd.status.msg"), &ve::DataObject::changed,
            [this](const QVariant& v, const QVariant&, QObject*) { messages << v.toString(); });
        QObject::connect(worker.get(), &CANWorker::errorBox, [this](const QString& t) { errors << t; });
        QObject::connect(worker.get(), &CANWorker::informationBox, [this](const QString& t) { infos << t; });
    }
    ~LinkRig()
    {
        QObject::disconnect(msgConn);
        worker.reset();
        sim.reset();
    }

    otaThread* eng() const { return worker->engine(); }
    bool waitMessage(const QString& text, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return messages.contains(text); }, ms);
    }
    // Connects and waits until the scan found `motors` devices and ended.
    bool connectAndScan(int motors, int ms = 8000)
    {
        worker->connectPort(sim->portPath());
        return QTest::qWaitFor(
            [&] { return worker->deviceMapSize() == motors && eng()->step() == STEP_STOP; }, ms);
    }
    // Makes the device with this CAN ID current.
    ve::DataObject* use(int canId)
    {
        ve::DataObject* node = worker->deviceByCanId(canId);
        worker->setCurrentDevice(node);
        return node;
    }
    bool waitStatus(quint32 code, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return eng()->status() == code; }, ms);
    }
};
