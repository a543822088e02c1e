#include "CalibrationRunner.h"

#include "CANWorker.h"
#include "EventWait.h"
#include "Helper.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QElapsedTimer>

namespace {
int s_silenceLimitMs = 15000;
constexpr int EnterLimitMs = 8000;
} // namespace

CalibrationRunner::CalibrationRunner(QObject* sender)
    : m_sender(sender)
{ }

void CalibrationRunner::setSilenceLimitMs(int ms)
{
    s_silenceLimitMs = ms;
}

int CalibrationRunner::silenceLimitMs()
{
    return s_silenceLimitMs;
}

void CalibrationRunner::block(const QString& text)
{
    ve::d().rootDobj()->set(m_sender, "trigger.block", text, true);
}

void CalibrationRunner::run()
{
    Helper* helper = Helper::instance();
    CANWorker* worker = helper->canWorker();
    if (!worker || helper->currentDevice()->isEmpty())
        return;
    if (!helper->askConfirm(tr("The motor will rotate during calibration, are you sure to continue?")))
        return;
    otaThread* engine = worker->engine();

    // Every status the engine reports is seen here in order. The mode acknowledgement and
    // feedback may land between progress reports; they neither start nor end a phase. Reports
    // are followed as they come, so a status left over from an earlier run cannot pass for one
    // of this run.
    quint32 phase = OTA_STA_DETECT_MCU;
    bool started = false;
    QElapsedTimer quiet;
    quiet.start();
    QObject guard;
    connect(engine, &otaThread::sendState, &guard, [&](const OtaStatus& s) {
        quiet.restart();
        if (s.code == OTA_STA_CALI_MODE_SUCCESS || s.code == OTA_STA_MOTOR_FEEDBACK
            || s.code == OTA_STA_MOTOR_FAULTWARN)
            return;
        phase = s.code;
        started |= s.code == OTA_STA_ENCODER_CALI_ING;
    });

    block(tr("Preparing calibration..."));
    worker->command(CANWorker::ENCODER_CALIBRATION);
    if (!EventWait::until([&] { return started; }, EnterLimitMs)) {
        block(QStringLiteral(""));
        helper->showError(tr("Calibration failed!"));
        return;
    }

    bool silent = false;
    auto leaves = [&](quint32 code) {
        return [&, code] {
            if (phase != code)
                return true;
            silent = quiet.elapsed() > s_silenceLimitMs;
            return silent;
        };
    };

    block(tr("Calibrating encoder..."));
    EventWait::until(leaves(OTA_STA_ENCODER_CALI_ING), -1);
    if (!silent) {
        block(tr("Saving calibration result..."));
        EventWait::until(leaves(OTA_STA_ENCODER_CALI_RESULT), -1);
    }
    block(QStringLiteral(""));
    if (silent)
        helper->showError(tr("Calibration failed!"));
}
