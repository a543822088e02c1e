#include "ParamTablePage.h"

#include "CANWorker.h"
#include "CellNote.h"
#include "Helper.h"
#include "ParamTableExporter.h"

#include <DataManager.h>
#include <DataObject.h>
#include <ParamBackup.h>
#include <ParamRow.h>
#include <ParamTable.h>
#include <ParamTransfer.h>

#include <QDebug>
#include <QHeaderView>
#include <QList>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cstring>

namespace {
const char* const GroupColour[4] = {"#a0f446", "#d4e8c8", "#63e2ee", "#bbd5d7"};
constexpr int ValueColumn = 6;

// Pages live on the GUI thread only. Never destroyed itself, so a page deleted late at exit
// still finds it.
QList<ParamTablePage*>& pages()
{
    static auto* all = new QList<ParamTablePage*>;
    return *all;
}

QTableWidgetItem* cell(const QString& text, int group, bool editable)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setForeground(QColor(GroupColour[group]));
    if (editable) {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        QFont font("Nordsans Bold", 10);
        font.setWeight(87);
        item->setFont(font);
    } else {
        item->setFlags(Qt::ItemIsEnabled);
    }
    return item;
}
} // namespace

ParamTablePage::ParamTablePage(QWidget* parent)
    : QWidget(parent)
    , BaseEditorPage("param_table")
    , tableWidget(new QTableWidget(this))
    , m_worker(Helper::instance()->canWorker())
    , m_engine(m_worker->engine())
    , m_node(deviceDobj())
{
    pages().append(this);
    setObjectName("ParamTablePage");
    resize(787, 520);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tableWidget);

    tableWidget->setObjectName("tableWidget");
    tableWidget->setColumnCount(7);
    tableWidget->setHorizontalHeaderLabels(
        {tr("Code"), tr("Name"), tr("Type"), tr("Property"), tr("Maximum"), tr("Minimum"), tr("Value")});
    const int widths[] = {80, 120, 80, 80};
    for (int c = 0; c < 4; ++c)
        tableWidget->setColumnWidth(c, widths[c]);
    tableWidget->horizontalHeader()->setStretchLastSection(true);
    tableWidget->setFrameShape(QFrame::NoFrame);
    tableWidget->setAlternatingRowColors(true);
    connect(tableWidget, &QTableWidget::cellChanged, this, &ParamTablePage::changeCell);

    if (!m_node || m_node->isEmpty())
        return;
    m_transfer = ParamTransfer::of(m_worker, m_node);
    connect(m_transfer, &ParamTransfer::rowUpdated, this, &ParamTablePage::refreshValue);
    connect(m_transfer, &ParamTransfer::committed, this, &ParamTablePage::refreshValue);
    for (const char* path : {"_trigger.param.reload", "_trigger.param.export"})
        m_node->insert(this, path);
    connect(m_node->r("_trigger.param.reload"), &ve::DataObject::changed, this, &ParamTablePage::reloadTable);
    connect(m_node->r("_trigger.param.export"), &ve::DataObject::changed, this, &ParamTablePage::exportTable);
    // Every new description (of any device) may take the table away from this page.
    connect(
        m_engine, &otaThread::sendState, this,
        [this](const OtaStatus& s) {
            if (s.code == OTA_STA_GET_PARA_INFO_SUCCESS || s.code == OTA_STA_GET_PARA_INFO_ERROR)
                updateLive();
        },
        Qt::QueuedConnection);
    // Opening the page always re-reads the motor's description.
    m_transfer->describe();
}

ParamTablePage::~ParamTablePage()
{
    pages().removeAll(this);
}

ve::DataObject* ParamTablePage::device() const
{
    return m_node.data();
}

ParamTransfer* ParamTablePage::transfer() const
{
    return m_transfer.data();
}

ParamTablePage* ParamTablePage::of(const ve::DataObject* device)
{
    for (ParamTablePage* p : pages())
        if (device && p->m_node == device)
            return p;
    return nullptr;
}

bool ParamTablePage::isLive() const
{
    return m_built && m_transfer && m_transfer->ownsTable()
        && m_engine->withParams([](ParamTable& t) { return t.generation(); }) == m_generation;
}

void ParamTablePage::updateLive()
{
    if (!m_built)
        return;
    const bool live = isLive();
    tableWidget->setEditTriggers(live ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                | QAbstractItemView::AnyKeyPressed
                                      : QAbstractItemView::NoEditTriggers);
    tableWidget->setToolTip(live ? QString()
                                 : tr("The parameter table now holds another description; reopen this page "
                                      "to edit %1.")
                                       .arg(Helper::instance()->deviceName(m_node)));
}

bool ParamTablePage::refuseIfStale()
{
    if (isLive())
        return false;
    Helper::instance()->showError(
        tr("The parameter table of %1 is not loaded any more; open its Param Table again.")
            .arg(Helper::instance()->deviceName(m_node)));
    return true;
}

int ParamTablePage::rowOf(int group, int index) const
{
    if (group < 0 || group > 3)
        return -1;
    const int row = m_firstRow[group] + index;
    return index >= 0 && row <= m_lastRow[group] ? row : -1;
}

void ParamTablePage::reloadTable()
{
    if (!m_node)
        return;
    const QSignalBlocker block(tableWidget);
    QVector<ParamRow> rows;
    QStringList keys;
    int counts[4] = {0, 0, 0, 0};
    m_engine->withParams([&](ParamTable& t) {
        rows = ParamRow::all(t);
        keys = ParamRow::channelKeys(t);
        for (int g = 0; g < 4; ++g)
            counts[g] = t.count(g);
        for (int g : {0, 2})
            for (int i = 0; i < t.count(g); ++i) {
                ParamEntry& e = t.entry(g, i);
                e.modified = false;
                if (g == 2)
                    e.valueText = ParamTable::valueToText(e.type, e.current);
            }
        m_generation = t.generation();
    });
    tableWidget->setRowCount(rows.size());
    for (const char* branch : {"param", "analyze"})
        if (m_node->hasCdobj(branch))
            m_node->cdobj(branch)->clear(this, true);

    int row = 0;
    for (int g = 0; g < 4; ++g) {
        m_firstRow[g] = row;
        m_lastRow[g] = row + counts[g] - 1;
        row += counts[g];
    }
    for (int k = 0; k < rows.size(); ++k)
        fillRow(k, rows[k].group, rows[k].index);

    // The oscilloscope offers exactly these leaves, channel k being the k-th child.
    m_node->insert(this, "param");
    ve::DataObject* param = m_node->cdobj("param");
    int key = 0;
    const quint16 base = m_engine->withParams([](ParamTable& t) { return t.channelBase(); });
    for (const ParamRow& r : rows) {
        if ((r.group == 2 && r.index > int(base)) || r.group == 3) {
            if (key < keys.size())
                param->set(this, keys.at(key), r.value, true);
            ++key;
        }
    }
    m_built = true;
    markBackupRows();
    updateLive();
    param->trigger();
}

void ParamTablePage::fillRow(int row, int group, int index)
{
    const ParamRow r = m_engine->withParams([&](ParamTable& t) { return ParamRow::of(t, group, index); });
    const QStringList texts = r.cells();
    for (int c = 0; c < 7; ++c)
        tableWidget->setItem(row, c, cell(texts.at(c), group, c == ValueColumn && r.writable));
}

void ParamTablePage::refreshValue(int group, int index)
{
    const int row = rowOf(group, index);
    if (row < 0 || !isLive())
        return;
    const QSignalBlocker block(tableWidget);
    const QString value = m_engine->withParams([&](ParamTable& t) {
        const ParamEntry& e = t.entry(group, index);
        return group < 2 ? e.valueText : ParamTable::valueToText(e.type, e.current);
    });
    if (QTableWidgetItem* item = tableWidget->item(row, ValueColumn))
        item->setText(value);
    setValueLook(row, false);
    markBackupRows();
}

void ParamTablePage::setValueLook(int row, bool modified)
{
    QTableWidgetItem* value = tableWidget->item(row, ValueColumn);
    QTableWidgetItem* code = tableWidget->item(row, 0);
    if (!value || !code)
        return;
    value->setForeground(modified ? QBrush(Qt::red) : code->foreground());
}

void ParamTablePage::note(int row, int column, const QString& text, bool ok)
{
    const int x = tableWidget->verticalHeader()->width() + tableWidget->columnWidth(column) + 1
        + tableWidget->columnViewportPosition(column);
    const int y = tableWidget->horizontalHeader()->height() + tableWidget->rowViewportPosition(row);
    CellNote::show(this, text, ok, tableWidget->mapToGlobal(QPoint(x, y)));
}

void ParamTablePage::changeCell(int row, int column)
{
    if (column != ValueColumn)
        return;
    qDebug() << "change row:" << row << " column:" << column;
    const QSignalBlocker block(tableWidget);
    QTableWidgetItem* item = tableWidget->item(row, column);
    int group = -1;
    if (row >= m_firstRow[0] && row <= m_lastRow[0])
        group = 0;
    else if (row >= m_firstRow[2] && row <= m_lastRow[2])
        group = 2;
    if (!item || group < 0)
        return;
    const int index = row - m_firstRow[group];
    const bool live = isLive();
    const QString text = item->text();
    ParamRow::Check check;
    QString stored;
    m_engine->withParams([&](ParamTable& t) {
        ParamEntry& e = t.entry(group, index);
        stored = e.valueText;
        if (!live)
            return;
        check = group == 0 ? ParamRow::checkString(index, text, stored)
                           : ParamRow::checkNumber(index, text, e.type, e.min, e.max, e.decimals, stored);
        if (check.verdict == ParamRow::Modified) {
            std::memcpy(e.buffer, check.bytes, sizeof(e.buffer));
            e.modified = true;
        } else {
            e.modified = false;
        }
    });
    if (!live) {
        // Edits here would land in another motor's entries.
        item->setText(stored);
        setValueLook(row, false);
        return;
    }
    if (check.verdict == ParamRow::Modified) {
        note(row, column, tr("Addr[0x%1] modified").arg(index, 4, 16, QLatin1Char('0')), true);
        item->setText(check.text);
        setValueLook(row, true);
        return;
    }
    if (check.verdict == ParamRow::Rejected)
        note(row, column,
            check.note == QLatin1String(ParamRow::OutOfRange) ? tr("Value out of range")
                                                              : tr("Please input ASCII charaters"),
            false);
    item->setText(stored);
    setValueLook(row, false);
}

void ParamTablePage::uploadTable()
{
    if (!m_transfer || refuseIfStale())
        return;
    m_transfer->upload();
}

void ParamTablePage::downloadTable()
{
    if (!m_transfer || refuseIfStale())
        return;
    m_transfer->download();
}

void ParamTablePage::exportTable()
{
    ParamTableExporter::exportTable(tableWidget, this);
}

bool ParamTablePage::compareWithBackup(const QString& path, QString* error)
{
    ParamBackup backup;
    if (!ParamBackup::read(path, &backup, error))
        return false;
    QVector<ParamRow> rows = m_engine->withParams([](ParamTable& t) { return ParamRow::all(t); });
    m_backupValues.clear();
    for (const ParamBackup::Entry& e : backup.entries)
        if (e.group >= 0 && e.group <= 2)
            m_backupValues.insert(e.code, e.value);
    markBackupRows();
    const int differing = backup.differences(rows).size();
    Helper::instance()->showStatus(tr("%1 parameters of %2 differ from %3")
                                       .arg(differing)
                                       .arg(Helper::instance()->deviceName(m_node), path));
    return true;
}

void ParamTablePage::markBackupRows()
{
    for (int row = 0; row < tableWidget->rowCount(); ++row) {
        QTableWidgetItem* code = tableWidget->item(row, 0);
        QTableWidgetItem* value = tableWidget->item(row, ValueColumn);
        if (!code || !value)
            continue;
        const quint16 c = quint16(code->text().mid(2).toUInt(nullptr, 16));
        const auto it = m_backupValues.constFind(c);
        const bool differs = it != m_backupValues.constEnd() && it.value() != value->text();
        value->setBackground(differs ? QBrush(QColor("#5a3a1e")) : QBrush());
        value->setToolTip(differs ? tr("Backup: %1").arg(it.value()) : QString());
    }
}

int ParamTablePage::applyBackup()
{
    if (!m_transfer || m_backupValues.isEmpty() || refuseIfStale())
        return 0;
    int staged = 0;
    QStringList refused;
    const QSignalBlocker block(tableWidget);
    m_engine->withParams([&](ParamTable& t) {
        for (int g : {0, 2}) {
            for (int i = 0; i < t.count(g); ++i) {
                const auto it = m_backupValues.constFind(ParamTable::code(g, i));
                ParamEntry& e = t.entry(g, i);
                if (it == m_backupValues.constEnd() || !ParamRow::editable(g, i, t.channelBase(), e.flags))
                    continue;
                const ParamRow::Check c = g == 0
                    ? ParamRow::checkString(i, it.value(), e.valueText)
                    : ParamRow::checkNumber(i, it.value(), e.type, e.min, e.max, e.decimals, e.valueText);
                if (c.verdict == ParamRow::Rejected) {
                    refused << ParamRow::codeText(ParamTable::code(g, i));
                    continue;
                }
                if (c.verdict != ParamRow::Modified)
                    continue;
                std::memcpy(e.buffer, c.bytes, sizeof(e.buffer));
                e.modified = true;
                ++staged;
                const int row = rowOf(g, i);
                if (QTableWidgetItem* item = row >= 0 ? tableWidget->item(row, ValueColumn) : nullptr) {
                    item->setText(c.text);
                    item->setForeground(Qt::red);
                }
            }
        }
    });
    if (!refused.isEmpty())
        Helper::instance()->showStatus(
            tr("The backup's values of %1 are outside what the motor accepts").arg(refused.join(", ")),
            "ERROR");
    if (staged > 0)
        m_transfer->download();
    return staged;
}
