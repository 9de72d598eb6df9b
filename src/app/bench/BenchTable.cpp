// SPDX-License-Identifier: MIT
#include "BenchTable.h"

#include "BenchTableModel.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

// Draws the progress column as a bar with its percent and the details column as a button; a
// click on an enabled button tells the table.
class BenchCellDelegate : public QStyledItemDelegate {
public:
    explicit BenchCellDelegate(BenchTable& table) : QStyledItemDelegate(&table), Table(table) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const int column = index.column();
        if (column != BenchTableModel::Progress && column != BenchTableModel::Details) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        // The cell's background (and selection) without its text.
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.text.clear();
        Style(option)->drawControl(QStyle::CE_ItemViewItem, &cell, painter, option.widget);
        if (column == BenchTableModel::Progress) {
            const int percent = index.data(BenchTableModel::ProgressRole).toInt();
            if (percent < 0)
                return;
            QStyleOptionProgressBar bar;
            bar.rect = option.rect.adjusted(2, 2, -2, -2);
            bar.minimum = 0;
            bar.maximum = 100;
            bar.progress = percent;
            bar.text = index.data().toString();
            bar.textVisible = true;
            bar.textAlignment = Qt::AlignCenter;
            bar.state = option.state | QStyle::State_Horizontal;
            bar.fontMetrics = option.fontMetrics;
            Style(option)->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
            return;
        }
        // A row that has not run has nothing to tell: no button.
        if (!(index.flags() & Qt::ItemIsEnabled))
            return;
        QStyleOptionButton button;
        button.initFrom(option.widget);
        button.rect = option.rect.adjusted(2, 2, -2, -2);
        button.text = index.data().toString();
        button.fontMetrics = option.fontMetrics;
        Style(option)->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QSize text = QStyledItemDelegate::sizeHint(option, index);
        if (index.column() == BenchTableModel::Progress)
            return {option.fontMetrics.horizontalAdvance(QStringLiteral("100%")) * 3,
                    text.height()};
        if (index.column() == BenchTableModel::Details)
            return {option.fontMetrics.horizontalAdvance(index.data().toString()) +
                        option.fontMetrics.height() * 2,
                    text.height()};
        return text;
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        if (index.column() == BenchTableModel::Details &&
            event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            (index.flags() & Qt::ItemIsEnabled) && Table.OnDetails) {
            Table.OnDetails(SourceRow(index));
            return true;
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

private:
    static QStyle* Style(const QStyleOptionViewItem& option)
    {
        return option.widget ? option.widget->style() : QApplication::style();
    }
    static int SourceRow(const QModelIndex& index)
    {
        const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model());
        return proxy ? proxy->mapToSource(index).row() : index.row();
    }

    BenchTable& Table;
};

}  // namespace

BenchTable::BenchTable(QWidget* parent) : QTableView(parent)
{
    setItemDelegate(new BenchCellDelegate(*this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(true);
    setWordWrap(false);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    FitToFont();
}

int BenchTable::HeightForRows(int rows) const
{
    return horizontalHeader()->sizeHint().height() + rows * verticalHeader()->defaultSectionSize() +
           2 * frameWidth() + horizontalScrollBar()->sizeHint().height();
}

void BenchTable::keyPressEvent(QKeyEvent* event)
{
    // The row's check box, whichever cell of the row is current.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && model() &&
        currentIndex().isValid()) {
        const QModelIndex box = currentIndex().siblingAtColumn(BenchTableModel::Include);
        const bool checked = box.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
        model()->setData(box, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return;
    }
    QTableView::keyPressEvent(event);
}

void BenchTable::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitToFont();
}

void BenchTable::FitToFont()
{
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
    verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 4);
}
