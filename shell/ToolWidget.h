#pragma once

#include "ShellExtensions.h"

#include <QPointer>
#include <QVector>
#include <QWidget>

class QScrollArea;
class QPushButton;

// The tool area below the caption bar: shows the tool strip of the current
// tool tab, built afresh by that tab's factory each time the tab is chosen.
class ToolWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ToolWidget(QWidget* parent = nullptr);

    QWidget* currentStrip() const { return m_strip; }
    // Device, Configure and Analyze come from the registered extensions; Help is the shell's own.
    const QVector<ShellExtensions::WidgetFactory>& factories() const { return m_factories; }
    QScrollArea* scrollArea() const { return m_scroll; }

private:
    void showStrip(int index);

    QScrollArea* m_scroll;
    QPushButton* m_btnEstop;
    QVector<ShellExtensions::WidgetFactory> m_factories;
    QPointer<QWidget> m_strip;
};
