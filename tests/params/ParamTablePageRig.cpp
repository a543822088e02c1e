#include "ParamTablePageRig.h"

#include "ConfigureTools.h"
#include "Editor.h"
#include "ParamTablePage.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QTableWidget>
#include <QVBoxLayout>

ParamTablePageRig::ParamTablePageRig(const sim::SimConfig& cfg)
    : BenchRig(cfg)
{
    window->resize(1000, 700);
    auto* layout = new QVBoxLayout(window);
    tools = new ConfigureTools(window);
    editor = new Editor(window);
    layout->addWidget(tools);
    layout->addWidget(editor, 1);
    addBlockBox();
    window->show();
}

ParamTablePage* ParamTablePageRig::openPage(int canId)
{
    makeCurrent(canId);
    ve::d("trigger.configure.param.new")->trigger();
    ParamTablePage* page = ParamTablePage::of(node(canId));
    if (!page || !waitFor([page] { return page->isLive() && page->tableWidget->rowCount() > 0; }))
        return nullptr;
    return page;
}

QVariant ParamTablePageRig::simValue(int canId, const QString& name) const
{
    const int m = motor(canId);
    return sim->parameterValue(m, quint16(sim->parameterCode(m, name)));
}
