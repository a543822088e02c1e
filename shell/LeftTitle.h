#pragma once

#include <QList>
#include <QWidget>

class QMenu;
class QPushButton;
class QToolButton;

// The left strip of the caption bar: the File menu with the project
// operations and the four tool tabs.
class LeftTitle : public QWidget
{
    Q_OBJECT
public:
    explicit LeftTitle(QWidget* parent = nullptr);

    QMenu* fileMenu() const { return m_menu; }
    QList<QToolButton*> toolButtons() const { return m_tabs; }
    QAction* action(const QString& objectName) const;

    // Replaces the device list with the file's and makes path the working path.
    void loadProject(const QString& path);
    // Writes the project branch (no hidden names); no message box.
    bool saveProject(const QString& path);

    void newProject();
    void openProject();
    void save();
    void saveAs();

private:
    void saveWithFeedback(const QString& path);
    void selectTab(int index);
    QAction* addMenuAction(const QString& name, const QString& text, QKeySequence::StandardKey key);

    QPushButton* m_btnFile;
    QMenu* m_menu;
    QList<QToolButton*> m_tabs;
};
