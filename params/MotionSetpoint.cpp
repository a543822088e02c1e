#include "MotionSetpoint.h"

#include <DataObject.h>

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QSignalBlocker>
#include <QSlider>

#include <cmath>

MotionSetpoint::MotionSetpoint(
    QObject* owner, const QString& path, QDoubleSpinBox* spin, QSlider* slider, QAbstractButton* zero)
    : m_owner(owner)
    , m_path(path)
    , m_spin(spin)
    , m_slider(slider)
    , m_zero(zero)
{ }

MotionSetpoint::~MotionSetpoint()
{
    unbind();
}

int MotionSetpoint::sliderPosition(const QDoubleSpinBox* spin, const QSlider* slider, double value)
{
    const double span = spin->maximum() - spin->minimum();
    if (span <= 0)
        return slider->minimum();
    const double k = (slider->maximum() - slider->minimum()) * (value - spin->minimum()) / span;
    return slider->minimum() + int(std::trunc(k));
}

double MotionSetpoint::valueAt(const QDoubleSpinBox* spin, const QSlider* slider, int position)
{
    const int span = slider->maximum() - slider->minimum();
    if (span <= 0)
        return spin->minimum();
    return spin->minimum()
        + double(position - slider->minimum()) * (spin->maximum() - spin->minimum()) / span;
}

void MotionSetpoint::unbind()
{
    for (const QMetaObject::Connection& c : qAsConst(m_connections))
        QObject::disconnect(c);
    m_connections.clear();
    m_leaf.clear();
}

void MotionSetpoint::bind(ve::DataObject* device)
{
    unbind();
    ve::DataObject* leaf = device ? device->r(m_path) : nullptr;
    if (!leaf || leaf->isEmpty())
        return;
    m_leaf = leaf;

    m_connections << QObject::connect(
        leaf, &ve::DataObject::changed, m_spin, [this](const QVariant& value) { show(value.toDouble()); });
    m_connections << QObject::connect(
        m_spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), m_spin, [this](double value) {
            store(value);
            const QSignalBlocker block(m_slider);
            m_slider->setValue(sliderPosition(m_spin, m_slider, value));
        });
    m_connections << QObject::connect(m_slider, &QSlider::valueChanged, m_slider, [this](int position) {
        {
            const QSignalBlocker block(m_spin);
            m_spin->setValue(valueAt(m_spin, m_slider, position));
        }
        // The leaf keeps what the entry shows (its decimals), which is also what a send uses.
        store(m_spin->value());
    });
    m_connections << QObject::connect(m_zero, &QAbstractButton::clicked, m_zero, [this] {
        if (m_leaf)
            m_leaf->set(m_owner, 0.0);
    });
    leaf->set(m_owner, leaf->get());
}

void MotionSetpoint::show(double value)
{
    {
        const QSignalBlocker block(m_spin);
        m_spin->setValue(value);
    }
    // The entry clamps; the slider follows what it shows.
    const QSignalBlocker block(m_slider);
    m_slider->setValue(sliderPosition(m_spin, m_slider, m_spin->value()));
}

void MotionSetpoint::store(double value)
{
    if (!m_leaf)
        return;
    const bool wasQuiet = m_leaf->isQuiet();
    m_leaf->quiet(true);
    m_leaf->set(m_owner, value);
    m_leaf->quiet(wasQuiet);
}
