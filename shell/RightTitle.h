#pragma once

#include <QWidget>

class QMenu;
class QPushButton;

// The right strip of the caption bar: the settings menu, whose check items
// are bound both ways to the config.setting flags.
class RightTitle : public QWidget
{
    Q_OBJECT
public:
    explicit RightTitle(QWidget* parent = nullptr);

    QMenu* settingsMenu() const { return m_menu; }
    QPushButton* settingButton() const { return m_btnSetting; }
    // The check item bound to config.setting.<key>; null when there is none.
    QAction* settingAction(const QString& key) const;
    void showSettingsMenu();

private:
    void addSetting(const QString& text, const QString& key);

    QMenu* m_menu;
    QPushButton* m_btnSetting;
};
