#pragma once

#include <QList>
#include <QPair>
#include <QWidget>

class QHBoxLayout;
class QScrollArea;
class QStackedWidget;
class TitleWidget;

namespace ve {
class DataObject;
}

// The editor area: a strip of closable tabs over a stack of pages, one page
// per device and page kind, opened by the page trigger nodes.
class Editor : public QWidget
{
    Q_OBJECT
public:
    explicit Editor(QWidget* parent = nullptr);

    int count() const { return m_pages.size(); }
    TitleWidget* tabAt(int index) const;
    QWidget* pageAt(int index) const;
    int currentIndex() const;
    QStackedWidget* stack() const { return m_stack; }

    // Appends a tab for page (which derives from BaseEditorPage) and selects it.
    void openPage(const QString& text, QWidget* page);
    void closePage(int index);
    void selectPage(int index);
    // First page of that kind for that device, walking from index 0; -1 when none.
    int findPage(const QString& editorType, const ve::DataObject* device) const;

    // What the four page triggers do; public so the tool strips' owners and tests can call them.
    void openDeviceInfo();
    void openParamTable();
    void openOscilloscope();
    void openInstruction();

private:
    enum class Existing
    {
        Select,
        Reopen
    };
    void open(const QString& editorType, const QString& text, Existing existing);
    void onCurrentChanged(int index);
    void updateEmptyHint();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QList<QPair<TitleWidget*, QWidget*>> m_pages;
    QScrollArea* m_scroll;
    QWidget* m_tabStrip;
    QHBoxLayout* m_tabLayout;
    QStackedWidget* m_stack;
    const QObject* m_dyingDevice = nullptr;
    QWidget* m_emptyHint;
};
