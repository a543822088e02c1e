#pragma once

#include "ChannelDialog.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QCheckBox;
class QPushButton;
class QSpinBox;
class ScopeRecorder;
namespace ve {
class DataObject;
}

// The Analyze tool strip: opens the oscilloscope page, sets the sampling frequency and the
// channels, starts and stops recording and chooses the sample file. It is rebuilt whenever its
// tab is chosen; the recording itself belongs to the program-wide recorder.
class AnalyzeTools : public QWidget
{
    Q_OBJECT
public:
    explicit AnalyzeTools(QWidget* parent = nullptr);

    QPushButton* btnNew;
    QSpinBox* spnF;
    QPushButton* btnChannel;
    QPushButton* btnStart;
    QPushButton* btnStop;
    QCheckBox* chbSave;

    ChannelDialog* channelDialog() const { return m_dialog; }
    ve::DataObject* device() const { return m_device; }

public slots:
    void updateSettings(ve::DataObject* dobj);
    void clearSettings();

private:
    void onEditDevice(const QString& editorType);
    void openChannelDialog();
    void start();
    void onSaveToggled(bool on);
    void showPath();
    void showState();
    ScopeRecorder* recorder() const;

    ve::DataObject* m_device;
    QPointer<ChannelDialog> m_dialog;
    QMetaObject::Connection m_deviceGone;
};
