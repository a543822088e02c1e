#include "ScopeRecorder.h"

#include "CANWorker.h"
#include "CsvCollector.h"
#include "ParamRow.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QDir>
#include <QSaveFile>

namespace {
const char* const PathNode = "temp_analyze.path";
}

ScopeRecorder* ScopeRecorder::of(CANWorker* worker)
{
    if (auto* r = worker->findChild<ScopeRecorder*>(QString(), Qt::FindDirectChildrenOnly))
        return r;
    return new ScopeRecorder(worker);
}

ScopeRecorder::ScopeRecorder(CANWorker* worker)
    : QObject(worker)
    , worker_(worker)
    , engine_(worker->engine())
    , session_(worker)
{
    connect(&session_, &ScopeSession::started, this, [this](int channels) {
        setState(Recording);
        // The whole recording for a later export, a few hundred bytes per record on disk.
        csvFile_ = std::make_unique<QTemporaryFile>(
            QDir::tempPath() + QStringLiteral("/servobench_scope_XXXXXX.csv"));
        csv_.reset();
        if (csvFile_->open()) {
            csv_ = std::make_unique<CsvCollector>(csvFile_.get());
            csv_->writeHeader(names_);
        }
        status(tr("Oscilloscope of %1: recording %2 channels at %3 Hz.")
                   .arg(worker_->deviceName(device_))
                   .arg(channels)
                   .arg(engine_ ? engine_->scopeFrequency() : 0));
    });
    connect(&session_, &ScopeSession::setupFailed, this, [this](bool refused, quint32 bits) {
        QString why;
        if (!refused)
            why = tr("the motor did not answer");
        else if (bits & 64)
            why = tr("the motor reports other channel types than its parameter table");
        else if (bits & 2)
            why = tr("the motor refused the sampling frequency");
        else if (bits & (4 | 8 | 16))
            why = tr("the motor refused the channel set");
        else
            why = tr("error bits 0x%1").arg(bits, 0, 16);
        status(tr("Oscilloscope set-up of %1 failed: %2. Nothing was recorded.")
                   .arg(worker_->deviceName(device_), why),
            true);
        setState(Idle);
    });
    connect(&session_, &ScopeSession::stopped, this, [this](bool confirmed) {
        if (!confirmed)
            status(tr("%1 did not confirm the oscilloscope stop within a second; gave up asking.")
                       .arg(worker_->deviceName(device_)),
                true);
        setState(Idle);
    });
    connect(ve::d("trigger.analyze.oscilloscope.stop"), &ve::DataObject::changed, this, [this] { stop(); });
    connect(ve::d(PathNode), &ve::DataObject::changed, this,
        [this](const QVariant&, const QVariant&, QObject* changer) {
            if (changer != this)
                onPathChanged();
        });
    if (engine_)
        connect(engine_, &otaThread::scopeToShow, this, &ScopeRecorder::onDelivery);
}

ScopeRecorder::~ScopeRecorder() = default;

bool ScopeRecorder::exportRecording(const QString& path, QString* error) const
{
    if (!csvFile_ || !csv_ || csv_->failed()) {
        *error = tr("There is no recording to export.");
        return false;
    }
    csvFile_->flush();
    QFile in(csvFile_->fileName());
    QSaveFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        *error = in.isOpen() ? out.errorString() : in.errorString();
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (out.write(chunk) != chunk.size()) {
            *error = out.errorString();
            return false;
        }
    }
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

void ScopeRecorder::setState(State s)
{
    if (s == Idle && csv_ && engine_) {
        csv_->take(*engine_->scopeBuffers(), engine_->scopeSlots());
        csvFile_->flush();
    }
    if (s == Idle) {
        disconnect(deviceGone_);
        if (engine_ && engine_->sampleFileOpen())
            engine_->closeSampleFile();
    }
    if (s == state_)
        return;
    state_ = s;
    emit stateChanged(s);
}

void ScopeRecorder::status(const QString& text, bool error)
{
    ve::d().rootDobj()->set(
        this, QStringLiteral("wnd.status.msg"), error ? QStringLiteral("<ERROR> %1").arg(text) : text, true);
}

bool ScopeRecorder::saving() const
{
    return engine_ && engine_->sampleSaving();
}

int ScopeRecorder::recordLength(const std::array<quint16, ScopeDecoder::Slots>& types) const
{
    if (!engine_)
        return 2;
    return engine_->withParams([&](ParamTable& t) {
        int length = 2;
        for (quint16 k : types) {
            quint16 code = 0;
            quint8 type = 0;
            if (k == 0)
                continue;
            t.mapChannel(k, &code, &type);
            if (code != 0)
                length += ScopeDecoder::sizeOf(type);
        }
        return length;
    });
}

QString ScopeRecorder::checkChannels(
    ve::DataObject* device, const std::array<quint16, ScopeDecoder::Slots>& types) const
{
    ve::DataObject* params = device->cdobj(QStringLiteral("param"));
    const QString name = worker_->deviceName(device);
    if (params->size() == 0)
        return tr("Please open param table of %1 first!").arg(name);
    // The engine holds the table it read last, which may be another motor's: the channel
    // names this device's page lists must be the entries the engine would sample.
    return engine_->withParams([&](ParamTable& t) -> QString {
        // The page publishes the motor's names made safe as keys; compare like with like.
        const QStringList keys = ParamRow::channelKeys(t);
        for (int slot = 0; slot < ScopeDecoder::Slots; ++slot) {
            const quint16 k = types[size_t(slot)];
            if (k == 0)
                continue;
            quint16 code = 0;
            quint8 type = 0;
            t.mapChannel(k, &code, &type);
            const QString listed = k <= params->size() ? params->cdobj(k - 1)->name() : QString();
            const QString loaded = code ? keys.value(k - 1) : QString();
            if (code == 0 || listed.isEmpty() || listed != loaded)
                return tr(
                    "Channel %1 does not match the parameter table of %2; upload its param table again.")
                    .arg(slot + 1)
                    .arg(name);
            if (!ScopeDecoder::isNumeric(type))
                return tr("Channel %1 (%2) is not a number and cannot be recorded.")
                    .arg(slot + 1)
                    .arg(listed);
        }
        return QString();
    });
}

QString ScopeRecorder::start(
    ve::DataObject* device, quint16 frequency, const std::array<quint16, ScopeDecoder::Slots>& types)
{
    if (!engine_)
        return tr("The oscilloscope is not available.");
    if (state_ != Idle)
        return tr("The oscilloscope of %1 is still running; stop it first.")
            .arg(worker_->deviceName(device_));
    if (!device || device->isEmpty())
        return tr("No activated device!");
    if (!worker_->isConnected())
        return tr("The serial port is not open.");
    bool any = false;
    for (quint16 t : types)
        any = any || t != 0;
    if (!any)
        return tr("Select at least one channel before starting the oscilloscope.");
    if (frequency == 0)
        return tr("The sampling frequency must be at least 1 Hz.");
    const QString wrong = checkChannels(device, types);
    if (!wrong.isEmpty())
        return wrong;
    const QString path = ve::d(PathNode)->getString();
    session_.setDevice(device);
    if (!session_.start(frequency, types, path))
        return tr("The oscilloscope could not be started.");
    device_ = device;
    csv_.reset();
    csvFile_.reset();
    names_.clear();
    for (quint16 k : types)
        if (k != 0)
            names_ << device->cdobj(QStringLiteral("param"))->cdobj(k - 1)->name();
    canId_ = device->r(QStringLiteral("info.can_id"))->getInt(0);
    disconnect(deviceGone_);
    // A removed device stops its recording; the session keeps its address for the stop frame.
    deviceGone_ = connect(device, &QObject::destroyed, this, [this] { stop(); });
    setState(Starting);
    if (!path.isEmpty() && !engine_->sampleSaving())
        checkFile();
    return QString();
}

bool ScopeRecorder::stop()
{
    if (state_ != Starting && state_ != Recording)
        return false;
    if (session_.stop())
        setState(Stopping);
    else
        setState(Idle);
    return true;
}

bool ScopeRecorder::stopDevice(const ve::DataObject* device)
{
    if (!device || device != device_)
        return false;
    return stop();
}

void ScopeRecorder::onPathChanged()
{
    if (!engine_)
        return;
    const QString path = ve::d(PathNode)->getString();
    if (path.isEmpty()) {
        engine_->closeSampleFile();
        return;
    }
    // Ticked during a run: the file takes the records from the next complete one on.
    if ((state_ == Starting || state_ == Recording) && !engine_->sampleFileOpen()) {
        engine_->openSampleFile(path);
        checkFile();
    }
}

void ScopeRecorder::onDelivery()
{
    if (csv_ && engine_ && (state_ == Recording || state_ == Stopping))
        csv_->take(*engine_->scopeBuffers(), engine_->scopeSlots());
    if (!ve::d(PathNode)->getString().isEmpty() && engine_ && !engine_->sampleSaving())
        checkFile();
}

void ScopeRecorder::checkFile()
{
    const QString path = ve::d(PathNode)->getString();
    const QString error = engine_->withScope([](const ScopeDecoder& d) { return d.fileError(); });
    if (path.isEmpty() || engine_->sampleSaving() || error.isEmpty())
        return;
    status(tr("Waveform file %1: %2. Saving stopped.").arg(path, error), true);
    engine_->closeSampleFile();
    // The strip's box unticks from this.
    ve::d().rootDobj()->set(this, QString::fromLatin1(PathNode), QString(), true);
}
