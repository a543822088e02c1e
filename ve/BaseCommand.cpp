#include "BaseCommand.h"

namespace ve {

BaseCommand::BaseCommand(const QString& key, bool is_root, QObject* parent)
    : QObject(parent)
    , m_key(key)
    , m_isRoot(is_root)
{ }

void BaseCommand::exec(DataObject* dobj, const QString& text)
{
    run(dobj, text);
    emit finished();
}

void BaseCommand::autoComplete(DataObject* dobj, const QString& text)
{
    complete(dobj, text);
}

void BaseCommand::autoHint(DataObject* dobj, const QString& text)
{
    hint(dobj, text);
}

void BaseCommand::complete(DataObject*, const QString&) { }

void BaseCommand::hint(DataObject*, const QString&) { }

void BaseCommand::run(DataObject*, const QString&) { }

} // namespace ve
