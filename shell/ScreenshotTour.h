#pragma once

#include <DataObject.h>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class MainWindow;
class QWidget;

// The run command's pictures of the program at work: once the current motor's parameter table
// shows, the screen is saved as "screenshot.png"; then that motor's oscilloscope records a few
// live values and the screen is saved as "screenshot-scope.png"; then the recording stops and
// the tour ends. A simulated motor (on a pseudo-terminal) follows a slow sine in position mode
// meanwhile, so the curves move; a motor behind a real adapter is never moved. Every wait has a
// limit, so a motor that never answers ends the tour with a reason instead of leaving the
// program running. Asked for by a start-up option only.
class ScreenshotTour : public QObject
{
    Q_OBJECT
public:
    ScreenshotTour(MainWindow* window, const QString& folder, QObject* parent = nullptr);

    void start();
    bool isRunning() const { return m_stage != Stage::Idle && m_stage != Stage::Done; }

    // The values recorded when the motor offers them, in this order.
    static QStringList preferredChannels();
    // Positions (1-based, as the channel list stores them) of the channels to record among the
    // motor's offered values `offered`: the preferred ones it has, else its last four values
    // (the live readings come after the settings).
    static QList<int> channelPositions(const QStringList& offered);
    // Whether the serial port is a pseudo-terminal, as the simulator's is; an adapter never is.
    static bool isPseudoTerminal(const QString& portName);

    static constexpr int TableLimitMs = 60000;
    static constexpr int SettleMs = 1500;
    static constexpr int MotionLimitMs = 5000;
    static constexpr double SineHz = 1.0;
    static constexpr double SineAmplitude = 1.5; // rad
    static constexpr int StartLimitMs = 15000;
    static constexpr int RecordMs = 4000;
    static constexpr int StopLimitMs = 5000;
    static constexpr int ScopeFrequency = 500;

signals:
    // ok is false when a picture could not be taken or a step did not happen in time; reason
    // says which.
    void finished(bool ok, const QString& reason);

private:
    enum class Stage
    {
        Idle,
        WaitTable,
        SettleTable,
        StartMotion,
        WaitRecording,
        Recording,
        Stopping,
        Resting,
        Done
    };

    void poll();
    void enter(Stage stage);
    ve::DataObject* tableDevice() const;
    bool save(const QString& name);
    bool startMotion();
    static void click(QWidget* widget);
    QString startRecording();
    void finish(bool ok, const QString& reason);

    QPointer<MainWindow> m_window;
    QString m_folder;
    QTimer m_timer;
    QElapsedTimer m_since;
    Stage m_stage = Stage::Idle;
    QPointer<ve::DataObject> m_device;
    bool m_moved = false;
};
