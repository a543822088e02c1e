#include "RightTitle.h"

#include <DataManager.h>

#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>

RightTitle::RightTitle(QWidget* parent)
    : QWidget(parent)
    , m_menu(new QMenu(this))
    , m_btnSetting(new QPushButton(this))
{
    setObjectName("RightTitle");
    setStyleSheet(
        "QPushButton {\nborder:none;\nborder-radius:4px;\nbackground:transparent;\npadding:0 6px;\n}\n"
        "QPushButton:hover {\nbackground:#2b2b2b;\n}");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 4, 4, 4);
    layout->setSpacing(2);
    const struct
    {
        const char* name;
        const char* icon;
    } hidden[] = {{"btnTab", ":/images/motor/title_tab.png"}, {"btnGrid", ":/images/motor/title_flat.png"},
        {"btnStack", ":/images/motor/title_fold.png"}};
    // Layout switches that have no behaviour yet stay hidden.
    for (const auto& h : hidden) {
        auto* b = new QPushButton(QIcon(h.icon), QString(), this);
        b->setObjectName(h.name);
        b->hide();
        layout->addWidget(b);
    }
    m_btnSetting->setObjectName("btnSetting");
    m_btnSetting->setIcon(QIcon(":/images/setting.png"));
    m_btnSetting->setIconSize(QSize(16, 16));
    m_btnSetting->setFocusPolicy(Qt::NoFocus);
    m_btnSetting->setToolTip(tr("Settings"));
    m_btnSetting->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    layout->addWidget(m_btnSetting);

    m_menu->setFixedWidth(260);
    addSetting(tr("Show pannel"), "show_panel");
    addSetting(tr("Show left sidebar"), "show_left_sidebar");
    addSetting(tr("Show right sidebar"), "show_right_sidebar");
    m_menu->addSeparator();
    addSetting(tr("Auto connect COM"), "auto_connect");
    addSetting(tr("Enable multiple devices"), "enable_multiple_devices");
    addSetting(tr("Upload param table on connected"), "upload_param_on_connected");
    addSetting(tr("Remove all device on disconnected"), "remove_device_on_disconnected");
    m_menu->addSeparator();
    addSetting(tr("Activate selected device"), "trigger_by_left");
    addSetting(tr("Auto increase desired CAN ID"), "auto_increase_can_id");

    connect(m_btnSetting, &QPushButton::clicked, this, &RightTitle::showSettingsMenu);
}

void RightTitle::addSetting(const QString& text, const QString& key)
{
    QAction* action = m_menu->addAction(text);
    action->setObjectName(key);
    action->setCheckable(true);
    ve::DataObject* flag = ve::d("config.setting." + key);
    action->setChecked(flag->getBool(false));
    connect(action, &QAction::toggled, this,
        [this, key](bool on) { ve::d("config.setting." + key)->set(this, on); });
    connect(flag, &ve::DataObject::changed, action,
        [this, action](const QVariant& var, const QVariant&, QObject* changer) {
            if (changer == this)
                return;
            const QSignalBlocker block(action);
            action->setChecked(var.toBool());
        });
}

QAction* RightTitle::settingAction(const QString& key) const
{
    for (QAction* a : m_menu->actions())
        if (a->objectName() == key)
            return a;
    return nullptr;
}

void RightTitle::showSettingsMenu()
{
    const QPoint p = m_btnSetting->mapToGlobal(m_btnSetting->geometry().bottomLeft());
    // popup() keeps the menu on the screen where a plain move would not.
    m_menu->popup(QPoint(p.x() - m_menu->width() / 2, p.y()));
}
