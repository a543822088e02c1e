#include "Panel.h"

#include "Helper.h"

#include <DataManager.h>

#include <QDateTime>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// One numbering per page for the whole process, so a Clear never restarts it.
quint32 g_logCounter = 0;
quint32 g_communicationCounter = 0;

QTextBrowser* makeBrowser(QWidget* page, const QString& name)
{
    auto* browser = new QTextBrowser(page);
    browser->setObjectName(name);
    browser->setReadOnly(true);
    browser->setFrameShape(QFrame::NoFrame);
    browser->document()->setMaximumBlockCount(Panel::MaxLines);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    return browser;
}
} // namespace

Panel::Panel(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("Panel");
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet("QWidget#Panel {\nborder: 1px solid #1e1e1e;\nborder-bottom: none;\n}");

    auto* title = new QWidget(this);
    title->setObjectName("wgtPanelTitle");
    title->setAttribute(Qt::WA_StyledBackground);
    title->setStyleSheet(
        "QWidget#wgtPanelTitle {\nbackground:#1e1e1e;\n}\n"
        "QPushButton, QToolButton {\nborder:none;\nborder-top:1px solid transparent;\n"
        "border-bottom:1px solid transparent;\nbackground:transparent;\npadding:2px 6px;\n}\n"
        "QToolButton:checked {\nborder-bottom:1px solid #ff6900;\n}\n"
        "QPushButton:hover, QToolButton:hover {\nbackground:#2b2b2b;\n}");
    m_tlbtnLog = new QToolButton(title);
    m_tlbtnLog->setObjectName("tlbtnLog");
    m_tlbtnLog->setText(tr("Log"));
    m_tlbtnLog->setCheckable(true);
    m_tlbtnLog->setChecked(true);
    m_tlbtnCommunication = new QToolButton(title);
    m_tlbtnCommunication->setObjectName("tlbtnCommunication");
    m_tlbtnCommunication->setText(tr("Communication"));
    m_tlbtnCommunication->setCheckable(true);
    auto* btnClear = new QPushButton(QIcon(":/images/clear.png"), tr("Clear"), title);
    btnClear->setObjectName("btnClear");
    auto* btnExport = new QPushButton(QIcon(":/images/save.png"), tr("Export"), title);
    btnExport->setObjectName("btnExport");
    auto* btnFold = new QPushButton(QIcon(":/images/direction/down.png"), QString(), title);
    btnFold->setObjectName("btnFold");
    btnFold->setIconSize(QSize(8, 8));
    btnFold->setStyleSheet("border:none; padding:6px;");
    btnFold->setToolTip(tr("Hide the panel"));
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(m_tlbtnLog),
             static_cast<QAbstractButton*>(m_tlbtnCommunication), static_cast<QAbstractButton*>(btnClear),
             static_cast<QAbstractButton*>(btnExport), static_cast<QAbstractButton*>(btnFold)})
        b->setFocusPolicy(Qt::NoFocus);

    auto* titleLayout = new QHBoxLayout(title);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(0);
    titleLayout->addWidget(m_tlbtnLog);
    titleLayout->addWidget(m_tlbtnCommunication);
    titleLayout->addStretch(1);
    titleLayout->addWidget(btnClear);
    titleLayout->addWidget(btnExport);
    titleLayout->addWidget(btnFold);

    m_stack = new QStackedWidget(this);
    m_stack->setObjectName("stackedWidget");
    auto* pgLog = new QWidget;
    pgLog->setObjectName("pgLog");
    auto* pgOutput = new QWidget;
    pgOutput->setObjectName("pgOutput");
    m_tbLog = makeBrowser(pgLog, "tbLog");
    m_tbCommunication = makeBrowser(pgOutput, "tbCommunication");
    m_stack->addWidget(pgLog);
    m_stack->addWidget(pgOutput);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 0);
    layout->setSpacing(0);
    layout->addWidget(title);
    layout->addWidget(m_stack, 1);

    connect(m_tlbtnLog, &QToolButton::clicked, this, [this] { showPage(0); });
    connect(m_tlbtnCommunication, &QToolButton::clicked, this, [this] { showPage(1); });
    connect(btnClear, &QPushButton::clicked, this,
        [this] { (m_stack->currentIndex() == 0 ? m_tbLog : m_tbCommunication)->clear(); });
    connect(btnFold, &QPushButton::clicked, this,
        [this] { ve::d("config.setting.show_panel")->set(this, false); });
    connect(btnExport, &QPushButton::clicked, this, &Panel::exportPage);

    // Queued: values written from worker threads are shown here in the order written.
    connect(
        ve::d("wnd.status.msg"), &ve::DataObject::changed, this,
        [this](const QVariant& var) { appendLog(var.toString()); }, Qt::QueuedConnection);
    connect(
        ve::d("output"), &ve::DataObject::changed, this,
        [this](const QVariant& var) { appendCommunication(var.toString()); }, Qt::QueuedConnection);
}

void Panel::showPage(int index)
{
    m_tlbtnLog->setChecked(index == 0);
    m_tlbtnCommunication->setChecked(index == 1);
    m_stack->setCurrentIndex(index);
}

void Panel::appendLine(QTextBrowser* browser, quint32& counter, const QString& text)
{
    counter += 1;
    const QString time = QDateTime::currentDateTime().toString(tr("yyyy/MM/dd hh:mm:ss"));
    // Inserted as plain text: tagged messages such as "<Encoder calibrating> ..." must not
    // be taken for markup, which append() would do.
    QScrollBar* bar = browser->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(browser->document());
    cursor.movePosition(QTextCursor::End);
    if (!browser->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(QString("%1 [%2] %3").arg(counter).arg(time, text));
    if (atEnd)
        bar->setValue(bar->maximum());
}

void Panel::appendLog(const QString& text)
{
    appendLine(m_tbLog, g_logCounter, text);
}

void Panel::appendCommunication(const QString& text)
{
    appendLine(m_tbCommunication, g_communicationCounter, text);
}

void Panel::exportPage()
{
    const bool log = m_stack->currentIndex() == 0;
    const QString what = log ? tr("log") : tr("communication");
    const QString path
        = Helper::instance()->getSaveFileName(this, tr("Export %1 file").arg(what), ".", "*.log");
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray data = (log ? m_tbLog : m_tbCommunication)->toPlainText().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        Helper::instance()->showError(tr("Cannot write to %1!").arg(path));
}
