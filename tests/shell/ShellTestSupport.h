#pragma once

#include "BaseEditorPage.h"
#include "DialogProvider.h"

#include <QStringList>
#include <QWidget>

namespace ve {
class DataObject;
}

// Records every box and dialog instead of showing it; file dialogs answer
// from a queue (an empty answer is a cancelled dialog).
class FakeDialogs : public DialogProvider
{
public:
    struct Box
    {
        DialogProvider::Box kind;
        QString title;
        QString text;
    };
    struct FileDialog
    {
        bool save;
        QString caption;
        QString dir;
        QString filter;
    };

    bool messageBox(
        DialogProvider::Box kind, QWidget* parent, const QString& title, const QString& text) override;
    QString getOpenFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
    QString getSaveFileName(
        QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;

    QList<Box> boxes;
    QList<FileDialog> fileDialogs;
    QStringList answers;
    bool confirm = true;
};

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
// Installs the fake dialogs (returned) and brings the tree back to the template's state.
FakeDialogs* reset();
// Adds a device node named by its MCU ID, completed from the per-device template as the device tree does.
ve::DataObject* addDevice(const QString& mcuId, int canId);
// Registers TestPage factories for the device, parameter and oscilloscope pages.
void registerTestPages();
} // namespace shelltest
