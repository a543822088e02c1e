#include "Version.h"

namespace ve {

namespace {

int sumBelow(const VersionManager& manager, DataObject* node)
{
    int sum = manager.create(node->fullName(manager.keyTree()));
    for (DataObject* child : node->cdobjs())
        sum += sumBelow(manager, child);
    return sum;
}

} // namespace

VersionManager& versionManager()
{
    static VersionManager manager;
    return manager;
}

VersionManager& ver()
{
    return versionManager();
}

int ver(const QString& key, bool recursive)
{
    VersionManager& manager = versionManager();
    if (!recursive)
        return manager.create(key);
    DataObject* node = manager.keyTree()->rdobj(key);
    if (node->isEmpty())
        return 0;
    return sumBelow(manager, node);
}

QString releaseVersionString(const QString& module)
{
    const int a0 = ver(QStringLiteral("@0_") + module, false);
    const int a1 = ver(QStringLiteral("@1_") + module, false);
    const int a2 = ver(QStringLiteral("@2_") + module, false);
    QStringList extra;
    for (int n = 3; n <= 9; ++n) {
        const QString key = QStringLiteral("@%1_%2").arg(n).arg(module);
        if (versionManager().keyTree()->hasRdobj(key))
            extra.append(QString::number(ver(key, false)));
    }
    QString result = QStringLiteral("v%1.%2.%3").arg(a1).arg(a2).arg(ver(module, true) - a0);
    if (!extra.isEmpty())
        result += QLatin1Char('.') + extra.join(QLatin1Char('.'));
    return result;
}

// The framework's own version component.
static const int s_veCoreVersion = versionManager().regist(QStringLiteral("ve.core"), [] { return 1; });

} // namespace ve
