#pragma once

#include "CANWorker.h"

#include <AppTree.h>
#include <DataManager.h>
#include <DataObject.h>
#include <SimFirmwareReceiver.h>
#include <SimServer.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

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

    // Runs a real event loop until cond holds (QTest::qWait sleeps 10 ms between event
    // batches, which would throttle every request/answer conversation).
    static bool waitUntil(const std::function<bool()>& cond, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!cond()) {
            if (t.elapsed() > ms)
                return false;
            QEventLoop loop;
            QTimer::singleShot(1, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return true;
    }
    // The checksum the simulator reports for a received image; comparing checksums keeps the
    // test from sharing a byte array with the simulator's thread.
    static quint32 crc32(const QByteArray& data) { return sim::SimFirmwareReceiver::crc32(data); }
    static void pause(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

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
        return waitUntil([&] { return messages.contains(text); }, ms);
    }
    // Connects and waits until the scan found `motors` devices and ended.
    bool connectAndScan(int motors, int ms = 8000)
    {
        worker->connectPort(sim->portPath());
        return waitUntil([&] { return worker->deviceMapSize() == motors && eng()->step() == STEP_STOP; }, ms);
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
        return waitUntil([&] { return eng()->status() == code; }, ms);
    }
};
