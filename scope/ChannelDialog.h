#pragma once

#include <QDialog>
#include <QVector>

#include <functional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QPushButton;
namespace ve {
class DataObject;
}

// Picks, per channel slot, which published parameter of the device the oscilloscope samples.
// Only numeric parameters are offered: a text entry would make a record longer than the motor
// can send.
class ChannelDialog : public QDialog
{
    Q_OBJECT
public:
    // numeric(k): whether the k-th child of `params` holds a number (all are, when not given).
    ChannelDialog(ve::DataObject* params, ve::DataObject* channels, QWidget* parent = nullptr,
        std::function<bool(int)> numeric = {});

    QComboBox* combo(int row) const { return m_combos.value(row); }
    QPushButton* swatch(int row) const { return m_swatches.value(row); }
    QCheckBox* chbLegend;
    QDialogButtonBox* buttonBox;

private:
    void choose(int row, int index);

    ve::DataObject* m_channels;
    QVector<QComboBox*> m_combos;
    QVector<QPushButton*> m_swatches;
};
