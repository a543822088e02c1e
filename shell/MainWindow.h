#pragma once

#include "FramelessWindow.h"

class Editor;
class LeftTitle;
class Panel;
class QSplitter;
class RightTitle;
class StatusBar;
class ToolWidget;

namespace ve {
class DataObject;
}

// The single top-level window: tool strip, device tree, editor, output
// panel, motion sidebar and status bar, with the start and exit hooks that
// main calls around the event loop.
class MainWindow : public FramelessWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // After the window is shown: reopen the last project, or connect automatically.
    void startHook();
    // After the event loop: save the open project when asked to.
    void exitHook();

    LeftTitle* leftTitle() const;
    RightTitle* rightTitle() const;
    ToolWidget* toolWidget() const { return m_toolWidget; }
    QWidget* deviceWidget() const { return m_deviceWidget; }
    Editor* editor() const { return m_editor; }
    Panel* panel() const { return m_panel; }
    QWidget* sidebar() const { return m_sidebar; }
    StatusBar* statusBar() const { return m_statusBar; }
    QSplitter* hSplitter() const { return m_hSplitter; }
    QSplitter* vSplitter() const { return m_vSplitter; }

private:
    QWidget* makePane(bool left, QWidget* parent);
    void restoreSizes(QSplitter* splitter, ve::DataObject* node);
    void storeSizes(QSplitter* splitter, ve::DataObject* node);
    void bindVisibility(QWidget* pane, const QString& flag);

    ToolWidget* m_toolWidget = nullptr;
    QWidget* m_deviceWidget = nullptr;
    Editor* m_editor = nullptr;
    Panel* m_panel = nullptr;
    QWidget* m_sidebar = nullptr;
    StatusBar* m_statusBar = nullptr;
    QSplitter* m_hSplitter = nullptr;
    QSplitter* m_vSplitter = nullptr;
};
