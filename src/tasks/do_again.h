#pragma once
// The deadlines the do-again menu offers, counted from today.

#include <QString>

enum class TDoAgainPeriod { Tomorrow, OneWeek, TwoWeeks, OneMonth };

// today + 1, 7 or 14 days; one month is today + the number of days in today's month, so
// 31 January gives 3 March (2 March in a leap year).
double DoAgainDeadline(TDoAgainPeriod period, double today);

// The item's caption while the menu is open: its text, a tab (the menu draws what follows it
// flush right) and the deadline in the short date format in parentheses.
QString DoAgainCaption(TDoAgainPeriod period, double today);
// The caption the item has before the menu first opens.
QString DoAgainInitialCaption(TDoAgainPeriod period);
