#include "tasks/do_again.h"

#include "shared/datetime.h"

double DoAgainDeadline(TDoAgainPeriod period, double today)
{
    switch (period) {
    case TDoAgainPeriod::Tomorrow:
        return today + 1;
    case TDoAgainPeriod::OneWeek:
        return today + 7;
    case TDoAgainPeriod::TwoWeeks:
        return today + 14;
    case TDoAgainPeriod::OneMonth:
        return today + DecodeDate(today).daysInMonth();
    }
    return today;
}

QString DoAgainInitialCaption(TDoAgainPeriod period)
{
    switch (period) {
    case TDoAgainPeriod::Tomorrow:
        return QStringLiteral("Do Again Tomorrow");
    case TDoAgainPeriod::OneWeek:
        return QStringLiteral("Do Again in One Week");
    case TDoAgainPeriod::TwoWeeks:
        return QStringLiteral("Do Again in Two Weeks");
    case TDoAgainPeriod::OneMonth:
        return QStringLiteral("Do Again in One Month");
    }
    return {};
}

QString DoAgainCaption(TDoAgainPeriod period, double today)
{
    return DoAgainInitialCaption(period) + u'\t' + u'(' +
           FormatShortDate(DoAgainDeadline(period, today)) + u')';
}
