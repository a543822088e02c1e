// The embedded template: every branch, path, type and default after import.
#include "AppTree.h"
#include "DataManager.h"

#include <QFile>
#include <QJsonObject>

#include <gtest/gtest.h>

using ve::DataObject;

namespace {

struct Leaf
{
    const char* path;
    QVariant value; // invalid: a null leaf (trigger node)
};

void expectLeaves(DataObject* base, const std::vector<Leaf>& leaves)
{
    for (const Leaf& leaf : leaves) {
        DataObject* node = base->rdobj(QString::fromUtf8(leaf.path));
        ASSERT_FALSE(node->isEmpty()) << leaf.path;
        EXPECT_EQ(node->size(), 0) << leaf.path;
        const QVariant v = node->get();
        if (!leaf.value.isValid()) {
            EXPECT_TRUE(v.isNull()) << leaf.path;
            continue;
        }
        EXPECT_EQ(v.userType(), leaf.value.userType()) << leaf.path << " has type " << v.typeName();
        EXPECT_EQ(v, leaf.value) << leaf.path;
    }
}

QVariant str(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

class TemplateTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(servobench::importTemplate()); }
};

TEST_F(TemplateTest, ResourceIsUtf8WithByteOrderMark)
{
    QFile file(":/template/data.json");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("\xEF\xBB\xBF{"));
    EXPECT_TRUE(ve::DataManager::readFromJson(":/template/data.json").isObject());
}

TEST_F(TemplateTest, ConfigBranch)
{
    DataObject* root = ve::d().rootDobj();
    expectLeaves(root,
        {
            {"config.language", str("zh_CN")},
            {"config.debug_pack", false},
            {"config.debug_step", false},
            {"config.scale", str("1.0x")},
            {"config.oscilloscope_frame_rate", 24.0},
            {"config.setting.show_panel", true},
            {"config.setting.show_left_sidebar", true},
            {"config.setting.show_right_sidebar", true},
            {"config.setting.auto_connect", false},
            {"config.setting.enable_multiple_devices", false},
            {"config.setting.upload_param_on_connected", true},
            {"config.setting.remove_device_on_disconnected", true},
            {"config.setting.save_project_on_exit", false},
            {"config.setting.load_last_project", false},
            {"config.setting.trigger_by_left", true},
            {"config.setting.auto_increase_can_id", true},
            {"config.setting.record_write_raw_data", true},
            {"config.setting.record_read_raw_data", false},
            {"config.wnd.layout", 0.0},
        });
    EXPECT_EQ(ve::d("config.wnd.h_splitter")->getList(), (QList<QVariant> {200.0, 400.0, 200.0}));
    EXPECT_EQ(ve::d("config.wnd.v_splitter")->getList(), (QList<QVariant> {400.0, 200.0}));
    EXPECT_EQ(ve::d("config.wnd.tree")->getList(), (QList<QVariant> {180.0, 110.0}));
    EXPECT_TRUE(ve::d("config.wnd.h_splitter.#0")->isRelative());
    EXPECT_EQ(ve::d("config.wnd.h_splitter.#0")->get().userType(), QMetaType::Double);
    EXPECT_TRUE(ve::d("config.last_project_path")->isEmpty());
    EXPECT_EQ(ve::d("config")->size(), 7);
    EXPECT_EQ(ve::d("config.setting")->size(), 13);
    EXPECT_EQ(ve::d("config.wnd")->size(), 4);
}

TEST_F(TemplateTest, RuntimeBranches)
{
    DataObject* root = ve::d().rootDobj();
    expectLeaves(root,
        {
            {"wnd.title", str("Torqlet 调试器")},
            {"wnd.left_title.index", 0.0},
            {"wnd.status.msg", str("")},
            {"wnd.status.progress", -1.0},
            {"working", false},
            {"working_path", str("")},
            {"_can", QVariant()},
            {"_send_can_id", -1.0},
            {"_recv_can_id", -1.0},
            {"output", str("")},
            {"temp_device.update_progress", 0.0},
            {"temp_analyze.frequency", 100.0},
            {"temp_analyze.channel.#0.type", 0.0},
            {"temp_analyze.channel.#0.color", str("auto")},
            {"temp_analyze.channel.#0.scale", 1.0},
            {"temp_analyze.channel.#0.shift", 0.0},
            {"temp_analyze.path", str("")},
            {"trigger.block", QVariant()},
            {"trigger.device.info.new", QVariant()},
            {"trigger.configure.clear_alarm", QVariant()},
            {"trigger.configure.calibrate.motor", QVariant()},
            {"trigger.configure.calibrate.machine", QVariant()},
            {"trigger.configure.param.new", QVariant()},
            {"trigger.configure.param.export", QVariant()},
            {"trigger.configure.param.reset", QVariant()},
            {"trigger.analyze.oscilloscope.new", QVariant()},
            {"trigger.analyze.oscilloscope.stop", QVariant()},
            {"trigger.analyze.oscilloscope.legend", false},
            {"trigger.help.instruction", QVariant()},
            {"project.version", 1.0},
            {"project.serial_port", str("")},
        });
    EXPECT_EQ(ve::d("temp_analyze.channel")->size(), 1);
    EXPECT_EQ(ve::d("temp_analyze.channel.#0")->size(), 4);
    DataObject* device = ve::d("project.device");
    ASSERT_FALSE(device->isEmpty());
    EXPECT_EQ(device->size(), 0);
    EXPECT_EQ(ve::d("trigger.configure")->size(), 3);
}

TEST_F(TemplateTest, MotorTemplate)
{
    DataObject* motor = ve::d("template.r58_motor");
    ASSERT_FALSE(motor->isEmpty());
    EXPECT_EQ(motor->cdobjNames(true),
        (QStringList {"_analyze", "_connected", "_control", "_trigger", "alias", "info", "param"}));
    expectLeaves(motor,
        {
            {"_connected", false},
            {"_control.mode", 0.0},
            {"_control.frequency", 50.0},
            {"_control.sin.enable", false},
            {"_control.sin.amplitude", 1.0},
            {"_control.sin.frequency", 1.0},
            {"_control.mit.pos", 0.0},
            {"_control.mit.vel", 0.0},
            {"_control.mit.torque", 0.0},
            {"_control.mit.kp", 0.0},
            {"_control.mit.kd", 0.0},
            {"_control.pos.vel", 0.0},
            {"_control.pos.pos", 0.0},
            {"_control.vel.current", 27.0},
            {"_control.vel.vel", 0.0},
            {"_analyze.frequency", 100.0},
            {"_analyze.channel.#0.type", 0.0},
            {"_analyze.channel.#0.scale", 1.0},
            {"_analyze.channel.#0.shift", 0.0},
            {"_trigger.param.reload", QVariant()},
            {"_trigger.param.upload", QVariant()},
            {"_trigger.param.download", QVariant()},
            {"_trigger.param.export", QVariant()},
            {"_trigger.oscilloscope.config_channel", QVariant()},
            {"_trigger.oscilloscope.start", QVariant()},
            {"_trigger.oscilloscope.stop", QVariant()},
            {"alias", str("")},
            {"info.type", str("can")},
            {"info.mcu_id", str("")},
            {"info.can_id", str("")},
        });
    EXPECT_EQ(motor->rdobj("_analyze.channel")->size(), 1);
    EXPECT_EQ(motor->rdobj("_analyze.channel.#0")->size(), 3);
    EXPECT_EQ(motor->rdobj("_control")->size(), 6);
    EXPECT_FALSE(motor->rdobj("param")->isEmpty());
    EXPECT_EQ(motor->rdobj("param")->size(), 0);

    // A device exported without hidden names keeps alias, info and param.
    const QJsonObject visible = motor->exportToJson(true).toObject();
    EXPECT_EQ(visible.keys(), (QStringList {"alias", "info", "param"}));
}

TEST_F(TemplateTest, SecondImportKeepsShapeAndRewritesEveryLeaf)
{
    DataObject* root = ve::d().rootDobj();
    ve::d("config.language")->set(nullptr, QStringLiteral("en"));
    const QStringList before = root->cdobjNames(true);
    QString shape = root->exportToXmlStr(0, false);
    ASSERT_TRUE(servobench::importTemplate());
    EXPECT_EQ(root->cdobjNames(true), before);
    EXPECT_EQ(root->exportToXmlStr(0, false), shape.replace("\"en\"", "\"zh_CN\""));
    EXPECT_EQ(ve::d("config.language")->getString(), "zh_CN");
}
