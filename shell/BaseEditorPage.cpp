#include "BaseEditorPage.h"

#include "Helper.h"

BaseEditorPage::BaseEditorPage(const QString& editorType)
    : m_editorType(editorType)
    , m_deviceDobj(Helper::instance()->currentDevice())
{ }

BaseEditorPage::~BaseEditorPage() = default;
