#pragma once

#include "DataManager.h"
#include "Logging.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <memory>
#include <type_traits>

namespace ve {

// Registry of creators under dotted keys. The keys also form a small tree
// (below a detached node) so that a key can be summed with all keys below
// it. Filled by static registrations before main, read afterwards.
template <typename Product, typename Creator>
class CreatorManager
{
public:
    using Function = std::function<std::remove_pointer_t<Creator>>;

    CreatorManager()
    {
        // The data manager must outlive the key tree: constructing it first
        // makes it be destroyed last.
        DataManager::instance();
        m_keys.reset(new DataObject(QStringLiteral("_creator_key")));
    }

    // Enters key once; a second registration of a key changes nothing. An
    // empty creator is refused, since calling it later could only fail.
    int regist(const QString& key, const Function& creator)
    {
        if (m_creators.contains(key))
            return 0;
        if (!creator) {
            logError() << "<creator> refused an empty creator for: \"" << key << "\"";
            return 0;
        }
        m_creators.insert(key, creator);
        m_keys->set(m_keys.get(), key, QVariant(), true);
        return 0;
    }

    bool contains(const QString& key) const { return m_creators.contains(key); }

    // The product of key's creator; a default product when key is unknown.
    Product create(const QString& key) const
    {
        const auto it = m_creators.constFind(key);
        return it == m_creators.constEnd() ? Product() : (*it)();
    }

    DataObject* keyTree() const { return m_keys.get(); }

private:
    QHash<QString, Function> m_creators;
    std::unique_ptr<DataObject> m_keys;
};

} // namespace ve
