#include "Project.h"

#include <DataObject.h>

Project::Project(QObject* parent)
    : QObject(parent)
    , m_node(ve::d("project"))
{
}
