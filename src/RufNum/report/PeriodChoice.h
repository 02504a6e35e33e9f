#pragma once

#include "core/records/AlarmReport.h"

#include <QDateTime>
#include <QWidget>
#include <functional>

class QComboBox;
class QDateTimeEdit;

// The period a report covers: today, last night, the last seven days, or from–to as typed.
// The from–to fields always show the period in force and can be typed into only for
// "Zeitraum", which starts from the period chosen before.
class PeriodChoice : public QWidget {
    Q_OBJECT
public:
    enum Choice { Today, LastNight, LastWeek, Range };
    using Clock = std::function<QDateTime()>;

    explicit PeriodChoice(Clock now, QWidget* parent = nullptr);

    // The chosen period, without an extension.
    report::Filter filter() const { return m_filter; }
    // "Letzte Nacht (18–8 Uhr): 06.12.2026 18:00 – 07.12.2026 08:00"
    QString text() const;
    void choose(Choice choice);
    // "Heute" and the others move on with the clock.
    void refresh();
    QDateTime now() const { return m_now(); }

signals:
    void changed();

private:
    void recompute();

    Clock m_now;
    report::Filter m_filter;
    QComboBox* m_choice;
    QDateTimeEdit* m_from;
    QDateTimeEdit* m_to;
};
