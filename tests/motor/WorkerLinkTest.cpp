#include "LinkRig.h"

#include <QRegularExpression>
#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(WorkerLink, ConnectsAtTheWorkingRateAndScansThreeMotors)
{
    LinkRig r(sim::SimConfig::forCanIds({3, 17, 90}));
    LinkRig::root()->set(nullptr, "config.setting.record_read_raw_data", true, true);
    QStringList records;
    QObject scope; // ends the connection with the test
    QObject::connect(ve::d("output"), &ve::DataObject::changed, &scope,
        [&](const QVariant& v, const QVariant&, QObject*) { records << v.toString(); });
    QSignalSpy changed(r.worker.get(), &CANWorker::deviceChanged);
    ASSERT_TRUE(r.connectAndScan(3)) << r.messages.join('\n').toStdString();
    EXPECT_EQ(r.messages.first(), "Detecting devices at serial port " + r.sim->portPath());
    EXPECT_TRUE(r.messages.contains("CAN bus connected."));
    EXPECT_EQ(r.errors, QStringList());
    ve::DataObject* list = ve::d("project.device");
    ASSERT_EQ(list->size(), 3);
    const quint64 mcu = r.sim->motorMcuId(1);
    EXPECT_EQ(list->c(QString::number(mcu, 16))->r("info.can_id")->getInt(), 17);
    EXPECT_TRUE(r.messages.contains(QString("Detected device: [MCU ID: 0x%1, CAN ID: 17]").arg(mcu, 0, 16)));
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(ve::d("project.serial_port")->getString(), r.sim->portPath());
    // The raw record shows what went out and what came in.
    const QString port = r.worker->port()->portName();
    EXPECT_EQ(records.first(), " -> " + port + ": 41 54 2b 41 54 0d 0a"); // the probe "AT+AT"
    EXPECT_FALSE(
        records.filter(QRegularExpression("^" + QRegularExpression::escape(port) + " -> : (.. )*41 54 00"))
            .isEmpty());
    // The scan probes CAN ID 120 last.
    EXPECT_EQ(ve::d("_send_can_id")->getInt(), 120);

    // Connecting again changes nothing.
    r.worker->connectPort("/dev/null");
    EXPECT_EQ(r.messages.last(), "Serial port " + r.worker->port()->portName() + " is already connected.");

    r.worker->disconnectPort();
    EXPECT_FALSE(r.worker->isConnected());
    EXPECT_EQ(list->size(), 0);
    EXPECT_FALSE(ve::d("working")->getBool());
    EXPECT_EQ(r.worker->deviceMapSize(), 0);
}

TEST(WorkerLink, BaudSearchFindsAnAdapterConfiguredAt115200)
{
    sim::SimConfig cfg = sim::SimConfig::forCanIds({1});
    cfg.adapterBaud = 115200;
    LinkRig r(cfg);
    ASSERT_TRUE(r.connectAndScan(1, 15000)) << r.messages.join('\n').toStdString();
    const QStringList expected = {"Connect overtime, try baud rate：9600",
        "Connect overtime, try baud rate：115200", "CAN bus configuration success!", "CAN bus connected."};
    int at = 0;
    for (const QString& m : r.messages)
        if (at < expected.size() && m == expected[at])
            ++at;
    EXPECT_EQ(at, expected.size()) << r.messages.join('\n').toStdString();
    EXPECT_EQ(r.sim->adapterBaud(), 921600u);
    EXPECT_EQ(r.worker->port()->baudRate(), 921600);
}

TEST(WorkerLink, SilentAdapterEndsTheSearchWithTheFailureMessage)
{
    sim::SimConfig cfg = sim::SimConfig::forCanIds({1});
    cfg.faults.adapterSilent = true;
    LinkRig r(cfg);
    r.worker->connectPort(r.sim->portPath());
    // 500 ms probe, then eleven rates of 220 ms each.
    ASSERT_TRUE(r.waitMessage("<ERROR> CAN bus configuration failed, please check physical device!", 10000))
        << r.messages.join('\n').toStdString();
    EXPECT_EQ(r.messages.filter("Connect overtime").size(), 11);
    EXPECT_EQ(r.messages.filter("Connect overtime").last(), "Connect overtime, try baud rate：1152000");
    LinkRig::pause(400);
    EXPECT_EQ(r.messages.last(), "<ERROR> CAN bus configuration failed, please check physical device!");
    EXPECT_EQ(r.worker->deviceMapSize(), 0);
}

TEST(WorkerLink, DisconnectDuringTheSearchEndsIt)
{
    sim::SimConfig cfg = sim::SimConfig::forCanIds({1});
    cfg.faults.adapterSilent = true;
    LinkRig r(cfg);
    // The user disconnects just as the probe times out: its reaction is still queued.
    QObject::connect(r.eng(), &otaThread::sendState, r.worker.get(), [&](const OtaStatus& s) {
        if (s.code == OTA_STA_CONNECT_OVER_TIME)
            r.worker->disconnectPort();
    });
    r.worker->connectPort(r.sim->portPath());
    ASSERT_TRUE(LinkRig::waitUntil([&] { return !r.worker->isConnected(); }, 3000));
    LinkRig::pause(1500);
    EXPECT_TRUE(r.messages.filter("Connect overtime").isEmpty()) << r.messages.join('\n').toStdString();
    EXPECT_TRUE(r.messages.filter("configuration failed").isEmpty());
    EXPECT_EQ(r.eng()->step(), quint32(STEP_STOP));
}
