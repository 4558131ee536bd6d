#include "app/list_columns_ui.h"

#include <QEvent>
#include <QHeaderView>
#include <QTimer>
#include <QTreeWidget>

#include "util/number_text.h"

TColumnSizer::TColumnSizer(QTreeWidget* list) : QObject(list), list_(list) {
    setObjectName(QStringLiteral("TColumnSizer"));
    QHeaderView* header = list->header();
    // The last column is widened by Fit itself: a stretched one would be cut at the edge when
    // its contents are wider than what is left.
    header->setStretchLastSection(false);
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int) {
        if (!fitting_) {
            operator_widths_.insert(column);
        }
    });
    // The view sizes the column to its contents on a double-click first; from then on the
    // column follows them again.
    connect(header, &QHeaderView::sectionHandleDoubleClicked, this, [this](int column) {
        operator_widths_.remove(column);
        Fit();
    });
    QAbstractItemModel* model = list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { FitLater(); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { FitLater(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { FitLater(); });
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { FitLater(); });
    list->viewport()->installEventFilter(this);
}

TColumnSizer* TColumnSizer::Of(const QTreeWidget* list) {
    return list->findChild<TColumnSizer*>(QStringLiteral("TColumnSizer"),
                                          Qt::FindDirectChildrenOnly);
}

void TColumnSizer::FitLater() {
    // A list filled row by row is measured once, after the last row.
    if (!fit_posted_) {
        fit_posted_ = true;
        QTimer::singleShot(0, this, [this] { Fit(); });
    }
}

void TColumnSizer::Fit() {
    fit_posted_ = false;
    QHeaderView* header = list_->header();
    const int columns = list_->columnCount();
    if (columns == 0) {
        return;
    }
    fitting_ = true;
    // The view's own measure of its rows (public on the base class only).
    const QAbstractItemView* view = list_;
    int used = 0;
    for (int column = 0; column < columns; ++column) {
        if (!operator_widths_.contains(column)) {
            // The caption counts too, so that a column of short values keeps its caption.
            const int width =
                std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column));
            header->resizeSection(column, width);
        }
        if (column + 1 < columns) {
            used += header->sectionSize(column);
        }
    }
    const int last = columns - 1;
    if (!operator_widths_.contains(last)) {
        const int room = list_->viewport()->width() - used;
        if (room > header->sectionSize(last)) {
            header->resizeSection(last, room);
        }
    }
    fitting_ = false;
}

bool TColumnSizer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize) {
        FitLater();
    }
    return QObject::eventFilter(watched, event);
}

QString TGroupedNumberDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    const QString text = value.toString();
    const QString grouped = GroupDigitsText(text);
    return grouped != text ? grouped : QStyledItemDelegate::displayText(value, locale);
}

void TGroupedNumberDelegate::initStyleOption(QStyleOptionViewItem* option,
                                             const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
}
