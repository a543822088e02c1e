#pragma once

#include "BlockBox.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class CANWorker;
class DialogProvider;
class Project;
class QTranslator;

namespace ve {
class DataObject;
}

// The application singleton: shared services (worker, project), the
// current and edit devices, message boxes and the status line.
class Helper : public QObject
{
    Q_OBJECT
public:
    // Created on first call: builds the data tree from the embedded template.
    static Helper* instance();

    Project* project() const { return m_project; }
    CANWorker* canWorker() const { return m_canWorker; }
    QWidget* mainWindow() const { return m_mainWindow; }
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    ve::DataObject* statusNode() const { return m_statusNode; }

    // The device the user activated; the empty node when none.
    ve::DataObject* currentDevice() const { return m_currentDevice; }
    // Emits currentDeviceDobjChanged when it changes.
    void setCurrentDevice(ve::DataObject* device);
    // The device and kind of the page the editor shows; the empty node and "" when none.
    ve::DataObject* editDevice() const { return m_editDevice; }
    QString editorType() const { return m_editorType; }
    void setEditDevice(ve::DataObject* device, const QString& editorType);

    void loadConfiguration();
    void saveConfiguration();
    void setupScale();
    void loadFonts();
    void loadLanguage();
    void createServices();
    void destroyServices();
    void createBlockBox();
    BlockBox* blockBox() const { return m_blockBox; }

    // The current device, or null after the "No activated device!" box.
    ve::DataObject* activeDeviceOrWarn();
    void showError(const QString& text);
    void showInformation(const QString& text);
    bool askConfirm(const QString& text);
    void showWarning(const QString& text);
    void showAbout(const QString& title, const QString& text);
    // Sets "wnd.status.msg" to "<source> text", or text when source is empty.
    void showStatus(const QString& text, const QString& source = QString());

    QString getOpenFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    QString getSaveFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    bool openLocalFile(const QString& path);
    // Tests replace the real dialogs here; null restores them.
    void setDialogProvider(std::unique_ptr<DialogProvider> provider);

    // The name a device is shown under, "R58 Motor <CAN ID>".
    QString deviceName(ve::DataObject* device) const;

    // The worker's connection operations; nothing happens before the services exist.
    bool isSerialOpen() const;
    void connectSerial(const QString& port);
    void connectAutomatically();

signals:
    void currentDeviceDobjChanged();
    void editDevieDobjChanged(QString editor_type);

private:
    Helper();
    ~Helper() override;
    friend struct HelperDeleter;

    QString boxTitle(const char* pattern) const;

    Project* m_project = nullptr;
    CANWorker* m_canWorker = nullptr;
    QPointer<QWidget> m_mainWindow;
    ve::DataObject* m_statusNode = nullptr;
    ve::DataObject* m_currentDevice = nullptr;
    ve::DataObject* m_editDevice = nullptr;
    QString m_editorType;
    QPointer<BlockBox> m_blockBox;
    std::unique_ptr<DialogProvider> m_dialogs;
    QMetaObject::Connection m_currentGuard;
    QMetaObject::Connection m_editGuard;
};
