#pragma once
// Columns of the window's lists that show their whole contents: each column follows the widest
// of its texts (and its caption) whenever rows come or change, and the last one takes the room
// that is left. A column whose width the operator has set by dragging keeps that width until
// the operator double-clicks its edge. User-interface thread.

#include <QObject>
#include <QSet>
#include <QStyledItemDelegate>

class QTreeWidget;

class TColumnSizer : public QObject {
public:
    // Attaches to list (and is owned by it).
    explicit TColumnSizer(QTreeWidget* list);

    // Sizes every column the operator has not set. Runs by itself shortly after the rows
    // change; call it to have the widths at once.
    void Fit();
    bool OperatorWidth(int column) const { return operator_widths_.contains(column); }

    // The sizer attached to a list, or null.
    static TColumnSizer* Of(const QTreeWidget* list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitLater();

    QTreeWidget* list_;
    QSet<int> operator_widths_;
    bool fitting_ = false;
    bool fit_posted_ = false;
};

// Shows a column of whole numbers with their digits grouped and aligned on the right; the rows
// keep the plain digits.
class TGroupedNumberDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
