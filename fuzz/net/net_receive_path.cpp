// A peer's target path: whatever the validator accepts must name a file
// inside the receive folder, never through a link and never above it.
#include "FuzzSupport.h"
#include "NetworkFileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

// A receive folder with a link out of it, a subfolder and a file.
struct Folder
{
    QTemporaryDir outer;
    QString path;
    QString canonical;
    Folder()
    {
        path = outer.path() + "/in";
        QDir().mkpath(path + "/sub/deeper");
        QFile::link("/", path + "/rootlink");
        QFile::link(outer.path(), path + "/sub/uplink");
        QFile file(path + "/sub/file");
        file.open(QIODevice::WriteOnly);
        canonical = QFileInfo(path).canonicalFilePath();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    static Folder folder;
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    for (const QString& target : {QString::fromUtf8(bytes), QString::fromLatin1(bytes)}) {
        const bool acceptable = ve::NetworkFileStore::isAcceptablePath(target);
        if (acceptable) {
            const QString joined = QDir::cleanPath(folder.path + '/' + target);
            if (!joined.startsWith(folder.path + '/'))
                std::abort();
        }
        QString error;
        const QString resolved = ve::NetworkFileStore(folder.path).resolve(target, &error, false);
        if (resolved.isEmpty() == error.isEmpty())
            std::abort();
        if (resolved.isEmpty())
            continue;
        if (!acceptable || !resolved.startsWith(folder.path + '/'))
            std::abort();
        // The folder that would hold the file really lies inside the receive folder.
        const QString parent = QFileInfo(QFileInfo(resolved).absolutePath()).canonicalFilePath();
        if (parent != folder.canonical && !parent.startsWith(folder.canonical + '/'))
            std::abort();
        if (QFileInfo(resolved).isSymLink())
            std::abort();
    }
    return 0;
}
