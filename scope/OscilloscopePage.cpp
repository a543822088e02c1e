#include "OscilloscopePage.h"

#include "waveDisplay.h"

#include <CANWorker.h>
#include <CsvCollector.h>
#include <DataManager.h>
#include <DataObject.h>
#include <Helper.h>
#include <ScopeRecorder.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QPushButton* barButton(const QString& text, const char* name, bool checkable, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QString number(double v)
{
    return qIsNaN(v) ? QStringLiteral("-") : QString::number(v, 'g', 6);
}
} // namespace

OscilloscopePage::OscilloscopePage(QWidget* parent)
    : QWidget(parent)
    , BaseEditorPage(QStringLiteral("oscilloscope"))
    , plot(new waveDisplay(this))
    , btnPause(barButton(tr("Pause"), "btnPause", true, this))
    , btnCursors(barButton(tr("Cursors"), "btnCursors", true, this))
    , btnExport(barButton(tr("Export"), "btnExport", false, this))
    , lblLost(new QLabel(this))
    , lblRate(new QLabel(this))
    , lblCursors(new QLabel(this))
    , m_progress(new QTimer(this))
{
    setObjectName("OscilloscopePage");
    resize(755, 513);
    plot->setObjectName("plot");
    plot->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    lblLost->setObjectName("lblLost");
    lblRate->setObjectName("lblRate");
    lblCursors->setObjectName("lblCursors");
    lblCursors->setTextFormat(Qt::RichText);
    lblCursors->setStyleSheet("color:white; padding:2px 6px;");
    lblCursors->hide();

    // Dark-theme axes on top of the plot's own styling.
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->setBasePen(QPen(Qt::white, 1, Qt::SolidLine));
        axis->setTickPen(QPen(Qt::white, 1, Qt::SolidLine));
        axis->setSubTickPen(QPen(Qt::white, 1, Qt::SolidLine));
        axis->setTickLabelColor(Qt::white);
        axis->setUpperEnding(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
        axis->grid()->setPen(QPen(QColor(140, 140, 140), 1, Qt::DotLine));
        axis->grid()->setSubGridPen(QPen(QColor(80, 80, 80), 1, Qt::DotLine));
        axis->grid()->setSubGridVisible(true);
        axis->grid()->setZeroLinePen(Qt::NoPen);
    }
    plot->setBackground(QBrush(QColor(42, 42, 42)));
    plot->axisRect()->setBackground(Qt::NoBrush);

    auto* menu = new QMenu(btnExport);
    menu->addAction(tr("Visible window as CSV..."), this, [this] { chooseAndExport(0); });
    menu->addAction(tr("Whole recording as CSV..."), this, [this] { chooseAndExport(1); });
    menu->addAction(tr("Plot as PNG..."), this, [this] { chooseAndExport(2); });
    btnExport->setMenu(menu);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 2, 4, 2);
    bar->addWidget(btnPause);
    bar->addWidget(btnCursors);
    bar->addWidget(btnExport);
    bar->addStretch();
    bar->addWidget(lblRate);
    bar->addSpacing(12);
    bar->addWidget(lblLost);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(plot);
    layout->addWidget(lblCursors);

    ve::DataObject* device = deviceDobj();
    if (device && !device->isEmpty()) {
        ve::DataObject* list = device->cdobj(QStringLiteral("_analyze"))->cdobj(QStringLiteral("channel"));
        while (list->size() > 0 && list->size() < 8) {
            ve::DataObject* added = list->append(this);
            if (!added)
                break;
            added->copyFrom(this, list->cdobj(0));
        }
        connect(device->r(QStringLiteral("_trigger.oscilloscope.config_channel")), &ve::DataObject::changed,
            this, &OscilloscopePage::onChannelSet);
    }
    if (CANWorker* worker = Helper::instance()->canWorker()) {
        m_recorder = ScopeRecorder::of(worker);
        connect(worker->engine(), &otaThread::scopeToShow, this, [this](const ScopeBuffers* b) {
            if (mine())
                plot->newData(b);
        });
        connect(m_recorder, &ScopeRecorder::stateChanged, this, &OscilloscopePage::showProgress);
    }
    ve::DataObject* legend = ve::d("trigger.analyze.oscilloscope.legend");
    connect(legend, &ve::DataObject::changed, this,
        [this](const QVariant& v, const QVariant&, QObject*) { plot->setLegendVisible(v.toBool()); });
    plot->setLegendVisible(legend->getBool());

    connect(btnPause, &QPushButton::toggled, this, [this](bool on) {
        plot->setPaused(on);
        btnPause->setText(on ? tr("Follow") : tr("Pause"));
    });
    connect(btnCursors, &QPushButton::toggled, this, [this](bool on) {
        plot->setCursorsVisible(on);
        lblCursors->setVisible(on);
    });
    connect(plot, &waveDisplay::cursorsMoved, this, &OscilloscopePage::showCursors);
    connect(plot, &waveDisplay::channelToggled, this, &OscilloscopePage::showCursors);
    m_progress->setInterval(500);
    connect(m_progress, &QTimer::timeout, this, &OscilloscopePage::showProgress);
    showProgress();
}

OscilloscopePage::~OscilloscopePage()
{
    // Only this device's recording: another motor's run, a firmware or parameter transfer go on.
    if (m_recorder)
        m_recorder->stopDevice(deviceDobj());
}

void OscilloscopePage::start() { }

void OscilloscopePage::stop() { }

bool OscilloscopePage::mine() const
{
    return m_recorder && m_recorder->device() && m_recorder->device() == deviceDobj();
}

void OscilloscopePage::onChannelSet()
{
    CANWorker* worker = Helper::instance()->canWorker();
    if (!worker)
        return;
    plot->Clear();
    plot->setChannels(
        worker->engine()->scopeSlots(), m_recorder ? m_recorder->channelNames() : QStringList());
    showCursors();
}

void OscilloscopePage::showProgress()
{
    const bool running = mine()
        && (m_recorder->state() == ScopeRecorder::Recording
            || m_recorder->state() == ScopeRecorder::Stopping);
    if (running && !m_progress->isActive())
        m_progress->start();
    else if (!running)
        m_progress->stop();
    CANWorker* worker = Helper::instance()->canWorker();
    if (!mine() || !worker) {
        lblLost->setText(tr("Lost records: %1").arg(0));
        lblRate->setText(tr("Rate: %1 Hz").arg(QStringLiteral("-")));
        return;
    }
    quint64 lost = 0, records = 0;
    double span = 0;
    worker->engine()->withScope([&](const ScopeDecoder& d) {
        lost = d.lostRecords();
        records = d.records();
        span = d.time();
        return 0;
    });
    lblLost->setText(tr("Lost records: %1").arg(lost));
    lblLost->setStyleSheet(lost ? "color:#ff6900;" : QString());
    // Records received per second of the motor's own clock.
    lblRate->setText(tr("Rate: %1 Hz")
                         .arg(span > 0 && records > 1 ? QString::number(double(records - 1) / span, 'f', 1)
                                                      : QStringLiteral("-")));
    showCursors();
}

void OscilloscopePage::showCursors()
{
    if (!plot->cursorsVisible())
        return;
    const double a = plot->cursor(0), b = plot->cursor(1), dt = qAbs(b - a);
    QString html = QStringLiteral("<table cellspacing='6'><tr><td>%1</td><td>%2</td></tr></table>")
                       .arg(tr("Δt = %1 s").arg(number(dt)),
                           tr("1/Δt = %1 Hz").arg(dt > 0 ? number(1.0 / dt) : QStringLiteral("-")));
    html += QStringLiteral("<table cellspacing='6'><tr><th></th><th>%1</th><th>%2</th><th>%3</th><th>%4</th>"
                           "<th>%5</th><th>%6</th></tr>")
                .arg(tr("A"), tr("B"), tr("Min"), tr("Max"), tr("Mean"), tr("Peak-peak"));
    for (quint8 s : plot->slotList()) {
        if (!plot->graph(s)->visible())
            continue;
        const waveDisplay::Stats st = plot->stats(s);
        html += QStringLiteral("<tr><td style='color:%1'>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td>"
                               "<td>%7</td><td>%8</td></tr>")
                    .arg(waveDisplay::slotColor(s).name(), plot->graph(s)->name().toHtmlEscaped(),
                        number(st.atA), number(st.atB), number(st.min), number(st.max), number(st.mean),
                        number(st.points ? st.max - st.min : qQNaN()));
    }
    html += QStringLiteral("</table>");
    lblCursors->setText(html);
}

bool OscilloscopePage::exportWindow(const QString& path)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        Helper::instance()->showError(tr("Cannot write %1: %2").arg(path, f.errorString()));
        return false;
    }
    CsvCollector csv(&f);
    QStringList names;
    std::array<ScopeBuffer, ScopeDecoder::Slots> buffers;
    // The plot's own points, so a frozen view exports what it shows.
    for (quint8 s : plot->slotList()) {
        names << plot->graph(s)->name();
        QSharedPointer<QCPGraphDataContainer> data = plot->graph(s)->data();
        for (auto it = data->constBegin(); it != data->constEnd(); ++it)
            buffers[s].append({it->key, it->value});
    }
    const QCPRange r = plot->xAxis->range();
    csv.writeHeader(names);
    csv.take(buffers, plot->slotList(), r.lower, r.upper);
    if (csv.failed() || !f.commit()) {
        Helper::instance()->showError(tr("Cannot write %1: %2").arg(path, f.errorString()));
        return false;
    }
    Helper::instance()->showStatus(tr("Exported %1 rows to %2.").arg(csv.rows()).arg(path));
    return true;
}

bool OscilloscopePage::exportRecording(const QString& path)
{
    QString error;
    if (!m_recorder || !m_recorder->exportRecording(path, &error)) {
        Helper::instance()->showError(
            m_recorder ? tr("Cannot export the recording to %1: %2").arg(path, error) : tr("No recording."));
        return false;
    }
    Helper::instance()->showStatus(tr("Exported the recording to %1.").arg(path));
    return true;
}

bool OscilloscopePage::exportPng(const QString& path)
{
    if (!plot->savePng(path)) {
        Helper::instance()->showError(tr("Cannot write %1.").arg(path));
        return false;
    }
    Helper::instance()->showStatus(tr("Saved the plot to %1.").arg(path));
    return true;
}

void OscilloscopePage::chooseAndExport(int kind)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hhmmss"));
    const bool png = kind == 2;
    const QString path
        = Helper::instance()->getSaveFileName(this, png ? tr("Export plot") : tr("Export samples"),
            QStringLiteral("./wave_%1.%2").arg(stamp, png ? "png" : "csv"),
            png ? tr("PNG Files(*.png)") : tr("CSV Files(*.csv)"));
    if (path.isEmpty())
        return;
    if (kind == 0)
        exportWindow(path);
    else if (kind == 1)
        exportRecording(path);
    else
        exportPng(path);
}
