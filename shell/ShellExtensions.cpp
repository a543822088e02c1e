#include "ShellExtensions.h"

#include <QHash>
#include <QMutex>

namespace {
// Function-local so registrations from other static initialisers find it constructed.
struct Table
{
    QMutex mutex;
    ShellExtensions::WidgetFactory tools[ShellExtensions::ToolTabCount];
    QHash<QString, ShellExtensions::WidgetFactory> pages;
    ShellExtensions::WidgetFactory left;
    ShellExtensions::WidgetFactory right;
};

Table& table()
{
    static Table t;
    return t;
}
} // namespace

void ShellExtensions::setToolFactory(int tab, WidgetFactory factory)
{
    if (tab < 0 || tab >= ToolTabCount)
        return;
    QMutexLocker lock(&table().mutex);
    table().tools[tab] = std::move(factory);
}

ShellExtensions::WidgetFactory ShellExtensions::toolFactory(int tab)
{
    if (tab < 0 || tab >= ToolTabCount)
        return {};
    QMutexLocker lock(&table().mutex);
    return table().tools[tab];
}

void ShellExtensions::setPageFactory(const QString& editorType, WidgetFactory factory)
{
    QMutexLocker lock(&table().mutex);
    table().pages.insert(editorType, std::move(factory));
}

ShellExtensions::WidgetFactory ShellExtensions::pageFactory(const QString& editorType)
{
    QMutexLocker lock(&table().mutex);
    return table().pages.value(editorType);
}

void ShellExtensions::setLeftPaneFactory(WidgetFactory factory)
{
    QMutexLocker lock(&table().mutex);
    table().left = std::move(factory);
}

ShellExtensions::WidgetFactory ShellExtensions::leftPaneFactory()
{
    QMutexLocker lock(&table().mutex);
    return table().left;
}

void ShellExtensions::setRightPaneFactory(WidgetFactory factory)
{
    QMutexLocker lock(&table().mutex);
    table().right = std::move(factory);
}

ShellExtensions::WidgetFactory ShellExtensions::rightPaneFactory()
{
    QMutexLocker lock(&table().mutex);
    return table().right;
}
