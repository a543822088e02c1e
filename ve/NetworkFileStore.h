#pragma once

#include "VeGlobal.h"

#include <QString>

namespace ve {

class NetworkFilePackage;

// Where received file packages may be written: only below a folder the user
// chose for the endpoint. Without a folder every file package is refused.
class VE_EXPORT NetworkFileStore
{
public:
    explicit NetworkFileStore(const QString& folder = QString());

    QString folder() const { return m_folder; }
    void setFolder(const QString& folder) { m_folder = folder; }

    // A peer's target path that may be used below the folder: relative,
    // printable ASCII, no "..", "\\", ":" or NUL. Pure text check.
    static bool isAcceptablePath(const QString& target, QString* error = nullptr);

    // The absolute path for target inside the folder, or empty with *error
    // set. No component may be a symlink; with create the missing
    // directories below the folder are made.
    QString resolve(const QString& target, QString* error = nullptr, bool create = false) const;

    // Writes a checked package (replace: atomically; append: every write
    // checked, the file cut back on failure). Returns the stored path or empty.
    QString store(const NetworkFilePackage& package, QString* error = nullptr) const;

private:
    QString m_folder;
};

} // namespace ve
