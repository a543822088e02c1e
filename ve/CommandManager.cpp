#include "CommandManager.h"

namespace ve {

CommandManager* CommandManager::instance()
{
    static CommandManager manager;
    return &manager;
}

CommandManager* command()
{
    return CommandManager::instance();
}

bool CommandManager::regist(BaseCommand* command)
{
    if (!command)
        return false;
    const QString key = command->key();
    const auto it = m_commands.constFind(key);
    if (it != m_commands.constEnd() && *it)
        return false;
    m_commands.insert(key, command);
    emit commandAdded(key);
    return true;
}

bool CommandManager::cancel(const QString& key)
{
    if (!m_commands.contains(key))
        return false;
    emit commandRemoved(key);
    m_commands.remove(key);
    return true;
}

BaseCommand* CommandManager::get(const QString& key) const
{
    return m_commands.value(key);
}

QStringList CommandManager::keys() const
{
    return m_commands.keys();
}

} // namespace ve
