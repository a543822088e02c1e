#include "FirmwareUpdate.h"
#include "LinkRig.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {
// A worker without a port: reactions are driven by handing it statuses directly.
struct StatusRig
{
    CANWorker worker;
    QStringList messages;
    QMetaObject::Connection conn;
    StatusRig()
    {
        conn = QObject::connect(ve::d("wnd.status.msg"), &ve::DataObject::changed,
            [this](const QVariant& v, const QVariant&, QObject*) { messages << v.toString(); });
    }
    ~StatusRig() { QObject::disconnect(conn); }
    void announce(quint64 mcu, quint8 canId)
    {
        OtaStatus s;
        s.code = OTA_STA_DETECT_MCU;
        s.mcuId = mcu;
        s.canId = canId;
        s.recvCanId = canId;
        worker.StateUpdate(s);
    }
};
} // namespace

TEST(WorkerStatus, DetectionRuleWithAndWithoutMultipleDevices)
{
    LinkRig::resetTree();
    LinkRig::root()->set(nullptr, "config.setting.enable_multiple_devices", false, true);
    StatusRig r;
    QSignalSpy changed(&r.worker, &CANWorker::deviceChanged);
    r.announce(0xaa01, 1);
    r.announce(0xaa02, 2);
    EXPECT_EQ(r.messages.last(), "Multiple devices connection is forbidden.");
    EXPECT_EQ(ve::d("project.device")->size(), 1);
    // The first device announcing again (under a new CAN ID) is accepted and remapped.
    r.announce(0xaa01, 5);
    EXPECT_EQ(r.worker.deviceByCanId(5), ve::d("project.device.aa01"));
    EXPECT_EQ(r.worker.deviceByCanId(1), nullptr);
    EXPECT_EQ(ve::d("project.device.aa01.info.can_id")->getInt(), 5);
    EXPECT_EQ(changed.count(), 2);

    LinkRig::resetTree();
    for (int k = 0; k < 11; ++k)
        r.announce(0xbb00 + quint64(k), quint8(k + 1));
    EXPECT_EQ(ve::d("project.device")->size(), 11);
    r.announce(0xbbff, 12);
    EXPECT_EQ(r.messages.last(), "<ERROR> Too many devices detected!");
    EXPECT_EQ(ve::d("project.device")->size(), 11); // the port was not open: nothing to disconnect
}

TEST(WorkerStatus, SingleDeviceOpensTheParameterPageShortlyAfterDetection)
{
    LinkRig::resetTree();
    LinkRig::root()->set(nullptr, "config.setting.enable_multiple_devices", false, true);
    LinkRig::root()->set(nullptr, "config.setting.upload_param_on_connected", true, true);
    StatusRig r;
    int fired = 0;
    QObject scope; // ends the connection with the test
    QObject::connect(
        ve::d("trigger.configure.param.new"), &ve::DataObject::changed, &scope, [&] { ++fired; });
    r.announce(0xcc01, 1);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(LinkRig::waitUntil([&] { return fired == 1; }, 1000));
    LinkRig::root()->set(nullptr, "config.setting.upload_param_on_connected", false, true);
}

TEST(WorkerStatus, MessagesOfTheStatusReactions)
{
    LinkRig::resetTree();
    StatusRig r;
    auto react = [&](quint32 code, std::function<void(OtaStatus&)> fill = nullptr) {
        OtaStatus s;
        s.code = code;
        if (fill)
            fill(s);
        r.worker.StateUpdate(s);
        return r.messages.value(r.messages.size() - 1);
    };
    EXPECT_EQ(react(OTA_STA_READ_PARA_ERROR,
                  [](OtaStatus& s) {
                      s.transferCode = 0x2005;
                      s.errors = 2 | 4;
                  }),
        "<ERROR> Read param from 0X2005 failed: /wrong type/loss frame");
    EXPECT_EQ(react(OTA_STA_WRITE_PARA_ERROR,
                  [](OtaStatus& s) {
                      s.transferCode = 0x300a;
                      s.errors = 1u << 6 | 0x8000 | 0x4000;
                  }),
        "<ERROR> Write param to 0X300afailed: /value out of range/command mismatch/code mismatch");
    // Progress: integer percent of frames taken.
    react(OTA_STA_SEND_BIN_OK, [](OtaStatus& s) {
        s.framesSent = 2;
        s.frameCount = 3;
    });
    EXPECT_EQ(ve::d("temp_device.update_progress")->getInt(), 66);
    react(OTA_STA_OTA_INFO_SUCCESS);
    EXPECT_EQ(ve::d("temp_device.update_progress")->getInt(), 0);
}

TEST(WorkerStatus, FirmwareUpdateWithoutAnOpenPortFailsAtOnce)
{
    LinkRig::resetTree();
    StatusRig r;
    r.announce(0xdd01, 1);
    r.worker.setCurrentDevice(ve::d("project.device.dd01"));
    FirmwareUpdate up(&r.worker);
    QSignalSpy done(&up, &FirmwareUpdate::finished);
    ASSERT_TRUE(up.start(QByteArray(64, 'x')));
    // Well before the limit for entering update mode: nothing sent can be answered.
    ASSERT_TRUE(done.wait(3000));
    EXPECT_FALSE(done.last().at(0).toBool());
    EXPECT_EQ(done.last().at(1).toString(), "Erasing flash failed!");
    EXPECT_FALSE(up.running());
}
