#pragma once

#include <QString>

#include <functional>

class QWidget;

// Where the later parts of the program plug into the shell without touching
// it: the tool strips of the four tool tabs, the editor page kinds, and the
// left (device tree) and right (motion sidebar) panes of the main window.
// Registration happens from static initialisers of the libraries that
// provide them, before main runs, so the shell only ever reads the table.
class ShellExtensions
{
public:
    using WidgetFactory = std::function<QWidget*(QWidget* parent)>;

    enum ToolTab
    {
        DeviceTab = 0,
        ConfigureTab = 1,
        AnalyzeTab = 2,
        HelpTab = 3,
        ToolTabCount = 4
    };

    static void setToolFactory(int tab, WidgetFactory factory);
    static WidgetFactory toolFactory(int tab);

    // Page factories make a widget that also derives from BaseEditorPage.
    static void setPageFactory(const QString& editorType, WidgetFactory factory);
    static WidgetFactory pageFactory(const QString& editorType);

    static void setLeftPaneFactory(WidgetFactory factory);
    static WidgetFactory leftPaneFactory();
    static void setRightPaneFactory(WidgetFactory factory);
    static WidgetFactory rightPaneFactory();

    // Helper for static registration: `static const bool reg = ShellExtensions::registered([] { ... });`
    static bool registered(const std::function<void()>& registration)
    {
        registration();
        return true;
    }
};
