// The embedded template: the paths and types that the rest of the program
// reads and writes, and a second import that keeps the shape.
#include "AppTree.h"
#include "DataManager.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using ve::DataObject;

class TemplateTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(servobench::importTemplate()); }
};

TEST_F(TemplateTest, PathsAndTypesOtherCodeReliesOn)
{
    // A widget binding to a missing path or reading a string as a bool
    // silently falls back to its default; one row per kind of use.
    const QList<QPair<const char*, int>> leaves {
        {"config.language", QMetaType::QString},
        {"config.setting.auto_connect", QMetaType::Bool},
        {"config.setting.save_project_on_exit", QMetaType::Bool},
        {"config.oscilloscope_frame_rate", QMetaType::Double},
        {"config.wnd.h_splitter.#2", QMetaType::Double},
        {"wnd.title", QMetaType::QString},
        {"wnd.status.progress", QMetaType::Double},
        {"working_path", QMetaType::QString},
        {"_send_can_id", QMetaType::Double},
        {"temp_analyze.channel.#0.color", QMetaType::QString},
        {"project.version", QMetaType::Double},
        {"project.serial_port", QMetaType::QString},
        {"template.r58_motor._control.frequency", QMetaType::Double},
        {"template.r58_motor._analyze.channel.#0.scale", QMetaType::Double},
        {"template.r58_motor.info.can_id", QMetaType::QString},
        {"trigger.analyze.oscilloscope.legend", QMetaType::Bool},
        // trigger nodes: null leaves
        {"trigger.block", QMetaType::UnknownType},
        {"template.r58_motor._trigger.param.upload", QMetaType::UnknownType},
        {"_can", QMetaType::UnknownType},
    };
    for (const auto& leaf : leaves) {
        DataObject* node = ve::d(leaf.first);
        ASSERT_FALSE(node->isEmpty()) << leaf.first;
        EXPECT_EQ(node->size(), 0) << leaf.first;
        EXPECT_EQ(node->get().userType(), leaf.second) << leaf.first;
    }
    EXPECT_EQ(ve::d("config.language")->getString(), "zh_CN");
    EXPECT_EQ(ve::d("config.wnd.h_splitter")->getList(), (QList<QVariant> {200.0, 400.0, 200.0}));
    EXPECT_TRUE(ve::d("config.last_project_path")->isEmpty());
    EXPECT_EQ(ve::d("project.device")->size(), 0);
    // A device saved in a project keeps alias, info and param only.
    EXPECT_EQ(ve::d("template.r58_motor")->exportToJson(true).toObject().keys(),
        (QStringList {"alias", "info", "param"}));
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
