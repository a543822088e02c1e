#pragma once

#include <QWidget>

class QPushButton;

// The Help tab's tool strip: the instruction page and the About box.
class HelpTools : public QWidget
{
    Q_OBJECT
public:
    explicit HelpTools(QWidget* parent = nullptr);

    QPushButton* instructionButton() const { return m_instruction; }
    QPushButton* aboutButton() const { return m_about; }

private:
    QPushButton* m_instruction;
    QPushButton* m_about;
};
