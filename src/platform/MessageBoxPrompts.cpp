#include "platform/MessageBoxPrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon iconFor(unsigned flags) {
    switch (flags & 0xF0) {
    case mb::IconHand:
        return QMessageBox::Critical;
    case mb::IconQuestion:
        return QMessageBox::Question;
    case mb::IconExclamation:
        return QMessageBox::Warning;
    case 0x40:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int MessageBoxPrompts::ask(const QString& text, const QString& caption, unsigned flags,
                           const QString& details) {
    QMessageBox box(iconFor(flags), caption, text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    // Texts carry server data (alarm numbers, busy lists); nothing in them is markup.
    box.setTextFormat(Qt::PlainText);
    // A runaway text from the server must not push the buttons off the screen; the whole
    // text stays one click away.
    constexpr int kShown = 400;
    QStringList detailed;
    if (text.size() > kShown) {
        box.setText(text.left(kShown) + QStringLiteral(" …"));
        detailed << text;
    }
    if (!details.isEmpty())
        detailed << details;
    if (!detailed.isEmpty())
        box.setDetailedText(detailed.join(QStringLiteral("\n\n")));
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    // Escape answers Cancel, or OK where it is the only button: the box finds that itself.
    QPushButton* cancel =
        (flags & 0xF) == mb::OkCancel ? box.addButton(QMessageBox::Cancel) : nullptr;
    box.setDefaultButton(cancel && (flags & mb::DefButton2) ? cancel : ok);
    box.exec();
    return box.clickedButton() == ok ? mb::IdOk : mb::IdCancel;
}
