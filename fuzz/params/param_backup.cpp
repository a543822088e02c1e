// A parameter backup as a user may hand it to `restore`, `diff` or the page's comparison.
#include "FuzzSupport.h"

#include <ParamBackup.h>

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = fuzzSetUp();
    (void)ready;
    ParamBackup b;
    QString error;
    if (!ParamBackup::parse(QByteArray(reinterpret_cast<const char*>(data), int(size)), &b, &error))
        return 0;
    // Whatever parsed must compare and write back without trouble.
    QVector<ParamRow> rows(1);
    rows[0].code = 0x2005;
    rows[0].group = 2;
    rows[0].name = QStringLiteral("limit_spd");
    b.differences(rows);
    b.toJson();
    return 0;
}
