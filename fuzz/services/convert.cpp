// "convert" with -data= for each origin form. The first byte picks the origin
// form, the target form and whether binary input arrives already compressed
// (exercising the bounded expansion) or as the plain binary form (reaching
// the node import). A run must end in exactly one output or one error.
#include "CommandManager.h"
#include "DataManager.h"
#include "FuzzSupport.h"
#include "NetworkJsonPackage.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

// The plain binary form as "convert" takes it: the length, big-endian, then a
// zlib stream of stored blocks. Made by hand, since a compressor set up for
// every input would cost more than the conversion.
QByteArray stored(const QByteArray& body)
{
    QByteArray out;
    const quint32 size = quint32(body.size());
    out.append(char(size >> 24)).append(char(size >> 16)).append(char(size >> 8)).append(char(size));
    out.append("\x78\x01", 2);
    int pos = 0;
    do {
        const int n = qMin(body.size() - pos, 0xffff);
        out.append(char(pos + n == body.size() ? 1 : 0));
        out.append(char(n)).append(char(n >> 8)).append(char(~n)).append(char(~n >> 8));
        out.append(body.constData() + pos, n);
        pos += n;
    } while (pos < body.size());
    quint32 a = 1;
    quint32 b = 0;
    for (const char c : body) {
        a = (a + quint8(c)) % 65521;
        b = (b + a) % 65521;
    }
    const quint32 adler = (b << 16) | a;
    out.append(char(adler >> 24)).append(char(adler >> 16)).append(char(adler >> 8)).append(char(adler));
    return out;
}

} // namespace

// Log lines would cost more than the conversion: the console output is
// dropped, and a file named "log" in a folder of its own keeps the day's log
// file from being opened at all.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzSetUp();
    const QString dir = QDir::temp().filePath(QStringLiteral("servobench-fuzz-convert"));
    QDir().mkpath(dir);
    QDir::setCurrent(dir);
    QFile block(QStringLiteral("log"));
    if (!block.exists() && block.open(QIODevice::WriteOnly))
        block.close();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const char* const forms[] = {"JSON", "XML", "BIN"};
    const int origin = data[0] % 3;
    const int target = (origin + 1 + (data[0] >> 2 & 1)) % 3;
    const bool compressed = data[0] & 0x80;
    const QByteArray body(reinterpret_cast<const char*>(data + 1), int(size - 1));

    QString payload;
    if (origin == 2) {
        payload = QString::fromLatin1((compressed ? body : stored(body)).toHex(' '));
    } else {
        // Qt's reader loses memory on a repeated name (see tree_json.cpp).
        if (origin == 0 && ve::NetworkJsonPackage::hasDuplicateKeys(body))
            return 0;
        payload = QString::fromUtf8(body);
    }

    ve::d();
    ve::BaseCommand* convert = ve::command()->get(QStringLiteral("convert"));
    if (!convert)
        std::abort();
    int outputs = 0;
    int errors = 0;
    QObject scope;
    QObject::connect(convert, &ve::BaseCommand::output, &scope, [&outputs] { ++outputs; });
    QObject::connect(convert, &ve::BaseCommand::error, &scope, [&errors] { ++errors; });
    convert->exec(ve::d().rootDobj(),
        QStringLiteral("%1 %2 -data=%3")
            .arg(QLatin1String(forms[origin]), QLatin1String(forms[target]), payload));
    if (outputs + errors != 1)
        std::abort();
    return 0;
}
