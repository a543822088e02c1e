#pragma once

#include <QWidget>

class QPushButton;

// The Configure tool strip: the parameter page, upload, download, export, factory reset and
// clear alarm, and the comparison of the shown table with a backup file.
class ConfigureTools : public QWidget
{
    Q_OBJECT
public:
    explicit ConfigureTools(QWidget* parent = nullptr);

    QPushButton* btnNewParamTable;
    QPushButton* btnUploadParam;
    QPushButton* btnDownloadParam;
    QPushButton* btnExportParam;
    QPushButton* btnFactoryReset;
    QPushButton* btnClearAlarm;
    QPushButton* btnCompareBackup;
    QPushButton* btnApplyBackup;

private slots:
    void onEditorType(const QString& editorType);
    void onUpload();
    void onDownload();
    void onExport();
    void onFactoryReset();
    void onClearAlarm();
    void onCompareBackup();
    void onApplyBackup();
};
