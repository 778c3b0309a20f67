#include "platform/settings_file.h"

#include <gtest/gtest.h>

namespace {

// Whatever was read, the file written from it reads whole and is written the same again.
TEST(SettingsFile, WhatIsWrittenReadsWholeAndIsWrittenTheSameAgain)
{
    const QByteArray files[] = {
        "[Settings]\r\nA=dword:1\r\n",
        "; note\r\r\n[Settings]\r\r\r\nA=dword:1\r\r\n\r\r\n", // stray CRs before line ends
        "# by hand\n[Settings\nx\n\r\r\n",
        "\xEF\xBB\xBF[Settings]\nA=sz:\"caf\xE9\"\n", // a byte order mark, a raw byte
        "[\"o\"x=y\nB=sz:\"\\q\n",
        "",
    };
    for (const QByteArray& file : files) {
        const QByteArray written = SettingsFileContent::parse(file).bytes();
        const SettingsFileContent again = SettingsFileContent::parse(written);
        EXPECT_TRUE(again.problems().isEmpty()) << file.toStdString() << "\n"
                                                << again.problems().join('\n').toStdString();
        EXPECT_EQ(again.bytes(), written) << file.toStdString();
    }
}

} // namespace
