#pragma once

#include <ScopeBuffer.h>

#include <qcustomplot.h>

#include <QTimer>
#include <QVector>

#include <array>

// The oscilloscope plot: one curve per channel slot against time in seconds. Deliveries only
// append the points that are new since the last one and drop those that left the window;
// rescaling and repainting happen on a timer at the configured frame rate.
class waveDisplay : public QCustomPlot
{
    Q_OBJECT
public:
    static constexpr int Slots = 8;
    static QColor slotColor(int slot);
    // Frames per second from the configuration, kept to 1..60 (0 would divide by zero, a
    // negative rate never repaint, a high one spin a core).
    static int frameRate(int configured) { return qBound(1, configured, 60); }

    explicit waveDisplay(QWidget* parent = nullptr);

    void Clear();
    // The slots of the accepted channel set, in order, with the names the legend shows.
    void setChannels(const QVector<quint8>& slotList, const QStringList& names = QStringList());
    void newData(const std::array<ScopeBuffer, Slots>* buffers);
    void setLegendVisible(bool on);

    // Freezes the view (no new points, no autoscale) so the user can zoom and pan; releasing it
    // takes up the points that arrived meanwhile and follows again.
    void setPaused(bool on);
    bool paused() const { return m_paused; }

    // Two time cursors; their positions in seconds.
    void setCursorsVisible(bool on);
    bool cursorsVisible() const { return m_cursorsOn; }
    void setCursor(int which, double t);
    double cursor(int which) const { return m_cursorAt[size_t(which)]; }
    struct Stats
    {
        double atA = qQNaN(), atB = qQNaN();
        double min = qQNaN(), max = qQNaN(), mean = qQNaN();
        int points = 0;
    };
    // The channel's values at both cursors and over the span between them.
    Stats stats(int slot) const;

    const QVector<quint8>& slotList() const { return m_slots; }
    int refreshInterval() const { return m_refresh.interval(); }
    bool refreshing() const { return m_refresh.isActive(); }
    quint64 replotCount() const { return m_replots; }

signals:
    void cursorsMoved();
    void channelToggled(int slot, bool visible);

private:
    void refreshTick();
    void rescale();
    void onLegendClick(QCPLegend* legend, QCPAbstractLegendItem* item, QMouseEvent* event);
    void onMousePress(QMouseEvent* event);
    void onMouseMove(QMouseEvent* event);
    void onMouseRelease(QMouseEvent* event);

    QVector<quint8> m_slots;
    quint8 m_channelCount = 0;
    std::array<double, Slots> m_lastKey;
    const std::array<ScopeBuffer, Slots>* m_buffers = nullptr;
    QTimer m_refresh;
    quint32 m_refreshCountdown = 0;
    bool m_paused = false;
    bool m_cursorsOn = false;
    std::array<QCPItemStraightLine*, 2> m_cursorLine {};
    std::array<double, 2> m_cursorAt {0, 0};
    int m_dragging = -1;
    quint64 m_replots = 0;
};
