#pragma once
// The filter's query language, shared by the window's filter bar and qmtd.
//
// A query is a list of terms separated by spaces; a task matches when every term holds.
//   word            the title, category or details contain the word (case and accents ignored)
//   "two words"     the same for a phrase
//   category:NAME   the category starts with NAME; c:NAME for short; c: alone: no category
//   priority:high   also normal and low; p:h, p:n, p:l for short
//   due:WHEN        overdue, today, tomorrow, week (today and the six days after), none,
//                   YYYY-MM-DD (that day), <YYYY-MM-DD (before it), >YYYY-MM-DD (after it)
//   done:WHEN       completed today, week (today and the six days before), on, before or after
//                   a date, written as for due:
//   -TERM           the term must not hold: -word, -c:Home, -due:none
// Prefix names are read in any letter case. A value may be quoted: c:"Home office".

#include "shared/todo_global.h"
#include "view/search_text.h"
#include "view/view_error.h"

#include <QLocale>
#include <QString>
#include <memory>
#include <vector>

// A query that cannot be read; the message says why, for the person who typed it.
class QueryError : public ViewError {
public:
    using ViewError::ViewError;
};

// What a query looks at in one task.
struct TaskValues {
    QString title;
    QString category;
    QString details;
    double deadline = NullDate;
    qint64 priority = 1;
    double completed = NullDate;
};

// The stretches of a task's texts that the query's words matched, merged and in order.
struct TaskMarks {
    std::vector<TextRange> title;
    std::vector<TextRange> category;
    std::vector<TextRange> details;
    bool isEmpty() const { return title.empty() && category.empty() && details.empty(); }
    void clear()
    {
        title.clear();
        category.clear();
        details.clear();
    }
};

class TaskQuery {
public:
    // The empty query: every task matches.
    TaskQuery();
    ~TaskQuery();
    TaskQuery(const TaskQuery&);
    TaskQuery& operator=(const TaskQuery&);

    // Reads `text`, folding words by the rules of `locale`. Raises QueryError for a prefix the
    // language does not know, a value its prefix does not take, or a date that is no date.
    static TaskQuery Parse(const QString& text, const QLocale& locale = QLocale());

    // No terms: a blank query, or one of lone dashes and empty quotes.
    bool isEmpty() const;
    // The query as typed, without the spaces around it.
    const QString& text() const { return FText; }

    // Whether the task matches on the day `today` (a whole day). With `marks`, a match also
    // fills in where the query's words occur (reusing the vectors' memory).
    bool Matches(const TaskValues& task, double today, TaskMarks* marks = nullptr) const;

    struct Term;

private:
    QString FText;
    std::vector<Term> FTerms;
    std::shared_ptr<const SearchFolding> FFolding;
};
