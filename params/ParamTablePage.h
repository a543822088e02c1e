#pragma once

#include "BaseEditorPage.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class CANWorker;
class ParamTransfer;
class QTableWidget;
class QTableWidgetItem;
class otaThread;

namespace ve {
class DataObject;
}

// Editor page of one device's parameter table: seven columns, one row per described
// parameter, the writable values editable under the table's cell rules. The chains that read
// and write the values are the device's ParamTransfer; the page shows what they do.
class ParamTablePage : public QWidget, public BaseEditorPage
{
    Q_OBJECT
public:
    explicit ParamTablePage(QWidget* parent = nullptr);
    ~ParamTablePage() override;

    // The open page of a device, or null.
    static ParamTablePage* of(const ve::DataObject* device);

    QTableWidget* tableWidget;

    ve::DataObject* device() const;
    ParamTransfer* transfer() const;
    // Whether the engine's table still holds the description this page shows; a page whose
    // table was re-described for another device is read-only until it is reopened.
    bool isLive() const;
    // The table row of an entry, or -1.
    int rowOf(int group, int index) const;

    // Marks every row whose value differs from the backup (tooltip: the file's value); false
    // with a reason when the file cannot be read.
    bool compareWithBackup(const QString& path, QString* error);
    bool hasBackup() const { return !m_backupValues.isEmpty(); }
    // Edits every differing writable entry to the backup's value and starts the download;
    // returns how many entries were staged (entries whose file value the cell rules refuse are
    // reported in the status line and left out).
    int applyBackup();

public slots:
    void changeCell(int row, int column);
    void reloadTable();
    void uploadTable();
    void downloadTable();
    void exportTable();

private:
    void fillRow(int row, int group, int index);
    void refreshValue(int group, int index);
    void setValueLook(int row, bool modified);
    void note(int row, int column, const QString& text, bool ok);
    void updateLive();
    void markBackupRows();
    bool refuseIfStale();

    CANWorker* m_worker;
    otaThread* m_engine;
    QPointer<ve::DataObject> m_node;
    QPointer<ParamTransfer> m_transfer;
    quint32 m_generation = 0;
    bool m_built = false;
    int m_firstRow[4] = {0, 0, 0, 0};
    int m_lastRow[4] = {-1, -1, -1, -1};
    QHash<quint16, QString> m_backupValues; // code -> value in the compared file
};
