#pragma once
// Text prepared for finding words in it regardless of case and accents: "cafe" finds "Café",
// "STRASSE" finds "Straße". Letters are lower-cased by the rules of a locale (Turkish I and İ
// among them), and the accents that Unicode writes as combining marks are dropped, together
// with the strokes of a few letters that carry theirs built in (ł, ø, đ). The marks of scripts
// whose combining signs are letters of their own (the vowel signs of Indic scripts, kana voicing)
// are kept.

#include <QHash>
#include <QLocale>
#include <QString>
#include <vector>

// A stretch of a text, from `begin` up to but not including `end`.
struct TextRange {
    qsizetype begin = 0;
    qsizetype end = 0;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

class SearchFolding {
public:
    explicit SearchFolding(const QLocale& locale = QLocale());

    // The folded form of `text`. With `origins`, also the position in `text` of the character
    // each folded character comes from.
    QString fold(QStringView text, std::vector<qsizetype>* origins = nullptr) const;
    // Whether plain ASCII folds by lower-casing A to Z alone (not so in Turkish and Azerbaijani,
    // where I lower-cases to a dotless ı).
    bool asciiFoldsPlainly() const { return FAsciiPlain; }

private:
    const QString& foldedChar(char32_t c) const;
    QLocale FLocale;
    bool FAsciiPlain = true;
    mutable QHash<char32_t, QString> FCache; // non-ASCII characters seen so far
};

// One text made ready for searching with needles that SearchFolding::fold gave.
class SearchText {
public:
    SearchText(const QString& text, const SearchFolding& folding);

    // The position of `needle` in the folded text at or after `from`, or -1.
    qsizetype indexOf(const QString& needle, qsizetype from = 0) const;
    bool contains(const QString& needle) const { return indexOf(needle) >= 0; }
    bool startsWith(const QString& needle) const;
    // Where the folded characters begin..end came from in the original text, widened over the
    // combining marks that folding dropped after them.
    TextRange original(qsizetype begin, qsizetype end) const;
    // Every place `needle` occurs, as stretches of the original text, appended to `ranges`.
    void findAll(const QString& needle, std::vector<TextRange>& ranges) const;

private:
    const QString& FText;
    bool FPlain; // ASCII that folds plainly: searched in place, positions are the text's own
    QString FFolded;
    std::vector<qsizetype> FOrigins;
};

// Sorts stretches and joins those that overlap or touch.
void MergeRanges(std::vector<TextRange>& ranges);
