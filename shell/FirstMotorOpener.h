#pragma once

#include <DataObject.h>

#include <QObject>
#include <QPointer>

class CANWorker;

// Opens the parameter table of the first motor found after start, also when several motors are
// kept. The worker opens it by itself only while one motor is kept; with several it leaves the
// choice to the user. A start-up option asks for it, so the shipped settings keep their meaning.
class FirstMotorOpener : public QObject
{
    Q_OBJECT
public:
    explicit FirstMotorOpener(CANWorker* worker, QObject* parent = nullptr);

    // The motor whose table was asked for; null until one was found.
    ve::DataObject* device() const { return m_device; }

private:
    void onDeviceChanged();

    QPointer<ve::DataObject> m_device;
    bool m_done = false;
};
