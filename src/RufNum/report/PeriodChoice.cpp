#include "RufNum/report/PeriodChoice.h"

#include "RufNum/report/ReportTexts.h"
#include "core/records/RecordLines.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <algorithm>
#include <utility>

namespace {

QDateTimeEdit* dateTimeEdit(const QString& name, QWidget* parent) {
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(name);
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy hh:mm"));
    edit->setCalendarPopup(true);
    return edit;
}

// The fields show and take local times; the records' times are the clock's reading as written,
// and the same reading is meant, whatever the time zone says of it.
QDateTime asRecorded(const QDateTime& typed) {
    return wallClock(typed.date(), typed.time());
}

QDateTime asTyped(const QDateTime& recorded) {
    return QDateTime(recorded.date(), recorded.time());
}

} // namespace

PeriodChoice::PeriodChoice(Clock now, QWidget* parent)
    : QWidget(parent), m_now(std::move(now)), m_choice(new QComboBox(this)),
      m_from(dateTimeEdit(QStringLiteral("from"), this)),
      m_to(dateTimeEdit(QStringLiteral("to"), this)) {
    m_choice->setObjectName(QStringLiteral("period"));
    m_choice->addItems({QStringLiteral("Heute"), QStringLiteral("Letzte Nacht (18–8 Uhr)"),
                        QStringLiteral("7 Tage"), QStringLiteral("Zeitraum")});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("Zeitraum:"), this);
    label->setBuddy(m_choice);
    layout->addWidget(label);
    layout->addWidget(m_choice);
    layout->addWidget(m_from);
    layout->addWidget(new QLabel(QStringLiteral("bis"), this));
    layout->addWidget(m_to);
    connect(m_choice, &QComboBox::currentIndexChanged, this, &PeriodChoice::recompute);
    for (QDateTimeEdit* edit : {m_from, m_to})
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, &PeriodChoice::recompute);
    recompute();
}

void PeriodChoice::choose(Choice choice) {
    m_choice->setCurrentIndex(choice);
}

QString PeriodChoice::text() const {
    return m_choice->currentText() + QStringLiteral(": ") +
           report_text::period(m_filter.from, m_filter.to);
}

void PeriodChoice::refresh() {
    recompute();
}

void PeriodChoice::recompute() {
    const auto choice = static_cast<Choice>(m_choice->currentIndex());
    const QDateTime now = m_now();
    switch (choice) {
    case Today:
        m_filter = report::today(now);
        break;
    case LastNight:
        m_filter = report::lastNight(now);
        break;
    case LastWeek:
        m_filter = report::lastDays(now, 7);
        break;
    case Range: {
        // The records hold the clock's reading, and so do the fields; an end before the start
        // is read as an empty period, not as one backwards.
        const QDateTime from = asRecorded(m_from->dateTime());
        m_filter = {from, std::max(from, asRecorded(m_to->dateTime())), {}};
        break;
    }
    }
    if (choice != Range) {
        const QSignalBlocker fromBlocker(m_from);
        const QSignalBlocker toBlocker(m_to);
        m_from->setDateTime(asTyped(m_filter.from));
        m_to->setDateTime(asTyped(m_filter.to));
    }
    m_from->setEnabled(choice == Range);
    m_to->setEnabled(choice == Range);
    emit changed();
}
