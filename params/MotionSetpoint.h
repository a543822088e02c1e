#pragma once

#include <DataObject.h>

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>

class QAbstractButton;
class QDoubleSpinBox;
class QObject;
class QSlider;

// One set-point row of the motion panel bound to a leaf of the device's "_control": the entry,
// its slider and its zero button follow the leaf, and edits go back to it without its change
// signal (nothing is sent to the motor by editing). Rebinding drops every connection of the
// previous binding through the handles kept here, so a removed device leaves nothing behind.
class MotionSetpoint
{
public:
    MotionSetpoint(
        QObject* owner, const QString& path, QDoubleSpinBox* spin, QSlider* slider, QAbstractButton* zero);
    ~MotionSetpoint();
    MotionSetpoint(const MotionSetpoint&) = delete;
    MotionSetpoint& operator=(const MotionSetpoint&) = delete;

    // Binds to the leaf at the row's path under `device`; a device without it leaves the row
    // unbound, showing what it showed.
    void bind(ve::DataObject* device);
    void unbind();
    bool isBound() const { return !m_leaf.isNull(); }

    // Slider position of an entry value and entry value of a slider position (linear over the
    // two ranges, the position truncated).
    static int sliderPosition(const QDoubleSpinBox* spin, const QSlider* slider, double value);
    static double valueAt(const QDoubleSpinBox* spin, const QSlider* slider, int position);

private:
    void show(double value);
    void store(double value);

    QObject* m_owner;
    QString m_path;
    QDoubleSpinBox* m_spin;
    QSlider* m_slider;
    QAbstractButton* m_zero;
    QPointer<ve::DataObject> m_leaf;
    QList<QMetaObject::Connection> m_connections;
};
