#pragma once

#include <QObject>

namespace ve {
class DataObject;
}

// The open project: the "project" branch of the data tree. Loading and
// saving are the File menu's operations.
class Project : public QObject
{
    Q_OBJECT
public:
    explicit Project(QObject* parent = nullptr);

    ve::DataObject* node() const { return m_node; }

private:
    ve::DataObject* m_node;
};
