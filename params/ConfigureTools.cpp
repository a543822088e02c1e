#include "ConfigureTools.h"

#include "CANWorker.h"
#include "Helper.h"
#include "ParamTablePage.h"

#include <DataManager.h>
#include <DataObject.h>
#include <ParamTransfer.h>

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>

namespace {
QPushButton* toolButton(const QString& icon, const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(QIcon(icon), text, parent);
    b->setObjectName(name);
    b->setIconSize(QSize(16, 16));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QFrame* separator(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setMaximumHeight(16);
    line->setStyleSheet("color:#1e1e1e;");
    return line;
}

// The page the editor shows, when it is a parameter page.
ParamTablePage* shownPage()
{
    Helper* helper = Helper::instance();
    if (helper->editorType() != "param_table")
        return nullptr;
    return ParamTablePage::of(helper->editDevice());
}
} // namespace

ConfigureTools::ConfigureTools(QWidget* parent)
    : QWidget(parent)
    , btnNewParamTable(toolButton(":/images/param.png", tr("Param Table"), "btnNewParamTable", this))
    , btnUploadParam(toolButton(":/images/motor/upload.png", tr("Upload Param"), "btnUploadParam", this))
    , btnDownloadParam(
          toolButton(":/images/motor/download.png", tr("Download Param"), "btnDownloadParam", this))
    , btnExportParam(toolButton(":/images/save.png", tr("Export Param"), "btnExportParam", this))
    , btnFactoryReset(toolButton(":/images/motor/reset.png", tr("Factory Reset"), "btnFactoryReset", this))
    , btnClearAlarm(toolButton(":/images/alarm.png", tr("Clear Alarm"), "btnClearAlarm", this))
    , btnCompareBackup(toolButton(":/images/refresh.png", tr("Compare Backup"), "btnCompareBackup", this))
    , btnApplyBackup(toolButton(":/images/check.png", tr("Apply Backup"), "btnApplyBackup", this))
{
    setObjectName("ConfigureTools");
    resize(808, 24);
    btnFactoryReset->setIconSize(QSize(16, 12));
    btnClearAlarm->setIconSize(QSize(18, 18));
    btnCompareBackup->setToolTip(tr("Mark every value that differs from a backup file"));
    btnApplyBackup->setToolTip(tr("Write the backup's values of the marked writable entries"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(btnNewParamTable);
    layout->addWidget(separator(this));
    layout->addWidget(btnUploadParam);
    layout->addWidget(btnDownloadParam);
    layout->addWidget(btnExportParam);
    layout->addWidget(separator(this));
    layout->addWidget(btnFactoryReset);
    layout->addWidget(separator(this));
    layout->addWidget(btnClearAlarm);
    layout->addWidget(separator(this));
    layout->addWidget(btnCompareBackup);
    layout->addWidget(btnApplyBackup);
    layout->addStretch(1);

    connect(btnNewParamTable, &QPushButton::clicked, this,
        [] { ve::d("trigger.configure.param.new")->trigger(); });
    connect(btnUploadParam, &QPushButton::clicked, this, &ConfigureTools::onUpload);
    connect(btnDownloadParam, &QPushButton::clicked, this, &ConfigureTools::onDownload);
    connect(btnExportParam, &QPushButton::clicked, this, &ConfigureTools::onExport);
    connect(btnFactoryReset, &QPushButton::clicked, this, &ConfigureTools::onFactoryReset);
    connect(btnClearAlarm, &QPushButton::clicked, this, &ConfigureTools::onClearAlarm);
    connect(btnCompareBackup, &QPushButton::clicked, this, &ConfigureTools::onCompareBackup);
    connect(btnApplyBackup, &QPushButton::clicked, this, &ConfigureTools::onApplyBackup);
    connect(Helper::instance(), &Helper::editDevieDobjChanged, this, &ConfigureTools::onEditorType);
    onEditorType(Helper::instance()->editorType());
}

void ConfigureTools::onEditorType(const QString& editorType)
{
    const bool page = editorType == "param_table";
    btnUploadParam->setEnabled(page);
    btnDownloadParam->setEnabled(page);
    btnCompareBackup->setEnabled(page);
    btnApplyBackup->setEnabled(page);
}

// Upload and download act on the device of the page the editor shows, which need not be the
// current device, and the confirmation names it.
void ConfigureTools::onUpload()
{
    ParamTablePage* page = shownPage();
    if (!page)
        return;
    Helper* helper = Helper::instance();
    if (helper->askConfirm(
            tr("Are you sure to upload parameters from %1 device? Current changes will be discarded.")
                .arg(helper->deviceName(page->device()))))
        page->uploadTable();
}

void ConfigureTools::onDownload()
{
    ParamTablePage* page = shownPage();
    if (!page)
        return;
    Helper* helper = Helper::instance();
    if (helper->askConfirm(tr("Are you sure to download modified parameters to %1 device?")
                               .arg(helper->deviceName(page->device()))))
        page->downloadTable();
}

void ConfigureTools::onExport()
{
    Helper* helper = Helper::instance();
    ve::DataObject* device = helper->activeDeviceOrWarn();
    if (!device)
        return;
    // The export copies the open page; without one the trigger would reach nobody.
    if (!ParamTablePage::of(device)) {
        helper->showWarning(tr("Please open param table of %1 first!").arg(helper->deviceName(device)));
        return;
    }
    device->r("_trigger.param.export")->trigger();
}

void ConfigureTools::onFactoryReset()
{
    Helper* helper = Helper::instance();
    ve::DataObject* device = helper->activeDeviceOrWarn();
    if (!device)
        return;
    if (!helper->askConfirm(tr("Are you sure to reset %1 parameters to default factory configuration?")
                                .arg(helper->deviceName(device))))
        return;
    if (ParamTransfer* t = ParamTransfer::of(helper->canWorker(), device))
        t->factoryReset();
}

void ConfigureTools::onClearAlarm()
{
    if (Helper::instance()->activeDeviceOrWarn())
        Helper::instance()->canWorker()->command(CANWorker::CLEAR_ALARM);
}

void ConfigureTools::onCompareBackup()
{
    ParamTablePage* page = shownPage();
    if (!page)
        return;
    Helper* helper = Helper::instance();
    const QString path
        = helper->getOpenFileName(page, tr("Parameter backup"), ".", tr("Parameter backups(*.json)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!page->compareWithBackup(path, &error))
        helper->showError(tr("Cannot compare with %1: %2").arg(path, error));
}

void ConfigureTools::onApplyBackup()
{
    ParamTablePage* page = shownPage();
    if (!page)
        return;
    Helper* helper = Helper::instance();
    if (!page->hasBackup()) {
        helper->showWarning(tr("Compare the table with a backup first."));
        return;
    }
    if (helper->askConfirm(tr("Are you sure to write the backup's values to %1 device and save them?")
                               .arg(helper->deviceName(page->device()))))
        if (page->applyBackup() == 0)
            helper->showInformation(
                tr("%1 already holds the backup's values.").arg(helper->deviceName(page->device())));
}
