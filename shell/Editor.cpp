#include "Editor.h"

#include "BaseEditorPage.h"
#include "Helper.h"
#include "ShellExtensions.h"
#include "TitleWidget.h"
#include "WebPage.h"

#include <DataManager.h>

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScroller>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

Editor::Editor(QWidget* parent)
    : QWidget(parent)
    , m_scroll(new QScrollArea(this))
    , m_tabStrip(new QWidget)
    , m_tabLayout(new QHBoxLayout(m_tabStrip))
    , m_stack(new QStackedWidget(this))
{
    setObjectName("Editor");
    setStyleSheet("Editor {\nborder:1px solid #1e1e1e;\n}");
    setAttribute(Qt::WA_StyledBackground);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(1, 0, 1, 1);

    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setStyleSheet("QScrollArea {\nborder:none;\nborder-bottom:1px solid #1e1e1e;\n}");
    m_scroll->setMaximumHeight(30);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_tabStrip->setFixedHeight(28);
    m_tabLayout->setSpacing(1);
    m_tabLayout->setContentsMargins(0, 0, 0, 0);
    m_tabLayout->addStretch(1); // keeps the tabs packed to the left
    m_scroll->setWidget(m_tabStrip);
    QScroller::grabGesture(m_scroll->viewport(), QScroller::LeftMouseButtonGesture);

    layout->addWidget(m_scroll);
    layout->addWidget(m_stack, 1);

    connect(m_stack, &QStackedWidget::currentChanged, this, &Editor::onCurrentChanged);

    // Shown over the empty stack (not one of its pages, so tabs and pages stay in step).
    m_emptyHint = new QLabel(m_stack);
    auto* hint = static_cast<QLabel*>(m_emptyHint);
    hint->setObjectName("EditorEmptyHint");
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    hint->setTextFormat(Qt::RichText);
    hint->setStyleSheet("color:#7a7a7a; padding:24px;");
    hint->setText(QString("<img src=\":/images/motor/logo.png\" width=\"64\" height=\"64\"><br><br>%1<br>%2")
                      .arg(tr("Connect the adapter and activate a device to open its pages here."),
                          tr("The user manual is under Help > Instruction.")));
    m_stack->installEventFilter(this);
    updateEmptyHint();

    auto hook = [this](const char* path, void (Editor::*slot)()) {
        connect(ve::d(path), &ve::DataObject::changed, this, slot);
    };
    hook("trigger.device.info.new", &Editor::openDeviceInfo);
    hook("trigger.configure.param.new", &Editor::openParamTable);
    hook("trigger.analyze.oscilloscope.new", &Editor::openOscilloscope);
    hook("trigger.help.instruction", &Editor::openInstruction);
}

TitleWidget* Editor::tabAt(int index) const
{
    return index >= 0 && index < m_pages.size() ? m_pages.at(index).first : nullptr;
}

QWidget* Editor::pageAt(int index) const
{
    return index >= 0 && index < m_pages.size() ? m_pages.at(index).second : nullptr;
}

int Editor::currentIndex() const
{
    return m_stack->currentIndex();
}

int Editor::findPage(const QString& editorType, const ve::DataObject* device) const
{
    for (int i = 0; i < m_stack->count(); ++i) {
        auto* page = dynamic_cast<BaseEditorPage*>(m_stack->widget(i));
        if (page && page->editorType() == editorType && page->deviceDobj() == device)
            return i;
    }
    return -1;
}

void Editor::openDeviceInfo()
{
    if (Helper::instance()->activeDeviceOrWarn())
        open("device_info", tr("Device Info"), Existing::Select);
}

void Editor::openParamTable()
{
    if (Helper::instance()->activeDeviceOrWarn())
        open("param_table", tr("Param Table"), Existing::Reopen);
}

void Editor::openOscilloscope()
{
    // The active-device check comes first: without a device there is no name
    // to put into the "open param table first" warning.
    ve::DataObject* device = Helper::instance()->activeDeviceOrWarn();
    if (!device)
        return;
    if (device->cdobj("param")->size() == 0) {
        Helper::instance()->showWarning(
            tr("Please open param table of %1 first!").arg(Helper::instance()->deviceName(device)));
        return;
    }
    open("oscilloscope", tr("Oscilloscope"), Existing::Select);
}

void Editor::openInstruction()
{
    open("web", tr("Instruction"), Existing::Select);
}

void Editor::open(const QString& editorType, const QString& text, Existing existing)
{
    ve::DataObject* device = Helper::instance()->currentDevice();
    const int found = findPage(editorType, device);
    if (found >= 0) {
        if (existing == Existing::Select) {
            selectPage(found);
            return;
        }
        closePage(found);
    }
    ShellExtensions::WidgetFactory factory = ShellExtensions::pageFactory(editorType);
    if (!factory && editorType == "web")
        factory = [](QWidget* parent) { return new WebPage(parent); };
    if (!factory) {
        Helper::instance()->showStatus(tr("%1 is not available in this build.").arg(text), QString());
        return;
    }
    QWidget* page = factory(m_stack);
    if (!page)
        return;
    openPage(text, page);
}

bool Editor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_stack && event->type() == QEvent::Resize)
        m_emptyHint->setGeometry(m_stack->rect());
    return QWidget::eventFilter(watched, event);
}

void Editor::updateEmptyHint()
{
    m_emptyHint->setGeometry(m_stack->rect());
    m_emptyHint->setVisible(m_pages.isEmpty());
    m_emptyHint->raise();
}

void Editor::openPage(const QString& text, QWidget* page)
{
    Helper* helper = Helper::instance();
    ve::DataObject* device = helper->currentDevice();
    // One device in the tree (or none active) needs no name in the tab.
    QString name;
    if (!device->isEmpty() && device->pdobj()->size() != 1)
        name = helper->deviceName(device);
    const QString tabText = name.isEmpty() ? text : tr("%1 - %2").arg(name, text);

    auto* tab = new TitleWidget(tabText, m_tabStrip);
    m_tabLayout->insertWidget(m_pages.size(), tab);
    m_stack->addWidget(page);
    m_pages.append(qMakePair(tab, page));

    connect(tab->textButton(), &QToolButton::clicked, this, [this, tab, page] {
        for (const auto& pair : qAsConst(m_pages))
            pair.first->textButton()->setChecked(pair.first == tab);
        m_stack->setCurrentWidget(page);
    });
    connect(tab->closeButton(), &QPushButton::clicked, this, [this, tab] {
        int index = 0;
        for (int i = 0; i < m_pages.size(); ++i) {
            if (m_pages.at(i).first == tab) {
                index = i;
                break;
            }
        }
        closePage(index);
    });
    if (auto* base = dynamic_cast<BaseEditorPage*>(page)) {
        const QString type = base->editorType();
        if (ve::DataObject* node = base->deviceDobj()) {
            connect(node, &QObject::destroyed, page, [this, type, node] {
                const int index = findPage(type, node);
                if (index < 0)
                    return;
                // Closing may select another page of the same dying device for a moment;
                // it must not be published as the edit device.
                m_dyingDevice = node;
                closePage(index);
                m_dyingDevice = nullptr;
            });
        }
    }
    updateEmptyHint();
    tab->textButton()->click();
}

void Editor::closePage(int index)
{
    if (index < 0 || index >= m_pages.size())
        return;
    const auto pair = m_pages.takeAt(index);
    m_tabLayout->removeWidget(pair.first);
    delete pair.first;
    m_stack->removeWidget(pair.second);
    delete pair.second;
    updateEmptyHint();
    if (index < m_pages.size())
        m_pages.at(index).first->textButton()->click();
}

void Editor::selectPage(int index)
{
    if (index < 0 || index >= m_pages.size())
        return;
    for (int i = 0; i < m_pages.size(); ++i)
        m_pages.at(i).first->textButton()->setChecked(i == index);
    m_stack->setCurrentIndex(index);
}

void Editor::onCurrentChanged(int index)
{
    Helper* helper = Helper::instance();
    auto* page = dynamic_cast<BaseEditorPage*>(m_stack->widget(index));
    if (page && page->deviceDobj() == m_dyingDevice)
        page = nullptr;
    const QString type = page ? page->editorType() : QString();
    helper->setEditDevice(page ? page->deviceDobj() : ve::d().emptyDobj(), type);
    emit helper->editDevieDobjChanged(type);
}
