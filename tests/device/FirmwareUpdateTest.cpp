#include "DeviceTestSupport.h"

#include "DeviceTools.h"
#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
// Fixture: one motor connected and current, a strip and a folder for images.
class FirmwareUpdate : public ::testing::Test
{
protected:
    void start(const sim::SimConfig& cfg = sim::SimConfig::forCanIds({1}))
    {
        rig = std::make_unique<DeviceRig>(cfg);
        ASSERT_TRUE(rig->connectFromDialog(1)) << rig->messages.join('\n').toStdString();
        rig->makeCurrent(1);
        tools = std::make_unique<DeviceTools>(rig->window);
        // Records what the block box itself shows while the update runs.
        QObject::connect(ve::d("trigger.block"), &ve::DataObject::changed, tools.get(), [this] {
            if (Helper::instance()->blockBox()->isVisible())
                shown << Helper::instance()->blockBox()->label()->text();
        });
    }
    void TearDown() override
    {
        tools.reset();
        rig.reset();
    }
    QString image(const QString& name, int size)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& c : bytes)
            c = char(QRandomGenerator::global()->bounded(256));
        f.write(bytes);
        return f.fileName();
    }
    void update(const QString& path)
    {
        rig->dialogs->answers << path;
        QTest::mouseClick(tools->btnUpdate, Qt::LeftButton);
    }
    QStringList errors() const { return rig->dialogs->texts(DialogProvider::Box::Critical); }

    QTemporaryDir dir;
    std::unique_ptr<DeviceRig> rig;
    std::unique_ptr<DeviceTools> tools;
    QStringList shown;
};
} // namespace

TEST_F(FirmwareUpdate, CancelledDialogOrQuestionSendsNothing)
{
    start();
    const quint64 before = rig->sim->framesReceived();
    update(QString());
    ASSERT_EQ(rig->dialogs->fileDialogs.size(), 1);
    EXPECT_EQ(rig->dialogs->fileDialogs.at(0).filter, "Binary File(*.bin *.hex)");
    EXPECT_TRUE(rig->dialogs->texts(DialogProvider::Box::Question).isEmpty());

    rig->dialogs->confirm = false;
    update(image("b.bin", 64));
    EXPECT_EQ(rig->dialogs->texts(DialogProvider::Box::Question),
        QStringList {"Are you sure to update? This may take a while."});
    QTest::qWait(50);
    EXPECT_EQ(rig->sim->framesReceived(), before);
    EXPECT_TRUE(rig->blockTexts.isEmpty());
}

TEST_F(FirmwareUpdate, HealthyImageShowsRisingProgressAndArrivesWhole)
{
    start();
    const QString path = image("app.hex", 100 * 1024);
    QElapsedTimer clock;
    clock.start();
    update(path);
    const qint64 ms = clock.elapsed();
    ASSERT_EQ(rig->dialogs->texts(DialogProvider::Box::Information), QStringList {"Update successfully!"})
        << errors().join('\n').toStdString();
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(rig->sim->lastFirmwareImage(), f.readAll());
    std::cout << "100 KiB image sent in " << ms << " ms\n";

    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.first(), "Erasing flash...");
    EXPECT_EQ(shown.at(1), "Sending file... 0%");
    const QRegularExpression re("^Sending file\\.\\.\\. (\\d+)%$");
    int last = 0;
    for (int i = 1; i < shown.size(); ++i) {
        const auto m = re.match(shown.at(i));
        ASSERT_TRUE(m.hasMatch()) << shown.at(i).toStdString();
        const int p = m.captured(1).toInt();
        EXPECT_GE(p, last);
        EXPECT_LT(p, 100);
        last = p;
    }
    EXPECT_EQ(last, 99);
    EXPECT_TRUE(rig->blockTexts.last().isNull());
    EXPECT_FALSE(Helper::instance()->blockBox()->isVisible());
}
