#pragma once

#include "BaseCommand.h"

#include <QHash>
#include <QPointer>
#include <QStringList>

namespace ve {

// The registry of text commands by key. The data manager registers
// "convert" while it is built, which can be during static initialisation:
// construction needs nothing else of the framework and no application object.
class VE_EXPORT CommandManager : public QObject
{
    Q_OBJECT
public:
    static CommandManager* instance();

    // False when the key is taken (the first command stays).
    bool regist(ve::BaseCommand* command);
    // The command is not deleted.
    bool cancel(const QString& key);
    BaseCommand* get(const QString& key) const;
    QStringList keys() const;

signals:
    void commandAdded(const QString& key);
    void commandRemoved(const QString& key);

private:
    CommandManager() = default;

    // Guarded: a command deleted by its owner reads as not registered.
    QHash<QString, QPointer<BaseCommand>> m_commands;
};

VE_EXPORT CommandManager* command();

} // namespace ve
