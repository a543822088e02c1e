#pragma once

#include <QString>

namespace ve {
class DataObject;
}

// Second base of every page the editor shows: which kind of page it is and
// which device it belongs to (the device that was active when it was made).
class BaseEditorPage
{
public:
    explicit BaseEditorPage(const QString& editorType);
    virtual ~BaseEditorPage();

    QString editorType() const { return m_editorType; }
    // Used for identity only once the device is gone: the editor closes a
    // page when its device node is destroyed.
    ve::DataObject* deviceDobj() const { return m_deviceDobj; }

private:
    QString m_editorType;
    ve::DataObject* m_deviceDobj;
};
