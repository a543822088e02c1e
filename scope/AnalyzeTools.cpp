#include "AnalyzeTools.h"

#include "ChannelDialog.h"

#include <CANWorker.h>
#include <DataManager.h>
#include <DataObject.h>
#include <Helper.h>
#include <ScopeRecorder.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {
const char* const PathNode = "temp_analyze.path";
const char* const ChannelNode = "temp_analyze.channel";

QPushButton* toolButton(
    const QString& icon, const QString& text, const char* name, QWidget* parent, int size = 16)
{
    auto* b = new QPushButton(QIcon(icon), text, parent);
    b->setObjectName(name);
    b->setIconSize(QSize(size, size));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QFrame* separator(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setMaximumHeight(16);
    line->setStyleSheet("color:#1e1e1e;");
    return line;
}

// Lists filled up to eight records, each a copy of the first.
void fillChannels(ve::DataObject* list, QObject* sender)
{
    while (list->size() < 8) {
        ve::DataObject* added = list->append(sender);
        if (!added)
            break;
        added->copyFrom(sender, list->cdobj(0));
    }
}
} // namespace

AnalyzeTools::AnalyzeTools(QWidget* parent)
    : QWidget(parent)
    , btnNew(toolButton(":/images/wave.png", tr("Oscilloscope"), "btnNew", this))
    , spnF(new QSpinBox(this))
    , btnChannel(toolButton(":/images/motor/channel.png", tr("Channel"), "btnChannel", this))
    , btnStart(toolButton(":/images/motor/start.png", tr("Start"), "btnStart", this, 12))
    , btnStop(toolButton(":/images/motor/stop.png", tr("Stop"), "btnStop", this, 12))
    , chbSave(new QCheckBox(tr("Save waveform"), this))
    , m_device(ve::d().emptyDobj())
{
    setObjectName("AnalyzeTools");
    spnF->setObjectName("spnF");
    spnF->setRange(1, 2000);
    spnF->setValue(100);
    spnF->setSuffix(tr("Hz"));
    chbSave->setObjectName("chbSave");

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(btnNew);
    layout->addWidget(separator(this));
    layout->addWidget(new QLabel(tr("Frequency"), this));
    layout->addWidget(spnF);
    layout->addWidget(btnChannel);
    layout->addWidget(separator(this));
    layout->addWidget(btnStart);
    layout->addWidget(btnStop);
    layout->addWidget(separator(this));
    layout->addWidget(chbSave);
    layout->addStretch();

    fillChannels(ve::d(ChannelNode), this);

    connect(btnNew, &QPushButton::clicked, this,
        [] { ve::d().rootDobj()->set(nullptr, "trigger.analyze.oscilloscope.new", QVariant(), true); });
    connect(btnChannel, &QPushButton::clicked, this, &AnalyzeTools::openChannelDialog);
    connect(btnStart, &QPushButton::clicked, this, &AnalyzeTools::start);
    connect(btnStop, &QPushButton::clicked, this,
        [] { ve::d().rootDobj()->set(nullptr, "trigger.analyze.oscilloscope.stop", QVariant(), true); });
    connect(chbSave, &QCheckBox::toggled, this, &AnalyzeTools::onSaveToggled);
    connect(spnF, qOverload<int>(&QSpinBox::valueChanged), this, [this](int hz) {
        // The box's value is the device's setting; it survives the strip and the session.
        if (!m_device->isEmpty())
            m_device->set(this, QStringLiteral("_analyze.frequency"), hz, true);
    });
    connect(ve::d(PathNode), &ve::DataObject::changed, this,
        [this](const QVariant&, const QVariant&, QObject* who) {
            if (who != this)
                showPath();
        });
    Helper* helper = Helper::instance();
    connect(helper, &Helper::editDevieDobjChanged, this, &AnalyzeTools::onEditDevice);
    if (ScopeRecorder* rec = recorder())
        connect(rec, &ScopeRecorder::stateChanged, this, &AnalyzeTools::showState);
    showPath();
    showState();
    onEditDevice(helper->editorType());
}

ScopeRecorder* AnalyzeTools::recorder() const
{
    CANWorker* worker = Helper::instance()->canWorker();
    return worker ? ScopeRecorder::of(worker) : nullptr;
}

void AnalyzeTools::onEditDevice(const QString& editorType)
{
    if (editorType == QLatin1String("oscilloscope"))
        updateSettings(Helper::instance()->editDevice());
    else
        clearSettings();
}

void AnalyzeTools::updateSettings(ve::DataObject* dobj)
{
    disconnect(m_deviceGone);
    m_device = dobj ? dobj : ve::d().emptyDobj();
    if (!m_device->isEmpty())
        m_deviceGone = connect(m_device, &QObject::destroyed, this, &AnalyzeTools::clearSettings);
    const bool on = !m_device->isEmpty();
    spnF->setEnabled(on);
    btnChannel->setEnabled(on);
    if (on) {
        QSignalBlocker quiet(spnF);
        spnF->setValue(m_device->r(QStringLiteral("_analyze.frequency"))->getInt(0));
    }
    showState();
}

void AnalyzeTools::clearSettings()
{
    disconnect(m_deviceGone);
    m_device = ve::d().emptyDobj();
    spnF->setEnabled(false);
    btnChannel->setEnabled(false);
    showState();
}

void AnalyzeTools::showState()
{
    ScopeRecorder* rec = recorder();
    const ScopeRecorder::State s = rec ? rec->state() : ScopeRecorder::Idle;
    btnStart->setEnabled(s == ScopeRecorder::Idle);
    btnStop->setEnabled(s == ScopeRecorder::Starting || s == ScopeRecorder::Recording);
    if (s != ScopeRecorder::Idle)
        spnF->setEnabled(false);
    else
        spnF->setEnabled(!m_device->isEmpty());
}

void AnalyzeTools::showPath()
{
    const QString path = ve::d(PathNode)->getString();
    QSignalBlocker quiet(chbSave);
    chbSave->setChecked(!path.isEmpty());
    chbSave->setText(path.isEmpty() ? tr("Output waveform")
                                    : tr("Output waveform: %1").arg(QFileInfo(path).completeBaseName()));
}

void AnalyzeTools::onSaveToggled(bool on)
{
    ve::DataObject* root = ve::d().rootDobj();
    if (!on) {
        // The recorder closes the file when the path empties.
        root->set(this, PathNode, QString(), true);
        showPath();
        return;
    }
    const QString path = Helper::instance()->getSaveFileName(
        this, tr("Wave file"), ScopeSession::proposedFileName(), tr("TXT Files(*.txt)"));
    // The recorder opens a chosen file at once when a recording runs.
    root->set(this, PathNode, path, true);
    showPath();
}

void AnalyzeTools::openChannelDialog()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    CANWorker* worker = Helper::instance()->canWorker();
    auto numeric = [worker](int k) {
        if (!worker)
            return true;
        return worker->engine()->withParams([k](ParamTable& t) {
            quint16 code = 0;
            quint8 type = 0;
            t.mapChannel(quint16(k), &code, &type);
            return code != 0 && ScopeDecoder::isNumeric(type);
        });
    };
    m_dialog = new ChannelDialog(m_device->cdobj(QStringLiteral("param")), ve::d(ChannelNode), this, numeric);
    m_dialog->setWindowFlag(Qt::Window);
    if (QWidget* main = Helper::instance()->mainWindow())
        m_dialog->move(main->mapToGlobal(main->rect().center()) - m_dialog->rect().center());
    m_dialog->show();
}

void AnalyzeTools::start()
{
    Helper* helper = Helper::instance();
    ScopeRecorder* rec = recorder();
    if (!rec)
        return;
    if (m_device->isEmpty()) {
        helper->showWarning(tr("Open the oscilloscope page of a device first."));
        return;
    }
    std::array<quint16, ScopeDecoder::Slots> types {};
    ve::DataObject* list = ve::d(ChannelNode);
    for (int s = 0; s < ScopeDecoder::Slots && s < list->size(); ++s)
        types[size_t(s)] = quint16(list->cdobj(s)->r(QStringLiteral("type"))->getInt(0));
    int hz = spnF->value();
    const int length = rec->recordLength(types);
    if (ScopeRecorder::linkShare(hz, length) > ScopeRecorder::SafeShare) {
        const int safe = ScopeRecorder::safeFrequency(length);
        const int frames = ScopeRecorder::framesPerRecord(length);
        if (!helper->askConfirm(tr("%1 Hz with %2 frames per record needs %3 frames/s; the serial link "
                                   "carries about %4 frames/s, so records would be lost.\n"
                                   "Record at %5 Hz instead?")
                                    .arg(hz)
                                    .arg(frames)
                                    .arg(hz * frames)
                                    .arg(int(ScopeRecorder::LinkFramesPerSecond))
                                    .arg(safe)))
            return;
        hz = safe;
        spnF->setValue(hz);
    }
    const QString refused = rec->start(m_device, quint16(hz), types);
    if (!refused.isEmpty())
        helper->showWarning(refused);
}
