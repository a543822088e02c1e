#include "waveDisplay.h"

#include <DataManager.h>
#include <DataObject.h>

#include <limits>

namespace {
constexpr double NoKey = -std::numeric_limits<double>::infinity();
}

QColor waveDisplay::slotColor(int slot)
{
    static const QColor palette[Slots]
        = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 215, 0), QColor(255, 0, 255),
            QColor(0, 255, 255), QColor(255, 140, 0), QColor(128, 0, 128)};
    return palette[qBound(0, slot, Slots - 1)];
}

waveDisplay::waveDisplay(QWidget* parent)
    : QCustomPlot(parent)
{
    for (int i = 0; i < Slots; ++i) {
        QCPGraph* g = addGraph();
        g->setPen(QPen(slotColor(i), 1));
        g->setName(tr("Channel %1").arg(i + 1));
        // Long runs of points are drawn decimated per pixel column, not point by point.
        g->setAdaptiveSampling(true);
    }
    setBackground(QBrush(QColor(50, 50, 50)));
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    setSelectionRectMode(QCP::srmZoom);
    selectionRect()->setPen(QPen(Qt::black, 1, Qt::DashLine));
    selectionRect()->setBrush(QBrush(QColor(0, 0, 100, 50)));
    QFont labelFont = font();
    labelFont.setPixelSize(20);
    for (QCPAxis* axis : {xAxis, yAxis}) {
        axis->setBasePen(QPen(Qt::white));
        axis->setTickLabelColor(Qt::white);
        axis->setLabelColor(Qt::white);
        axis->setTickPen(QPen(Qt::white));
        axis->setSubTickPen(QPen(Qt::white));
        axis->setLabelFont(labelFont);
    }
    legend->setBrush(QColor(42, 42, 42, 200));
    legend->setTextColor(Qt::white);
    legend->setBorderPen(QPen(QColor(0x1e, 0x1e, 0x1e)));
    setInteraction(QCP::iSelectLegend, false);
    connect(this, &QCustomPlot::legendClick, this, &waveDisplay::onLegendClick);
    connect(this, &QCustomPlot::mousePress, this, &waveDisplay::onMousePress);
    connect(this, &QCustomPlot::mouseMove, this, &waveDisplay::onMouseMove);
    connect(this, &QCustomPlot::mouseRelease, this, &waveDisplay::onMouseRelease);
    connect(this, &QCustomPlot::afterReplot, this, [this] { ++m_replots; });

    for (int k = 0; k < 2; ++k) {
        auto* line = new QCPItemStraightLine(this);
        line->setPen(QPen(k == 0 ? QColor(0xff, 0x69, 0x00) : QColor(0x4f, 0xc3, 0xf7), 1, Qt::DashLine));
        line->setVisible(false);
        line->setSelectable(false);
        m_cursorLine[size_t(k)] = line;
    }

    Clear();
    m_refreshCountdown = 0;
    const int rate = frameRate(ve::d("config.oscilloscope_frame_rate")->getInt(24));
    m_refresh.setInterval(1000 / rate);
    connect(&m_refresh, &QTimer::timeout, this, &waveDisplay::refreshTick);
}

void waveDisplay::Clear()
{
    for (int i = 0; i < Slots; ++i) {
        graph(i)->data()->clear();
        graph(i)->setVisible(false);
        graph(i)->removeFromLegend();
    }
    m_lastKey.fill(NoKey);
    m_slots.clear();
    m_channelCount = 0;
    xAxis->setRange(0, 10);
    yAxis->setRange(0, 1);
    replot(rpRefreshHint);
}

void waveDisplay::setChannels(const QVector<quint8>& slotList, const QStringList& names)
{
    m_slots.clear();
    for (int k = 0; k < slotList.size() && k < Slots; ++k) {
        const int s = slotList[k];
        if (s < 0 || s >= Slots)
            continue;
        m_slots << quint8(s);
        graph(s)->setVisible(true);
        graph(s)->setName(k < names.size() && !names[k].isEmpty() ? names[k] : tr("Channel %1").arg(s + 1));
        graph(s)->addToLegend();
        if (QCPAbstractLegendItem* item = legend->itemWithPlottable(graph(s)))
            item->setTextColor(Qt::white); // shown again after a legend click hid it
    }
    m_channelCount = quint8(m_slots.size());
}

void waveDisplay::newData(const std::array<ScopeBuffer, Slots>* buffers)
{
    m_buffers = buffers;
    if (!buffers || m_paused)
        return;
    for (quint8 s : m_slots) {
        const ScopeBuffer& b = (*buffers)[s];
        QSharedPointer<QCPGraphDataContainer> data = graph(s)->data();
        if (b.isEmpty()) {
            data->clear();
            m_lastKey[s] = NoKey;
            continue;
        }
        int from = b.indexAfter(m_lastKey[s]);
        if (m_lastKey[s] < b.at(0).key || b.at(b.size() - 1).key < m_lastKey[s]) {
            // Nothing shared with what the plot holds (a new run, or the view was frozen for longer
            // than the window): start over from the buffer.
            data->clear();
            from = 0;
        }
        if (from < b.size()) {
            QVector<QCPGraphData> fresh;
            fresh.reserve(b.size() - from);
            for (const ScopePoint* p = b.begin() + from; p != b.end(); ++p)
                fresh.append(QCPGraphData(p->key, p->value));
            data->add(fresh, true);
            m_lastKey[s] = b.at(b.size() - 1).key;
        }
        data->removeBefore(b.at(0).key);
    }
    m_refreshCountdown = 3;
    if (!m_refresh.isActive())
        m_refresh.start();
}

void waveDisplay::rescale()
{
    bool first = true;
    for (quint8 s : m_slots) {
        QCPGraph* g = graph(s);
        if (!g->visible() || g->data()->isEmpty())
            continue;
        g->rescaleAxes(!first);
        first = false;
    }
}

void waveDisplay::refreshTick()
{
    if (!m_paused)
        rescale();
    replot(rpRefreshHint);
    if (m_refreshCountdown > 0)
        --m_refreshCountdown;
    if (m_refreshCountdown < 1)
        m_refresh.stop();
}

void waveDisplay::setLegendVisible(bool on)
{
    legend->setVisible(on);
    replot(rpQueuedReplot);
}

void waveDisplay::setPaused(bool on)
{
    if (on == m_paused)
        return;
    m_paused = on;
    if (!on && m_buffers)
        newData(m_buffers);
}

void waveDisplay::setCursorsVisible(bool on)
{
    m_cursorsOn = on;
    if (on) {
        const QCPRange r = xAxis->range();
        setCursor(0, r.lower + r.size() / 3);
        setCursor(1, r.lower + 2 * r.size() / 3);
    }
    for (QCPItemStraightLine* line : m_cursorLine)
        line->setVisible(on);
    replot(rpQueuedReplot);
    emit cursorsMoved();
}

void waveDisplay::setCursor(int which, double t)
{
    if (which < 0 || which > 1)
        return;
    m_cursorAt[size_t(which)] = t;
    QCPItemStraightLine* line = m_cursorLine[size_t(which)];
    line->point1->setCoords(t, 0);
    line->point2->setCoords(t, 1);
    emit cursorsMoved();
}

waveDisplay::Stats waveDisplay::stats(int slot) const
{
    Stats st;
    if (slot < 0 || slot >= Slots)
        return st;
    QSharedPointer<QCPGraphDataContainer> data = graph(slot)->data();
    if (data->isEmpty())
        return st;
    // The value at a cursor is that of the last sample at or before it.
    auto at = [&](double t) {
        auto it = data->findEnd(t, false);
        if (it == data->constBegin())
            return qQNaN();
        --it;
        return it->value;
    };
    st.atA = at(m_cursorAt[0]);
    st.atB = at(m_cursorAt[1]);
    const double lo = qMin(m_cursorAt[0], m_cursorAt[1]), hi = qMax(m_cursorAt[0], m_cursorAt[1]);
    double sum = 0;
    for (auto it = data->findBegin(lo, false); it != data->constEnd() && it->key <= hi; ++it) {
        if (st.points == 0 || it->value < st.min)
            st.min = it->value;
        if (st.points == 0 || it->value > st.max)
            st.max = it->value;
        sum += it->value;
        ++st.points;
    }
    if (st.points)
        st.mean = sum / st.points;
    return st;
}

void waveDisplay::onLegendClick(QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*)
{
    auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
    if (!entry)
        return;
    QCPAbstractPlottable* p = entry->plottable();
    p->setVisible(!p->visible());
    entry->setTextColor(p->visible() ? Qt::white : QColor(120, 120, 120));
    for (int i = 0; i < Slots; ++i)
        if (graph(i) == p)
            emit channelToggled(i, p->visible());
    replot(rpQueuedReplot);
}

void waveDisplay::onMousePress(QMouseEvent* event)
{
    if (!m_cursorsOn || event->button() != Qt::LeftButton)
        return;
    // A press within a few pixels of a cursor takes it instead of panning or zooming.
    for (int k = 0; k < 2; ++k) {
        if (qAbs(xAxis->coordToPixel(m_cursorAt[size_t(k)]) - event->pos().x()) <= 5) {
            m_dragging = k;
            setInteraction(QCP::iRangeDrag, false);
            setSelectionRectMode(QCP::srmNone);
            return;
        }
    }
}

void waveDisplay::onMouseMove(QMouseEvent* event)
{
    if (m_dragging < 0)
        return;
    setCursor(m_dragging, xAxis->pixelToCoord(event->pos().x()));
    replot(rpQueuedReplot);
}

void waveDisplay::onMouseRelease(QMouseEvent*)
{
    if (m_dragging < 0)
        return;
    m_dragging = -1;
    setInteraction(QCP::iRangeDrag, true);
    setSelectionRectMode(QCP::srmZoom);
}
