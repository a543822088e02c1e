#pragma once

#include "BaseEditorPage.h"
#include "BenchRig.h"

#include <QStringList>
#include <QWidget>

namespace ve {
class DataObject;
}

// A page kind standing in for the pages later parts provide.
class TestPage : public QWidget, public BaseEditorPage
{
    Q_OBJECT
public:
    TestPage(const QString& type, QWidget* parent)
        : QWidget(parent)
        , BaseEditorPage(type)
    { }
};

namespace shelltest {
// Installs recording dialogs (returned) and brings the tree back to the template's state.
RecordingDialogs* reset();
// Adds a device node named by its MCU ID, completed from the per-device template as the device tree does.
ve::DataObject* addDevice(const QString& mcuId, int canId);
// Registers TestPage factories for the device, parameter and oscilloscope pages.
void registerTestPages();
} // namespace shelltest
