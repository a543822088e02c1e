#include "AppTree.h"

#include "DataManager.h"

#include <QJsonObject>
#include <QJsonValue>

// Q_INIT_RESOURCE must be used outside any namespace; the resource lives in
// a static library, so nothing registers it before this runs.
static void initTemplateResource()
{
    Q_INIT_RESOURCE(servobench_template);
}

namespace servobench {

bool importTemplate()
{
    initTemplateResource();
    const QJsonValue value = ve::DataManager::readFromJson(QStringLiteral(":/template/data.json"));
    if (!value.isObject() || value.toObject().isEmpty())
        return false;
    ve::d().rootDobj()->importFromJson(nullptr, value, true, true, false);
    return true;
}

void loadConfiguration(const QString& path)
{
    ve::DataManager::readFromXmlFile(nullptr, ve::d("config"), path);
}

void saveConfiguration(const QString& path)
{
    ve::DataManager::writeToXmlFile(path, ve::d("config"), true, true);
}

} // namespace servobench
