#include "RufNum/NummernDelegate.h"

#include "RufNum/EditMask.h"
#include "core/table/NummernModel.h"

#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionFrame>

namespace {

const char* const kEdited = "torvanelEdited";

// Shows the positions the mask leaves free as a row of underscores after the text, as the
// operator knows fields from paper forms. They are drawn only: the text, and what is sent,
// stay exactly what was typed (an input mask would pad the text and refuse what the column
// takes today).
class MaskedLineEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLineEdit::paintEvent(event);
        const int free = maxLength() - int(text().size());
        if (free <= 0)
            return;
        QStyleOptionFrame panel;
        initStyleOption(&panel);
        // Where the line edit lays out its text: the contents less the margins, and two
        // pixels each side that it keeps for the cursor.
        const QRect line = style()
                               ->subElementRect(QStyle::SE_LineEditContents, &panel, this)
                               .marginsRemoved(textMargins())
                               .adjusted(2, 0, -2, 0);
        const QFontMetrics metrics = fontMetrics();
        const int used = metrics.horizontalAdvance(displayText());
        // Text wider than the box scrolls, and the free positions lie beyond its edge.
        if (used > line.width())
            return;
        const int step = metrics.horizontalAdvance(u'0');
        const int y = line.y() + (line.height() - metrics.height() + 1) / 2 + metrics.ascent() + 1;
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::PlaceholderText));
        for (int i = 0, x = line.x() + used + 1; i < free && x < line.right(); ++i, x += step)
            painter.drawLine(x + 1, y, qMin(x + step - 2, line.right()), y);
    }
};

} // namespace

QWidget* NummernDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                       const QModelIndex& index) const {
    const auto mask = table::NummernGridGetEditMask(table::Field(index.column()));
    if (!mask)
        return nullptr;
    auto* editor = new MaskedLineEdit(parent);
    editor->setFrame(false);
    editor->setMaxLength(mask->positions);
    editor->setValidator(
        new table::EditMaskValidator(*mask, index.data(Qt::EditRole).toString(), editor));
    connect(editor, &QLineEdit::textEdited, editor,
            [editor] { editor->setProperty(kEdited, true); });
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
    // What the operator typed and has not sent yet stands out, on the red of an alert too.
    if (index.data(NummernModel::EditedRole).toBool()) {
        option->font.setBold(true);
        option->backgroundBrush = QColor(255, 232, 150);
        option->palette.setColor(QPalette::Text, Qt::black);
    }
}
