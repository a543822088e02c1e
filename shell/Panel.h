#pragma once

#include <QWidget>

class QPushButton;
class QStackedWidget;
class QTextBrowser;
class QToolButton;

// The output panel below the editor: the Log page shows every status
// message, the Communication page the raw serial records.
class Panel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 2048;

    explicit Panel(QWidget* parent = nullptr);

    QTextBrowser* logBrowser() const { return m_tbLog; }
    QTextBrowser* communicationBrowser() const { return m_tbCommunication; }

    void appendLog(const QString& text);
    void appendCommunication(const QString& text);

private:
    void showPage(int index);
    void exportPage();
    static void appendLine(QTextBrowser* browser, quint32& counter, const QString& text);

    QToolButton* m_tlbtnLog;
    QToolButton* m_tlbtnCommunication;
    QStackedWidget* m_stack;
    QTextBrowser* m_tbLog;
    QTextBrowser* m_tbCommunication;
};
