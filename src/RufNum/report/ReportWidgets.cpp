#include "RufNum/report/ReportWidgets.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>

namespace report_widgets {

QTableView* table(QAbstractItemModel* model, const QString& name, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName(name);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Rows as high as their text, so that a night's alarms fit without scrolling.
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->setMinimumSectionSize(view->fontMetrics().height() + 6);
    view->setAlternatingRowColors(true);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setStretchLastSection(true);
    // Every model is filled by a reset, the first one included.
    QObject::connect(model, &QAbstractItemModel::modelReset, view,
                     [view] { view->resizeColumnsToContents(); });
    return view;
}

QLabel* problems(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("problems"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(0x99, 0, 0));
    label->setPalette(p);
    label->hide();
    return label;
}

void setProblems(QLabel* label, const QString& text) {
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

} // namespace report_widgets
