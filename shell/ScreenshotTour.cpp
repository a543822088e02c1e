#include "ScreenshotTour.h"

#include "BaseEditorPage.h"
#include "Editor.h"
#include "Helper.h"
#include "MainWindow.h"

#include <CANWorker.h>
#include <DataManager.h>
#include <DataObject.h>
#include <ScopeDecoder.h>
#include <ScopeRecorder.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QToolButton>

#include <array>

namespace {
constexpr int PositionMode = 1; // the run mode the panel's "Position Mode" item carries
} // namespace

ScreenshotTour::ScreenshotTour(MainWindow* window, const QString& folder, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_folder(folder)
{
    // Polled, not chained to signals: each stage waits for what the user would see.
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, &ScreenshotTour::poll);
}

QStringList ScreenshotTour::preferredChannels()
{
    return {QStringLiteral("mechPos"), QStringLiteral("mechVel"), QStringLiteral("iqf"),
        QStringLiteral("torque")};
}

QList<int> ScreenshotTour::channelPositions(const QStringList& offered)
{
    QList<int> positions;
    for (const QString& name : preferredChannels()) {
        const int i = offered.indexOf(name);
        if (i >= 0)
            positions.append(i + 1);
    }
    if (positions.isEmpty()) {
        for (int i = qMax(0, offered.size() - 4); i < offered.size(); ++i)
            positions.append(i + 1);
    }
    return positions;
}

void ScreenshotTour::start()
{
    if (isRunning())
        return;
    if (!QDir().mkpath(m_folder)) {
        finish(false, QStringLiteral("cannot create the folder %1").arg(m_folder));
        return;
    }
    enter(Stage::WaitTable);
    m_timer.start();
}

void ScreenshotTour::enter(Stage stage)
{
    m_stage = stage;
    m_since.start();
}

ve::DataObject* ScreenshotTour::tableDevice() const
{
    if (!m_window)
        return nullptr;
    Editor* editor = m_window->editor();
    auto* page = dynamic_cast<BaseEditorPage*>(editor->pageAt(editor->currentIndex()));
    if (!page || page->editorType() != QLatin1String("param_table"))
        return nullptr;
    ve::DataObject* device = page->deviceDobj();
    // The page publishes the motor's values once its description has arrived.
    if (!device || device->isEmpty() || device->cdobj(QStringLiteral("param"))->size() == 0)
        return nullptr;
    return device;
}

void ScreenshotTour::poll()
{
    if (!m_window) {
        finish(false, QStringLiteral("the main window is gone"));
        return;
    }
    ScopeRecorder* recorder = nullptr;
    if (CANWorker* worker = Helper::instance()->canWorker())
        recorder = ScopeRecorder::of(worker);
    const qint64 waited = m_since.elapsed();
    switch (m_stage) {
    case Stage::WaitTable:
        if (ve::DataObject* device = tableDevice()) {
            m_device = device;
            enter(Stage::SettleTable);
        } else if (waited > TableLimitMs) {
            save(QStringLiteral("screenshot.png"));
            finish(
                false, QStringLiteral("no parameter table was shown within %1 s").arg(TableLimitMs / 1000));
        }
        break;
    case Stage::SettleTable:
        // Time for the other motors' announcements and the status lines to be drawn.
        if (waited < SettleMs)
            break;
        if (!save(QStringLiteral("screenshot.png")))
            return;
        if (!startMotion()) {
            finish(false, QStringLiteral("the motor is gone"));
            return;
        }
        enter(Stage::StartMotion);
        break;
    case Stage::StartMotion: {
        // The motor mode is a step of its own; the recording's set-up must not replace it.
        CANWorker* worker = Helper::instance()->canWorker();
        if (worker && worker->engine()->step() != STEP_STOP && waited <= MotionLimitMs)
            break;
        if (const QString refused = startRecording(); !refused.isEmpty()) {
            finish(false, refused);
            return;
        }
        enter(Stage::WaitRecording);
        break;
    }
    case Stage::WaitRecording:
        if (recorder && recorder->state() == ScopeRecorder::Recording)
            enter(Stage::Recording);
        else if (waited > StartLimitMs || !recorder || recorder->state() == ScopeRecorder::Idle) {
            save(QStringLiteral("screenshot-scope.png"));
            finish(false, QStringLiteral("the oscilloscope did not start recording"));
        }
        break;
    case Stage::Recording:
        if (!recorder || recorder->state() != ScopeRecorder::Recording) {
            save(QStringLiteral("screenshot-scope.png"));
            finish(false, QStringLiteral("the recording ended by itself"));
            return;
        }
        if (waited < RecordMs)
            break;
        if (!save(QStringLiteral("screenshot-scope.png")))
            return;
        recorder->stop();
        enter(Stage::Stopping);
        break;
    case Stage::Stopping:
        if (!recorder || recorder->state() == ScopeRecorder::Idle) {
            // The simulated motor is left at rest, as it was found.
            QWidget* control
                = m_moved ? m_window->sidebar()->findChild<QWidget*>(QStringLiteral("ebControl")) : nullptr;
            if (control) {
                click(control);
                enter(Stage::Resting);
            } else {
                finish(true, QString());
            }
        } else if (waited > StopLimitMs)
            finish(false, QStringLiteral("the motor did not confirm the end of the recording"));
        break;
    case Stage::Resting: {
        CANWorker* worker = Helper::instance()->canWorker();
        if (!worker || worker->engine()->step() == STEP_STOP || waited > MotionLimitMs)
            finish(true, QString());
        break;
    }
    case Stage::Idle:
    case Stage::Done:
        m_timer.stop();
        break;
    }
}

bool ScreenshotTour::isPseudoTerminal(const QString& portName)
{
    const QString path
        = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    return QFileInfo(path).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
}

bool ScreenshotTour::startMotion()
{
    CANWorker* worker = Helper::instance()->canWorker();
    if (!worker || !m_device)
        return false;
    if (!worker->isConnected() || !isPseudoTerminal(worker->port()->portName()))
        return true;
    // Through the motion panel, as a user would: position mode, switched on, sine test on. The
    // panel then shows what the motor does.
    QWidget* panel = m_window->sidebar();
    auto* mode = panel->findChild<QComboBox*>(QStringLiteral("cmbControlMode"));
    auto* control = panel->findChild<QWidget*>(QStringLiteral("ebControl"));
    auto* sine = panel->findChild<QWidget*>(QStringLiteral("ebSin"));
    auto* amplitude = panel->findChild<QDoubleSpinBox*>(QStringLiteral("dspnSinA"));
    auto* frequency = panel->findChild<QDoubleSpinBox*>(QStringLiteral("dspnSinF"));
    const int position = mode ? mode->findData(PositionMode) : -1;
    if (position < 0 || !control || !sine || !amplitude || !frequency)
        return true; // a program without the panel records a motor at rest
    mode->setCurrentIndex(position);
    click(control);
    amplitude->setValue(SineAmplitude);
    frequency->setValue(SineHz);
    click(sine);
    m_moved = true;
    return true;
}

void ScreenshotTour::click(QWidget* widget)
{
    const QPointF at = QRectF(widget->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

QString ScreenshotTour::startRecording()
{
    CANWorker* worker = Helper::instance()->canWorker();
    if (!worker || !m_device)
        return QStringLiteral("the motor is gone");
    ScopeRecorder* recorder = ScopeRecorder::of(worker);
    ve::DataObject* device = m_device;
    Helper::instance()->setCurrentDevice(device);

    // The Analyze strip shows the recording's frequency and its Start and Stop buttons.
    if (auto* tab = m_window->findChild<QToolButton*>(QStringLiteral("tlbtnAnalyze")))
        tab->click();
    device->set(this, QStringLiteral("_analyze.frequency"), ScopeFrequency, true);

    QStringList offered;
    for (ve::DataObject* child : device->cdobj(QStringLiteral("param"))->cdobjs())
        offered.append(child->name());
    const QList<int> positions = channelPositions(offered);
    std::array<quint16, ScopeDecoder::Slots> types {};
    ve::DataObject* list = ve::d("temp_analyze.channel");
    for (int s = 0; s < ScopeDecoder::Slots; ++s) {
        const int type = s < positions.size() ? positions.at(s) : 0;
        types[size_t(s)] = quint16(type);
        if (s < list->size())
            list->cdobj(s)->set(this, QStringLiteral("type"), type, true);
    }
    ve::DataObject* root = ve::d().rootDobj();
    root->set(this, QStringLiteral("trigger.analyze.oscilloscope.legend"), true, true);
    root->set(nullptr, QStringLiteral("trigger.analyze.oscilloscope.new"), QVariant(), true);
    return recorder->start(device, quint16(ScopeFrequency), types);
}

bool ScreenshotTour::save(const QString& name)
{
    const QString path = QDir(m_folder).filePath(name);
    QScreen* screen = m_window ? m_window->screen() : QGuiApplication::primaryScreen();
    // What is on the screen where the window is, boxes over it included.
    QRect area = screen ? screen->geometry() : QRect();
    if (m_window)
        area = area.intersected(m_window->frameGeometry());
    const QPixmap shot = screen && !area.isEmpty()
        ? screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        : QPixmap();
    if (shot.isNull() || !shot.save(path, "PNG")) {
        finish(false, QStringLiteral("cannot save %1").arg(path));
        return false;
    }
    qInfo("screenshot saved: %s", qPrintable(path));
    return true;
}

void ScreenshotTour::finish(bool ok, const QString& reason)
{
    if (m_stage == Stage::Done)
        return;
    m_stage = Stage::Done;
    m_timer.stop();
    if (!ok)
        qWarning("screenshots: %s", qPrintable(reason));
    emit finished(ok, reason);
}
