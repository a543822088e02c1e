#pragma once

#include <BaseEditorPage.h>

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;
class ScopeRecorder;
class waveDisplay;

// The oscilloscope of one device: the live plot with pause, cursors, export and the recording's
// lost records and actual rate. Closing it stops a recording of its device.
class OscilloscopePage : public QWidget, public BaseEditorPage
{
    Q_OBJECT
public:
    explicit OscilloscopePage(QWidget* parent = nullptr);
    ~OscilloscopePage() override;

    waveDisplay* plot;
    QPushButton* btnPause;
    QPushButton* btnCursors;
    QPushButton* btnExport;
    QLabel* lblLost;
    QLabel* lblRate;
    QLabel* lblCursors;

public slots:
    void start();
    void stop();

    // Export operations behind the export menu (also used by tests).
    bool exportWindow(const QString& path);
    bool exportRecording(const QString& path);
    bool exportPng(const QString& path);

private:
    void onChannelSet();
    void showProgress();
    void showCursors();
    bool mine() const;
    void chooseAndExport(int kind);

    QPointer<ScopeRecorder> m_recorder;
    QTimer* m_progress;
};
