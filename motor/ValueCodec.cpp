#include "ValueCodec.h"

namespace ValueCodec {

namespace {
const char* const kTypeNames[]
    = {"uint8", "int8", "uint16", "int16", "uint32", "int32", "float", "uint64", "int64", "double", "none"};
const int kTypeSizes[] = {1, 1, 2, 2, 4, 4, 4, 8, 8, 8, 16};
} // namespace

int typeSize(int typeCode)
{
    if (typeCode < 0 || typeCode > 10)
        return 0;
    return kTypeSizes[typeCode];
}

QString typeName(int typeCode)
{
    if (typeCode < 0 || typeCode > 9)
        return QStringLiteral("none");
    return QString::fromLatin1(kTypeNames[typeCode]);
}

QString valueToText(int typeCode, const quint8* b)
{
    switch (typeCode) {
    case 0:
        return QString::number(load<quint8>(b));
    case 1:
        return QString::number(load<qint8>(b));
    case 2:
        return QString::number(load<quint16>(b));
    case 3:
        return QString::number(load<qint16>(b));
    case 4:
        return QString::number(load<quint32>(b));
    case 5:
        return QString::number(load<qint32>(b));
    case 6:
        return QString::number(double(load<float>(b)), 'f', 6);
    case 7:
        return QString::number(load<quint64>(b));
    case 8:
        return QString::number(load<qint64>(b));
    case 9:
        return QString::number(load<double>(b), 'f', 12);
    default:
        return QStringLiteral("none");
    }
}

} // namespace ValueCodec
