// The recent-files comma text: whatever the text, the list it gives is written as a text that
// gives that list again.

#include "app/comma_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzz::utf16Of(data, size);
    const QStringList entries = ParseCommaText(text);
    const QString written = CommaText(entries);
    fuzz::check(ParseCommaText(written) == entries, "entries survive being written", text);
    // Every list survives: one made of the input's lines.
    const QStringList lines = text.split(u'\n');
    fuzz::check(ParseCommaText(CommaText(lines)) == lines, "any list survives being written",
                text);
    return 0;
}
