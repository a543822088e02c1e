#pragma once

#include "VeGlobal.h"

#include <QObject>

namespace ve {

class DataObject;

// A text command run on a data-tree node; it reports through its signals.
class VE_EXPORT BaseCommand : public QObject
{
    Q_OBJECT
public:
    BaseCommand(const QString& key, bool is_root = false, QObject* parent = nullptr);

    QString key() const { return m_key; }
    bool isRoot() const { return m_isRoot; }

    // run(), then finished().
    void exec(ve::DataObject* dobj, const QString& text);
    void autoComplete(ve::DataObject* dobj, const QString& text);
    void autoHint(ve::DataObject* dobj, const QString& text);

public slots:
    virtual QString usage() const { return QString(); }
    virtual QString instruction() const { return usage(); }
    virtual void complete(ve::DataObject* dobj, const QString& text);
    virtual void hint(ve::DataObject* dobj, const QString& text);
    virtual void run(ve::DataObject* dobj, const QString& text);

signals:
    void input(const QString& text);
    void output(const QString& text);
    void error(const QString& text);
    void message(const QString& text);
    void unknown(const QString& option);
    void finished();

private:
    QString m_key;
    bool m_isRoot;
};

} // namespace ve
