#pragma once

#include "DataManager.h"
#include "LogCapture.h"

#include <QString>

// A detached branch for one test, destroyed with the test, so tests do not
// see each other's nodes in the global tree.
class TestTree
{
public:
    TestTree()
        : m_root(new ve::DataObject(QStringLiteral("test_root")))
    { }
    ~TestTree() { delete m_root; }
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    ve::DataObject* root() const { return m_root; }
    ve::DataObject* make(const QString& path)
    {
        m_root->insert(nullptr, path, false);
        return m_root->rdobj(path);
    }

private:
    ve::DataObject* m_root;
};
