#pragma once

#include "CreatorManager.h"

namespace ve {

using VersionManager = CreatorManager<int, int (*)()>;

// The process-wide version registry, created on first use.
VE_EXPORT VersionManager& versionManager();
VE_EXPORT VersionManager& ver();

// Non-recursive: the version registered under key (0 when none). Recursive:
// the sum over key and every key below it in the key tree.
VE_EXPORT int ver(const QString& key, bool recursive = false);

// "v<@1>.<@2>.<ver(module, true) - @0>" plus ".<@3>..." components when
// registered, from the keys "@<n>_<module>".
VE_EXPORT QString releaseVersionString(const QString& module);

} // namespace ve
