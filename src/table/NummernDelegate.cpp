#include "NummernDelegate.h"

#include "EditMask.h"

#include <QLineEdit>

namespace {
const char* const kEdited = "torvanelEdited";
}

QWidget* NummernDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                       const QModelIndex& index) const {
    const auto mask = table::NummernGridGetEditMask(table::Field(index.column()));
    if (!mask)
        return nullptr;
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setMaxLength(mask->positions);
    editor->setValidator(
        new table::EditMaskValidator(*mask, index.data(Qt::EditRole).toString(), editor));
    connect(editor, &QLineEdit::textEdited, this, [this, editor] {
        editor->setProperty(kEdited, true);
        emit edited();
    });
    return editor;
}

void NummernDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    QString text = index.data(Qt::EditRole).toString();
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    text.truncate(end);
    // The model tells open editors about every change, its own commits included.
    if (line->text() != text)
        line->setText(text);
}

void NummernDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                   const QModelIndex& index) const {
    if (editor->property(kEdited).toBool())
        QStyledItemDelegate::setModelData(editor, model, index);
}

void NummernDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // The charges cell is disabled so that it never becomes current, but the operator reads
    // the amount like any other cell, not greyed out.
    option->state |= QStyle::State_Enabled;
}
