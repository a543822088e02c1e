#include "MainWindow.h"

#include "CaptionWidget.h"
#include "Editor.h"
#include "Helper.h"
#include "LeftTitle.h"
#include "Panel.h"
#include "RightTitle.h"
#include "ShellExtensions.h"
#include "StatusBar.h"
#include "ToolWidget.h"

#include <DataManager.h>

#include <QCoreApplication>
#include <QLabel>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget* parent)
    : FramelessWindow(parent, FramelessWindow::isSystemDarkTheme() ? QColor(Qt::black) : QColor(Qt::white))
{
    setDarkTheme(true);
    installDarkStyle();

    CaptionWidget* caption = captionWidget();
    auto* content = new QWidget(caption);
    content->setObjectName("ContentWidget");
    caption->setContentWidget(content);
    setWindowIcon(QIcon(":/images/motor/logo.png"));
    ve::DataObject* title = ve::d("wnd.title");
    setWindowTitle(title->getString(QString()));

    auto* label = new QLabel(title->getString(QString()));
    label->setObjectName("lblTitle");
    label->setStyleSheet("color:#888");
    label->setTextFormat(Qt::PlainText);
    connect(title, &ve::DataObject::changed, label,
        [label](const QVariant& var) { label->setText(var.toString()); });
    connect(title, &ve::DataObject::changed, this,
        [this](const QVariant& var) { setWindowTitle(var.toString()); });
    caption->setCenterWidget(label);
    caption->setLeftWidget(new LeftTitle);
    caption->setRightWidget(new RightTitle);
    caption->setTitleAlignment(Qt::AlignCenter);
    caption->setCaptionColor(QColor(30, 30, 30, 255));
    caption->setCaptionButtonsVisible(true);

    // Once the window exists every listener of the title refreshes.
    QTimer::singleShot(0, this, [] {
        QCoreApplication::processEvents();
        ve::d("wnd.title")->trigger();
    });

    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_toolWidget = new ToolWidget(content);
    m_deviceWidget = makePane(true, content);
    m_editor = new Editor(content);
    m_panel = new Panel(content);
    m_sidebar = makePane(false, content);
    m_statusBar = new StatusBar(content);

    m_vSplitter = new QSplitter(Qt::Vertical, content);
    m_vSplitter->addWidget(m_editor);
    m_vSplitter->addWidget(m_panel);
    ve::DataObject* vNode = ve::d("config.wnd.v_splitter");
    ve::DataObject* hNode = vNode->b("h_splitter");
    restoreSizes(m_vSplitter, vNode);
    m_hSplitter = new QSplitter(Qt::Horizontal, content);
    m_hSplitter->addWidget(m_deviceWidget);
    m_hSplitter->addWidget(m_vSplitter);
    m_hSplitter->addWidget(m_sidebar);
    restoreSizes(m_hSplitter, hNode);

    layout->addWidget(m_toolWidget, 0);
    layout->addWidget(m_hSplitter, 1);
    layout->addWidget(m_statusBar, 0);

    connect(m_vSplitter, &QSplitter::splitterMoved, this, [this, vNode] { storeSizes(m_vSplitter, vNode); });
    connect(m_hSplitter, &QSplitter::splitterMoved, this, [this, hNode] { storeSizes(m_hSplitter, hNode); });

    Helper::instance()->setMainWindow(this);

    bindVisibility(m_panel, "show_panel");
    bindVisibility(m_deviceWidget, "show_left_sidebar");
    bindVisibility(m_sidebar, "show_right_sidebar");
}

QWidget* MainWindow::makePane(bool left, QWidget* parent)
{
    const ShellExtensions::WidgetFactory factory
        = left ? ShellExtensions::leftPaneFactory() : ShellExtensions::rightPaneFactory();
    if (factory) {
        if (QWidget* pane = factory(parent))
            return pane;
    }
    // A program linked without the pane's library keeps an empty column of the same name.
    auto* pane = new QWidget(parent);
    pane->setObjectName(left ? "DeviceWidget" : "Sidebar");
    return pane;
}

void MainWindow::restoreSizes(QSplitter* splitter, ve::DataObject* node)
{
    QList<int> sizes;
    for (const QVariant& v : node->getList())
        sizes.append(v.toInt()); // an entry that is not a number counts as 0
    splitter->setSizes(sizes);
}

void MainWindow::storeSizes(QSplitter* splitter, ve::DataObject* node)
{
    const QList<int> sizes = splitter->sizes();
    QList<QVariant> list;
    for (int s : sizes)
        list.append(s);
    node->setList(this, list, true);
    while (node->size() > sizes.size())
        node->remove(this, node->last(), true);
}

void MainWindow::bindVisibility(QWidget* pane, const QString& flag)
{
    ve::DataObject* node = ve::d("config.setting")->cdobj(flag);
    pane->setVisible(node->isEmpty() ? true : node->getBool(true));
    connect(node, &ve::DataObject::changed, pane,
        [pane](const QVariant& var) { pane->setVisible(var.toBool()); });
}

LeftTitle* MainWindow::leftTitle() const
{
    return qobject_cast<LeftTitle*>(captionWidget()->leftWidget());
}

RightTitle* MainWindow::rightTitle() const
{
    return qobject_cast<RightTitle*>(captionWidget()->rightWidget());
}

void MainWindow::startHook()
{
    const bool loadLast = ve::d("config.setting.load_last_project")->getBool(false);
    const QString last = ve::d("config.last_project_path")->getString(QString());
    if (loadLast && !last.isEmpty())
        leftTitle()->loadProject(last);
    if (ve::d("config.setting.auto_connect")->getBool(false) && !loadLast)
        Helper::instance()->connectAutomatically();
}

void MainWindow::exitHook()
{
    const QString working = ve::d("working_path")->getString(QString());
    if (!ve::d("config.setting.save_project_on_exit")->getBool(false) || working.isEmpty())
        return;
    leftTitle()->saveProject(working);
    ve::d("config")->set(this, "last_project_path", working, true);
}
