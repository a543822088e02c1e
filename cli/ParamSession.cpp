#include "ParamSession.h"

#include "MotorLink.h"

#include <CANWorker.h>
#include <DataObject.h>
#include <ParamTable.h>
#include <ParamTransfer.h>
#include <otaThread.h>

#include <cstring>

namespace {
QString codeText(quint16 code)
{
    return ParamRow::codeText(code);
}

QString currentText(const ParamEntry& e, int group)
{
    if (group == 0 || group == 1)
        return e.valueText;
    return ParamTable::valueToText(e.type, e.current);
}
} // namespace

ParamSession::ParamSession(MotorLink& link)
    : link_(link)
{ }

QString ParamSession::lastErrorOr(const QString& fallback) const
{
    return link_.lastError().isEmpty() ? fallback : link_.lastError();
}

CliStatus ParamSession::loadDescriptors()
{
    link_.mark();
    if (!link_.worker()->command(CANWorker::LOAD_PARAM))
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no motor selected"));
    const int code = link_.waitStatus(
        {OTA_STA_GET_PARA_INFO_SUCCESS, OTA_STA_GET_PARA_INFO_ERROR, OTA_STA_GET_PARA_INFO_OVER_TIME},
        link_.timeout());
    if (code == OTA_STA_GET_PARA_INFO_SUCCESS)
        return CliStatus::success();
    if (code == OTA_STA_GET_PARA_INFO_ERROR) {
        QString beyond;
        link_.engine()->withParams([&beyond](ParamTable& t) {
            for (int g = 0; g < ParamTable::GroupCount; ++g)
                if (t.dropped(g))
                    beyond += QStringLiteral("; %1 entries of group %2 beyond its capacity of %3")
                                  .arg(t.dropped(g))
                                  .arg(g)
                                  .arg(ParamTable::groupSize(g));
        });
        return CliStatus::fail(CliStatus::MotorFailed,
            QStringLiteral("the motor's parameter description is incomplete (error bits 0x%1%2)")
                .arg(link_.engine()->errorSet(), 0, 16)
                .arg(beyond));
    }
    return link_.failure(QStringLiteral("the motor did not describe its parameters in time"));
}

CliStatus ParamSession::read(int group, int index)
{
    otaThread* e = link_.engine();
    e->setTransfer(group, quint16(index));
    link_.mark();
    link_.worker()->readParam(false);
    const int code = link_.waitStatus(
        {OTA_STA_READ_PARA_SUCCESS, OTA_STA_READ_PARA_ERROR, OTA_STA_READ_PARA_OVER_TIME}, link_.timeout());
    if (code == OTA_STA_READ_PARA_SUCCESS)
        return CliStatus::success();
    const quint16 pc = ParamTable::code(group, index);
    if (code == OTA_STA_READ_PARA_ERROR)
        return CliStatus::fail(CliStatus::MotorFailed,
            lastErrorOr(QStringLiteral("Read param from %1 failed").arg(codeText(pc))));
    return link_.failure(QStringLiteral("no answer to the read of %1").arg(codeText(pc)));
}

CliStatus ParamSession::uploadAll()
{
    ParamTransfer chain(link_.worker(), link_.current());
    bool ended = false, ok = false;
    QObject::connect(&chain, &ParamTransfer::finished, [&](bool result) {
        ended = true;
        ok = result;
    });
    link_.mark();
    if (!chain.upload())
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no motor selected"));
    // The chain ends by itself (the engine limits every read); the wait is bounded all the same.
    link_.waitActive([&] { return ended; }, link_.timeout() + 1000);
    if (ok)
        return CliStatus::success();
    const QString code = codeText(link_.engine()->transferCode());
    if (ended && link_.engine()->status() == OTA_STA_READ_PARA_ERROR)
        return CliStatus::fail(
            CliStatus::MotorFailed, lastErrorOr(QStringLiteral("Read param from %1 failed").arg(code)));
    return link_.failure(QStringLiteral("no answer to the read of %1").arg(code));
}

CliStatus ParamSession::stage(int group, int index, const QString& text, bool* staged)
{
    *staged = false;
    const quint16 base = channelBase();
    return link_.engine()->withParams([&](ParamTable& t) -> CliStatus {
        if (!t.valid(group, index) || index >= t.count(group))
            return CliStatus::fail(CliStatus::Usage,
                QStringLiteral("no parameter %1").arg(codeText(ParamTable::code(group, index))));
        ParamEntry& e = t.entry(group, index);
        if (!ParamRow::editable(group, index, base, e.flags))
            return CliStatus::fail(CliStatus::Usage,
                QStringLiteral("%1 %2 is not writable (%3)")
                    .arg(codeText(ParamTable::code(group, index)), e.name,
                        ParamRow::propertyText(group, index, base, e.flags)));
        const QString stored = currentText(e, group);
        const ParamRow::Check r = group == 0
            ? ParamRow::checkString(index, text, stored)
            : ParamRow::checkNumber(index, text, e.type, e.min, e.max, e.decimals, stored);
        if (r.verdict == ParamRow::Rejected) {
            e.modified = false;
            QString note = r.note;
            if (group == 2 && r.note == QLatin1String(ParamRow::OutOfRange))
                note += QStringLiteral(" (%1 to %2)")
                            .arg(ParamTable::limitToText(e.type, e.min, e.decimals),
                                ParamTable::limitToText(e.type, e.max, e.decimals));
            return CliStatus::fail(CliStatus::Usage,
                QStringLiteral("%1 %2: %3").arg(codeText(ParamTable::code(group, index)), e.name, note));
        }
        if (r.verdict == ParamRow::Unchanged) {
            e.modified = false;
            return CliStatus::success();
        }
        std::memcpy(e.buffer, r.bytes, sizeof(e.buffer));
        e.modified = true;
        *staged = true;
        return CliStatus::success();
    });
}

CliStatus ParamSession::writeAt(int group, int index)
{
    otaThread* eng = link_.engine();
    eng->setTransfer(group, quint16(index));
    link_.mark();
    link_.worker()->runStep(STEP_WRITE_PARA_STR);
    const int code = link_.waitStatus(
        {OTA_STA_WRITE_PARA_SUCCESS, OTA_STA_WRITE_PARA_ERROR, OTA_STA_WRITE_PARA_OVER_TIME},
        link_.timeout());
    const quint16 pc = ParamTable::code(group, index);
    if (code == OTA_STA_WRITE_PARA_SUCCESS) {
        // The motor took it: the written value is now the stored one.
        eng->withParams([&](ParamTable& t) {
            ParamEntry& e = t.entry(group, index);
            if (group == 0) {
                e.valueText = QString::fromLatin1(reinterpret_cast<const char*>(e.buffer));
            } else {
                std::memset(e.current, 0, sizeof(e.current));
                std::memcpy(e.current, e.buffer, size_t(qMin(8, CanProtocol::typeSize(e.type))));
                e.valueText = ParamTable::valueToText(e.type, e.current);
            }
            e.modified = false;
        });
        return CliStatus::success();
    }
    eng->withParams([&](ParamTable& t) { t.entry(group, index).modified = false; });
    if (code == OTA_STA_WRITE_PARA_ERROR)
        return CliStatus::fail(
            CliStatus::MotorFailed, lastErrorOr(QStringLiteral("Write param to %1failed").arg(codeText(pc))));
    return link_.failure(QStringLiteral("no answer to the write of %1").arg(codeText(pc)));
}

CliStatus ParamSession::write(int group, int index, const QString& text, bool* changed)
{
    bool staged = false;
    const CliStatus st = stage(group, index, text, &staged);
    if (changed)
        *changed = staged;
    if (!st.ok() || !staged)
        return st;
    return writeAt(group, index);
}

CliStatus ParamSession::download(QStringList* failed)
{
    otaThread* eng = link_.engine();
    auto anyModified = [eng] {
        return eng->withParams([](ParamTable& t) {
            for (int g : {0, 2})
                for (int i = 0; i < t.count(g); ++i)
                    if (t.entry(g, i).modified)
                        return true;
            return false;
        });
    };
    ParamTransfer chain(link_.worker(), link_.current());
    bool ended = false, ok = false;
    QObject::connect(&chain, &ParamTransfer::finished, [&](bool result) {
        ended = true;
        ok = result;
    });
    // The chain stops at a refused entry; the rest are still written, and saved at the end.
    bool saved = false;
    while (anyModified()) {
        ended = ok = false;
        link_.mark();
        chain.download();
        link_.waitActive([&] { return ended; }, link_.timeout() + 1000);
        if (ok) {
            saved = true;
            break;
        }
        if (!ended || eng->status() != OTA_STA_WRITE_PARA_ERROR)
            return link_.failure(
                QStringLiteral("no answer to the write of %1").arg(codeText(eng->transferCode())));
        const quint16 code = eng->transferCode();
        failed->append(lastErrorOr(QStringLiteral("Write param to %1failed").arg(codeText(code))));
        eng->withParams([code](ParamTable& t) {
            const int g = code >> 12, i = code & 0xFFF;
            if (t.valid(g, i))
                t.entry(g, i).modified = false;
        });
    }
    return saved ? CliStatus::success() : save();
}

CliStatus ParamSession::save()
{
    link_.mark();
    if (!link_.worker()->runStep(STEP_SAVE_PARA_STR))
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no motor selected"));
    const int code = link_.waitStatus(
        {OTA_STA_SAVE_PARA_SUCCESS, OTA_STA_WRITE_PARA_ERROR, OTA_STA_WRITE_PARA_OVER_TIME}, link_.timeout());
    if (code == OTA_STA_SAVE_PARA_SUCCESS)
        return CliStatus::success();
    if (code == OTA_STA_WRITE_PARA_ERROR)
        return CliStatus::fail(
            CliStatus::MotorFailed, lastErrorOr(QStringLiteral("the motor refused to save")));
    return link_.failure(QStringLiteral("the motor did not confirm the save in time"));
}

CliStatus ParamSession::factoryReset()
{
    link_.mark();
    if (!link_.worker()->runStep(STEP_RECOVER_FAC))
        return CliStatus::fail(CliStatus::Usage, QStringLiteral("no motor selected"));
    // The engine goes idle at once; the motor's answer is a parameter-write reply.
    const int code
        = link_.waitStatus({OTA_STA_WRITE_PARA_SUCCESS, OTA_STA_WRITE_PARA_ERROR}, link_.timeout());
    if (code == OTA_STA_WRITE_PARA_SUCCESS)
        return CliStatus::success();
    if (code == OTA_STA_WRITE_PARA_ERROR)
        return CliStatus::fail(
            CliStatus::MotorFailed, lastErrorOr(QStringLiteral("the motor refused the factory reset")));
    return link_.failure(QStringLiteral("the motor did not confirm the factory reset in time"));
}

quint16 ParamSession::channelBase() const
{
    return link_.engine()->withParams([](ParamTable& t) { return t.channelBase(); });
}

int ParamSession::count(int group) const
{
    return link_.engine()->withParams([group](ParamTable& t) { return int(t.count(group)); });
}

bool ParamSession::find(const QString& key, int* group, int* index) const
{
    bool isNumber = false;
    const uint code = key.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
        ? key.mid(2).toUInt(&isNumber, 16)
        : key.toUInt(&isNumber, 10);
    return link_.engine()->withParams([&](ParamTable& t) {
        for (int g = 0; g < ParamTable::GroupCount; ++g) {
            for (int i = 0; i < t.count(g); ++i) {
                const bool hit = isNumber ? code == ParamTable::code(g, i) : t.entry(g, i).name == key;
                if (hit) {
                    *group = g;
                    *index = i;
                    return true;
                }
            }
        }
        return false;
    });
}

ParamRow ParamSession::row(int g, int i) const
{
    return link_.engine()->withParams([&](ParamTable& t) { return ParamRow::of(t, g, i); });
}

QVector<ParamRow> ParamSession::rows() const
{
    return link_.engine()->withParams([](ParamTable& t) { return ParamRow::all(t); });
}

QStringList ParamSession::channelNames() const
{
    return link_.engine()->withParams([](ParamTable& t) {
        QStringList names;
        for (int i = t.channelBase() + 1; i < t.count(2); ++i)
            names << t.entry(2, i).name;
        for (int i = 0; i < t.count(3); ++i)
            names << t.entry(3, i).name;
        return names;
    });
}
