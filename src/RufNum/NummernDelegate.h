#pragma once

#include <QStyledItemDelegate>

// The in-place editor of the number grid: a line edit held to the cell's edit mask.
//
// A cell takes the editor's text only when the operator changed it. Opening an editor on a
// 20-character number from the server shows 19 of them (the number mask has 19 positions);
// closing it untouched must leave all 20 in the cell.
//
// The editor shows the text without its trailing blanks, which would otherwise fill the mask's
// positions; a save pads every field back to its width, so the bytes sent stay the same.
class NummernDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

    // How a cell is drawn: an edit not yet sent in bold on a ground of its own.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
