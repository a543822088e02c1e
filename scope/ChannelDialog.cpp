#include "ChannelDialog.h"

#include "waveDisplay.h"

#include <DataManager.h>
#include <DataObject.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QIcon swatchIcon(const QColor& c)
{
    QPixmap pm(16, 16);
    pm.fill(c);
    return QIcon(pm);
}
} // namespace

ChannelDialog::ChannelDialog(
    ve::DataObject* params, ve::DataObject* channels, QWidget* parent, std::function<bool(int)> numeric)
    : QDialog(parent)
    , chbLegend(new QCheckBox(tr("Legend"), this))
    , buttonBox(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
    , m_channels(channels)
{
    setObjectName("ChannelDialog");
    setWindowTitle(tr("Select channel"));
    setAttribute(Qt::WA_DeleteOnClose);

    QStringList names {tr("None")};
    QVector<int> indices {0};
    for (int k = 1; k <= params->size(); ++k) {
        if (numeric && !numeric(k))
            continue;
        names << params->cdobj(k - 1)->name();
        indices << k;
    }

    auto* grid = new QGridLayout;
    for (int row = 0; row < waveDisplay::Slots; ++row) {
        ve::DataObject* record = channels->cdobj(row);
        grid->addWidget(new QLabel(tr("Channel %1").arg(row + 1), this), row, 0);
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("cmbChannel%1").arg(row + 1));
        combo->setStyleSheet("combobox-popup: 0;");
        combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        for (int i = 0; i < names.size(); ++i)
            combo->addItem(names[i], indices[i]);
        // A type that is not offered (a text entry, a shorter table) shows as "None" until chosen.
        const int at = combo->findData(record->r("type")->getInt(0));
        combo->setCurrentIndex(at < 0 ? 0 : at);
        connect(combo, qOverload<int>(&QComboBox::activated), this, [this, row](int i) { choose(row, i); });
        grid->addWidget(combo, row, 1);

        const QString color = record->r("color")->getString(QStringLiteral("auto"));
        const QColor c = color == QLatin1String("auto") || !QColor::isValidColor(color)
            ? waveDisplay::slotColor(row)
            : QColor(color);
        auto* swatch = new QPushButton(this);
        swatch->setObjectName(QStringLiteral("btnColor%1").arg(row + 1));
        swatch->setIcon(swatchIcon(c));
        swatch->setIconSize(QSize(16, 16));
        swatch->setFlat(true);
        swatch->setFocusPolicy(Qt::NoFocus);
        swatch->setToolTip(c.name());
        grid->addWidget(swatch, row, 2);
        m_combos << combo;
        m_swatches << swatch;
    }

    chbLegend->setObjectName("chbLegend");
    ve::DataObject* legend = ve::d("trigger.analyze.oscilloscope.legend");
    chbLegend->setChecked(legend->getBool());
    connect(chbLegend, &QCheckBox::toggled, this, [this, legend](bool on) { legend->set(this, on); });
    chbLegend->hide();
    buttonBox->setObjectName("buttonBox");
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    buttonBox->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chbLegend);
    layout->addWidget(buttonBox);
    layout->insertLayout(0, grid);
    resize(360, sizeHint().height());
}

void ChannelDialog::choose(int row, int index)
{
    QComboBox* combo = m_combos.value(row);
    if (!combo)
        return;
    m_channels->cdobj(row)->set(this, QStringLiteral("type"), combo->itemData(index).toInt(), true);
}
