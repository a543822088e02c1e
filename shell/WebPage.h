#pragma once

#include "BaseEditorPage.h"

#include <QWidget>

class QProgressBar;
class QWebEngineView;

// The instruction page: the user manual "./instruction.pdf" in a web view.
class WebPage : public QWidget, public BaseEditorPage
{
    Q_OBJECT
public:
    explicit WebPage(QWidget* parent = nullptr);

    QProgressBar* progressBar() const { return m_progress; }
    QWebEngineView* view() const { return m_view; }
    static QUrl instructionUrl();

private:
    QProgressBar* m_progress;
    QWebEngineView* m_view;
};
