#include "HelpTools.h"

#include "Helper.h"
#include "Version.h"

#include <DataManager.h>

#include <QHBoxLayout>
#include <QPushButton>

HelpTools::HelpTools(QWidget* parent)
    : QWidget(parent)
    , m_instruction(new QPushButton(QIcon(":/images/info-circle.png"), tr("Instruction"), this))
    , m_about(new QPushButton(QIcon(":/images/motor/logo.png"), tr("About"), this))
{
    setObjectName("HelpTools");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (QPushButton* b : {m_instruction, m_about}) {
        b->setIconSize(QSize(16, 16));
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    layout->addStretch(1);
    m_instruction->setObjectName("btnInstruction");
    m_about->setObjectName("btnAbout");
    connect(m_instruction, &QPushButton::clicked, this, [] { ve::d("trigger.help.instruction")->trigger(); });
    connect(m_about, &QPushButton::clicked, this, [] {
        const QString title = ve::d("wnd.title")->getString(QString());
        Helper::instance()->showAbout(tr("About %1").arg(title),
            tr("Version %1\n\nBuilt on 2023.07.18").arg(servobench::productVersion()));
    });
}
