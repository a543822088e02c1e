#include "FramelessWindow.h"

#include "CaptionBar.h"
#include "CaptionWidget.h"
#include "DarkStyle.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleFactory>
#include <QWindow>

namespace {
constexpr int kResizeMargin = 5;
bool g_darkTheme = false;
int g_systemDark = -1; // unknown until first asked

bool paletteIsDark(const QPalette& p)
{
    return p.color(QPalette::Window).lightness() < 128;
}
} // namespace

FramelessWindow::FramelessWindow(QWidget* parent, const QColor& clearColor)
    : QMainWindow(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_caption(new CaptionWidget(this))
    , m_clearColor(clearColor)
{
    isSystemDarkTheme(); // remember the desktop's choice before any theme of ours is applied
    setCentralWidget(m_caption);
    resize(1280, 800);
    qApp->installEventFilter(this);
    updateFrame();
}

FramelessWindow::~FramelessWindow()
{
    qApp->removeEventFilter(this);
}

void FramelessWindow::setupScale()
{
    double dpi = 96;
    if (QGuiApplication::instance()) {
        if (QScreen* s = QGuiApplication::primaryScreen())
            dpi = s->logicalDotsPerInch();
    } else {
        static int argc = 1;
        static char name[] = "servobench";
        static char* argv[] = {name, nullptr};
        QGuiApplication probe(argc, argv);
        if (QScreen* s = QGuiApplication::primaryScreen())
            dpi = s->logicalDotsPerInch();
    }
    const QByteArray factor = QByteArray::number(dpi / 96.0, 'g', 6);
    qputenv("QT_SCALE_FACTOR", factor);
    qputenv("QGOODWINDOW_SCALE_FACTOR", factor);
}

bool FramelessWindow::isSystemDarkTheme()
{
    if (g_systemDark < 0) {
        bool dark = qEnvironmentVariable("GTK_THEME").contains("dark", Qt::CaseInsensitive);
        if (!dark && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            dark = paletteIsDark(QGuiApplication::palette());
        g_systemDark = dark ? 1 : 0;
    }
    return g_systemDark == 1;
}

QString FramelessWindow::styleSheetFor(bool dark)
{
    QFile f(dark ? ":/qss/dark.qss" : ":/qss/light.qss");
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

void FramelessWindow::setDarkTheme(bool dark)
{
    g_darkTheme = dark;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    if (dark)
        QApplication::setPalette(DarkStyle::darkPalette());
    else
        QApplication::setPalette(QApplication::style()->standardPalette());
    app->setStyleSheet(styleSheetFor(dark));
}

bool FramelessWindow::isDarkTheme()
{
    return g_darkTheme;
}

void FramelessWindow::installDarkStyle()
{
    QApplication::setStyle(new DarkStyle);
    if (g_darkTheme)
        QApplication::setPalette(DarkStyle::darkPalette());
}

void FramelessWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange)
        updateFrame();
    QMainWindow::changeEvent(event);
}

void FramelessWindow::paintEvent(QPaintEvent* event)
{
    // Painted rather than put into the palette, which every child would inherit.
    if (m_clearColor.isValid()) {
        QPainter p(this);
        p.fillRect(rect(), m_clearColor);
    }
    QMainWindow::paintEvent(event);
}

void FramelessWindow::showEvent(QShowEvent* event)
{
    // Without a system frame nothing else keeps the first window on the screen.
    if (!m_placed && !isMaximized() && !isFullScreen()) {
        m_placed = true;
        if (QScreen* s = screen()) {
            const QRect avail = s->availableGeometry();
            if (width() > avail.width() || height() > avail.height()) {
                resize(qMin(width(), avail.width()), qMin(height(), avail.height()));
                move(
                    avail.topLeft() + QPoint((avail.width() - width()) / 2, (avail.height() - height()) / 2));
            }
        }
    }
    QMainWindow::showEvent(event);
}

void FramelessWindow::updateFrame()
{
    const bool full = isMaximized() || isFullScreen();
    m_caption->captionBar()->updateMaximized(full);
    // A thin frame shows where a normal window ends; a maximised one needs none.
    m_caption->layout()->setContentsMargins(full ? QMargins() : QMargins(1, 1, 1, 1));
    m_caption->setStyleSheet(full ? QString() : QString("QWidget#CaptionWidget {\nbackground:#3c3c3c;\n}"));
    m_caption->setAttribute(Qt::WA_StyledBackground, !full);
}

Qt::Edges FramelessWindow::edgesAt(const QPoint& globalPos) const
{
    Qt::Edges edges;
    if (isMaximized() || isFullScreen())
        return edges;
    const QPoint p = mapFromGlobal(globalPos);
    if (p.x() < kResizeMargin)
        edges |= Qt::LeftEdge;
    if (p.x() >= width() - kResizeMargin)
        edges |= Qt::RightEdge;
    if (p.y() < kResizeMargin)
        edges |= Qt::TopEdge;
    if (p.y() >= height() - kResizeMargin)
        edges |= Qt::BottomEdge;
    return edges;
}

bool FramelessWindow::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress)
        return QMainWindow::eventFilter(watched, event);
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != this || !windowHandle())
        return QMainWindow::eventFilter(watched, event);
    auto* me = static_cast<QMouseEvent*>(event);
    const Qt::Edges edges = edgesAt(me->globalPos());
    if (type == QEvent::MouseButtonPress) {
        if (edges && me->button() == Qt::LeftButton && windowHandle()->startSystemResize(edges))
            return true;
        return QMainWindow::eventFilter(watched, event);
    }
    if (me->buttons() == Qt::NoButton) {
        Qt::CursorShape shape = Qt::ArrowCursor;
        if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
            shape = Qt::SizeFDiagCursor;
        else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
            shape = Qt::SizeBDiagCursor;
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            shape = Qt::SizeHorCursor;
        else if (edges & (Qt::TopEdge | Qt::BottomEdge))
            shape = Qt::SizeVerCursor;
        if (edges) {
            windowHandle()->setCursor(shape);
            m_cursorChanged = true;
        } else if (m_cursorChanged) {
            windowHandle()->unsetCursor();
            m_cursorChanged = false;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
