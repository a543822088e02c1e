#pragma once

#include <QString>
#include <QtGlobal>

#include <cstring>
#include <type_traits>

// The value types of the motor's parameters and samples (type codes 0 to 10): their sizes and
// names, little-endian loads and stores, and the text a value is shown as. The one copy the
// protocol, the parameter table and the sample decoder share.
namespace ValueCodec {

int typeSize(int typeCode); // 0 for unknown codes
QString typeName(int typeCode); // "uint8" ... "double", else "none"

// The wire is little-endian whatever the host is.
template <class T>
T load(const quint8* b)
{
    static_assert(std::is_arithmetic<T>::value, "plain values only");
    using U = std::conditional_t<sizeof(T) == 1, quint8,
        std::conditional_t<sizeof(T) == 2, quint16, std::conditional_t<sizeof(T) == 4, quint32, quint64>>>;
    U u = 0;
    for (size_t k = 0; k < sizeof(T); ++k)
        u |= U(U(b[k]) << (8 * k));
    T v;
    std::memcpy(&v, &u, sizeof(T));
    return v;
}

template <class T>
void store(quint8* b, T v)
{
    static_assert(std::is_arithmetic<T>::value, "plain values only");
    using U = std::conditional_t<sizeof(T) == 1, quint8,
        std::conditional_t<sizeof(T) == 2, quint16, std::conditional_t<sizeof(T) == 4, quint32, quint64>>>;
    U u;
    std::memcpy(&u, &v, sizeof(T));
    for (size_t k = 0; k < sizeof(T); ++k)
        b[k] = quint8(u >> (8 * k));
}

// Decimal; floats with 6 decimals, doubles with 12; "none" for codes above 9.
QString valueToText(int typeCode, const quint8* bytes);

} // namespace ValueCodec
