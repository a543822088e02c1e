#include "Project.h"

#include <DataManager.h>

Project::Project(QObject* parent)
    : QObject(parent)
    , m_node(ve::d("project"))
{ }
