#pragma once

#include <QString>

class QAbstractItemModel;
class QLabel;
class QTableView;
class QWidget;

// The pieces both tabs of the report are made of, so that they look alike.
namespace report_widgets {

// Read-only, whole rows selected, columns as wide as their texts whenever the rows change.
QTableView* table(QAbstractItemModel* model, const QString& name, QWidget* parent);
// What could not be read; hidden while there is nothing to say.
QLabel* problems(QWidget* parent);
void setProblems(QLabel* label, const QString& text);

} // namespace report_widgets
