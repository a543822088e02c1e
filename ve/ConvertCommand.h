#pragma once

#include "BaseCommand.h"

namespace ve {

// "convert JSON|XML|BIN JSON|XML|BIN -data=<data>|-path=<path>": converts
// data between the tree's JSON, XML and binary forms. A failure emits one
// error and no output.
class VE_EXPORT ConvertCommand : public BaseCommand
{
    Q_OBJECT
public:
    // Inputs beyond this (a file, or what compressed data expand to) are
    // refused rather than read into memory.
    static constexpr qint64 MaxDataSize = 64 * 1024 * 1024;

    explicit ConvertCommand(QObject* parent = nullptr);

    QString usage() const override;
    QString instruction() const override;
    void run(ve::DataObject* dobj, const QString& text) override;

    // The qCompress form (4-byte big-endian size, then zlib) expanded, at
    // most MaxDataSize bytes; false for anything else.
    static bool uncompressBounded(const QByteArray& data, QByteArray& out);
};

} // namespace ve
