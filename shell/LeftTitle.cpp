#include "LeftTitle.h"

#include "Helper.h"

#include <DataManager.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <memory>

LeftTitle::LeftTitle(QWidget* parent)
    : QWidget(parent)
    , m_btnFile(new QPushButton(tr("File"), this))
    , m_menu(new QMenu(this))
{
    setObjectName("LeftTitle");
    setStyleSheet(
        "QPushButton, QToolButton {\nborder:none;\nborder-top:2px solid transparent;\n"
        "border-bottom:2px solid transparent;\nbackground:transparent;\npadding:0 6px;\n}\n"
        "QPushButton:hover, QToolButton:hover {\nbackground:#2b2b2b;\n}\n"
        "QToolButton:checked {\nborder-top:2px solid #ff6900;\nborder-bottom:2px solid #353535;\n}");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 0, 0);
    layout->setSpacing(0);

    auto* logo = new QLabel(this);
    logo->setPixmap(QIcon(":/images/motor/logo.png").pixmap(18, 18));
    logo->setContentsMargins(0, 0, 6, 0);
    layout->addWidget(logo);

    m_btnFile->setObjectName("btnFile");
    m_btnFile->setShortcut(QKeySequence("Alt+F"));
    m_btnFile->setFocusPolicy(Qt::NoFocus);
    m_btnFile->hide();
    layout->addWidget(m_btnFile);
    connect(m_btnFile, &QPushButton::clicked, this,
        [this] { m_menu->popup(m_btnFile->mapToGlobal(m_btnFile->geometry().bottomLeft())); });

    const struct
    {
        const char* name;
        QString text;
    } tabs[] = {{"tlbtnDevice", tr("Device")}, {"tlbtnParam", tr("Configure")},
        {"tlbtnAnalyze", tr("Analyze")}, {"tlbtnHelp", tr("Help")}};
    for (const auto& t : tabs) {
        auto* button = new QToolButton(this);
        button->setObjectName(t.name);
        button->setText(t.text);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        layout->addWidget(button);
        const int index = m_tabs.size();
        m_tabs.append(button);
        connect(button, &QToolButton::clicked, this, [this, index] {
            ve::d("wnd.left_title.index")->set(this, index);
            selectTab(index);
        });
    }
    m_tabs.first()->setChecked(true);
    // The index may also be set through the tree; keep the checked tab in step with it.
    connect(ve::d("wnd.left_title.index"), &ve::DataObject::changed, this,
        [this](const QVariant& var, const QVariant&, QObject* changer) {
            if (changer != this)
                selectTab(var.toInt());
        });

    addMenuAction("actionNew", tr("New"), QKeySequence::New);
    addMenuAction("actionOpen", tr("Open"), QKeySequence::Open);
    addMenuAction("actionSave", tr("Save"), QKeySequence::Save);
    addMenuAction("actionSaveAs", tr("Save as"), QKeySequence::SaveAs);
    m_menu->addSeparator();
    addMenuAction("actionImport", tr("Import"), QKeySequence::UnknownKey);
    addMenuAction("actionExport", tr("Export"), QKeySequence::UnknownKey);
    m_menu->addSeparator();
    addMenuAction("actionExit", tr("Exit"), QKeySequence::Quit);

    connect(action("actionNew"), &QAction::triggered, this, &LeftTitle::newProject);
    connect(action("actionOpen"), &QAction::triggered, this, &LeftTitle::openProject);
    connect(action("actionSave"), &QAction::triggered, this, &LeftTitle::save);
    connect(action("actionSaveAs"), &QAction::triggered, this, &LeftTitle::saveAs);
    // What importing and exporting a project should do is not settled; the dialogs are offered only.
    connect(action("actionImport"), &QAction::triggered, this,
        [this] { Helper::instance()->getOpenFileName(this, tr("Import Project"), ".", "*.xml"); });
    connect(action("actionExport"), &QAction::triggered, this,
        [this] { Helper::instance()->getSaveFileName(this, tr("Export Project"), ".", "*.xml"); });
    connect(action("actionExit"), &QAction::triggered, qApp, &QApplication::closeAllWindows);
}

QAction* LeftTitle::addMenuAction(const QString& name, const QString& text, QKeySequence::StandardKey key)
{
    QAction* a = m_menu->addAction(text);
    a->setObjectName(name);
    if (key != QKeySequence::UnknownKey)
        a->setShortcut(key);
    a->setShortcutContext(Qt::ApplicationShortcut);
    // The menu's button is hidden; the strip carries the actions so their shortcuts stay live.
    addAction(a);
    return a;
}

QAction* LeftTitle::action(const QString& objectName) const
{
    for (QAction* a : m_menu->actions())
        if (a->objectName() == objectName)
            return a;
    return nullptr;
}

void LeftTitle::selectTab(int index)
{
    for (int i = 0; i < m_tabs.size(); ++i)
        m_tabs.at(i)->setChecked(i == index);
}

void LeftTitle::loadProject(const QString& path)
{
    ve::DataObject* devices = ve::d("project.device");
    devices->clear(this, true, false);
    std::unique_ptr<ve::DataObject> tmp(ve::d().create("tmp"));
    ve::DataManager::readFromXmlFile(this, tmp.get(), path);
    devices->copyFrom(this, tmp->cdobj("device"), true, false);
    ve::d("working_path")->set(this, path);
    const QString port = tmp->cdobj("serial_port")->getString(QString());
    Helper* helper = Helper::instance();
    if (!port.isEmpty() && !helper->isSerialOpen())
        helper->connectSerial(port);
}

bool LeftTitle::saveProject(const QString& path)
{
    return ve::DataManager::writeToXmlFile(path, ve::d("project"), true, true);
}

void LeftTitle::newProject()
{
    const QString path = Helper::instance()->getSaveFileName(this, tr("New Project"), ".", "*.prj");
    if (!path.isEmpty())
        loadProject(path);
}

void LeftTitle::openProject()
{
    const QString path = Helper::instance()->getOpenFileName(this, tr("Open Project"), ".", "*.prj");
    if (!path.isEmpty())
        loadProject(path);
}

void LeftTitle::save()
{
    QString path = ve::d("working_path")->getString(QString());
    if (path.isEmpty())
        path = Helper::instance()->getSaveFileName(this, tr("Save Project"), ".", "*.prj");
    if (!path.isEmpty())
        saveWithFeedback(path);
}

void LeftTitle::saveAs()
{
    const QString path = Helper::instance()->getSaveFileName(this, tr("Save as Project"), ".", "*.prj");
    if (!path.isEmpty())
        saveWithFeedback(path);
}

void LeftTitle::saveWithFeedback(const QString& path)
{
    if (saveProject(path)) {
        ve::d("working_path")->set(this, path);
        Helper::instance()->showInformation(tr("Save to %1 successfully!").arg(path));
    } else {
        Helper::instance()->showError(tr("Save to %1 Failed!").arg(path));
    }
}
