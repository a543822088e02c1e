#include "DeviceTestSupport.h"

#include "CANWorker.h"
#include "DetectDeviceDialog.h"
#include "DeviceWidget.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTest>

DeviceRig::DeviceRig(const sim::SimConfig& cfg)
    : BenchRig(cfg)
{
    window->resize(900, 600);
    tree = new DeviceWidget(window);
    auto* layout = new QHBoxLayout(window);
    layout->addWidget(tree);
    addBlockBox();
    window->show();
}

bool DeviceRig::connectFromDialog(int count)
{
    DetectDeviceDialog dialog(window);
    if (dialog.cmbPort->findText(sim->portPath()) < 0)
        return false;
    dialog.cmbPort->setCurrentText(sim->portPath());
    QTest::mouseClick(dialog.btnAdd, Qt::LeftButton);
    if (dialog.result() != QDialog::Accepted)
        return false;
    return waitScanned(count);
}
