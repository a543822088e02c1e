#pragma once

#include "AdapterLink.h"
#include "otaThread.h"

#include <QObject>
#include <QTest>

#include <deque>
#include <functional>

// An engine on its own thread with a scripted peer: every byte array the engine writes is recorded
// and handed to `peer`, which may queue replies; replies are fed back from the test's loop so a long
// conversation never recurses.
struct EngineRig
{
    otaThread eng;
    QList<QByteArray> sent;
    QList<OtaStatus> statuses;
    std::deque<QByteArray> replies;
    std::function<void(const QByteArray&)> peer;

    EngineRig()
    {
        QObject::connect(&eng, &otaThread::WriteToSerial, [this](const QByteArray& b) {
            sent.append(b);
            if (peer)
                peer(b);
        });
        QObject::connect(&eng, &otaThread::sendState, [this](const OtaStatus& s) { statuses.append(s); });
        eng.start();
    }
    ~EngineRig()
    {
        eng.startStep(STEP_QUIT);
        eng.wait();
    }

    static QByteArray reply(quint8 type, quint8 ext, quint8 src, const QByteArray& data = QByteArray(8, 0))
    {
        CanPack f(CanProtocol::makeId(type, ext, src, CanProtocol::HostId), quint8(data.size()));
        std::memcpy(f.data, data.constData(), size_t(qMin(8, data.size())));
        return AdapterLink::envelope(f);
    }
    static QByteArray reply16(quint8 type, quint16 area2, const QByteArray& data = QByteArray(8, 0))
    {
        CanPack f(CanProtocol::makeId16(type, area2, CanProtocol::HostId));
        std::memcpy(f.data, data.constData(), size_t(qMin(8, data.size())));
        return AdapterLink::envelope(f);
    }
    static CanPack frameOf(const QByteArray& b)
    {
        CanPack f;
        AdapterLink::parseFrame(b, &f);
        return f;
    }
    void queue(const QByteArray& b) { replies.push_back(b); }
    void pump()
    {
        while (!replies.empty()) {
            const QByteArray r = replies.front();
            replies.pop_front();
            eng.getSerialData(r);
        }
    }
    int count(quint32 code) const
    {
        int n = 0;
        for (const auto& s : statuses)
            n += s.code == code ? 1 : 0;
        return n;
    }
    bool waitFor(quint32 code, int ms = 3000)
    {
        return QTest::qWaitFor(
            [&] {
                pump();
                return count(code) > 0;
            },
            ms);
    }
    OtaStatus last() const { return statuses.isEmpty() ? OtaStatus() : statuses.last(); }
};
