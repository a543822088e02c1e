#pragma once

#include <QColor>
#include <QMainWindow>

class CaptionWidget;

// A top-level window without the system frame: it draws its own caption bar
// (through its CaptionWidget), moves and resizes through the window manager
// and offers the application-wide dark theme.
class FramelessWindow : public QMainWindow
{
    Q_OBJECT
public:
    // clearColor fills the window before its widgets paint, so resizing never flashes.
    explicit FramelessWindow(QWidget* parent = nullptr, const QColor& clearColor = QColor());
    ~FramelessWindow() override;

    // The caption-bearing central widget, created with the window.
    CaptionWidget* captionWidget() const { return m_caption; }

    // Scale set-up before the real application object exists: the primary
    // screen's logical DPI / 96 goes to QT_SCALE_FACTOR and QGOODWINDOW_SCALE_FACTOR.
    static void setupScale();
    // Whether the desktop asked for a dark theme (read once, before ours is applied).
    static bool isSystemDarkTheme();
    // Dark palette and sheet when on, Fusion's light palette and the light sheet when off.
    static void setDarkTheme(bool dark);
    static bool isDarkTheme();
    // Fusion with the dark palette (object name "fusion") as the application style.
    static void installDarkStyle();
    // The sheet the theme switch applies, read from the resources.
    static QString styleSheetFor(bool dark);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Qt::Edges edgesAt(const QPoint& globalPos) const;
    void updateFrame();

    CaptionWidget* m_caption;
    QColor m_clearColor;
    bool m_cursorChanged = false;
    bool m_placed = false;
};
