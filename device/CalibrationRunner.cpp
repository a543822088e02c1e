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

    block(tr("Preparing calibration..."));
    worker->command(CANWorker::ENCODER_CALIBRATION);
    if (!EventWait::until([engine] { return engine->status() == OTA_STA_ENCODER_CALI_ING; }, EnterLimitMs)) {
        block(QString());
        helper->showError(tr("Calibration failed!"));
        return;
    }

    // Every report of the motor restarts the silence clock.
    QElapsedTimer quiet;
    quiet.start();
    QObject guard;
    connect(engine, &otaThread::sendState, &guard, [&quiet] { quiet.restart(); });
    bool silent = false;
    auto leaves = [&](quint32 code) {
        return [&, code] {
            if (engine->status() != code)
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
    block(QString());
    if (silent)
        helper->showError(tr("Calibration failed!"));
}
