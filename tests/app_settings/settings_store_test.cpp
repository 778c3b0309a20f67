#include "app/settings_store.h"
#include "temp_config.h"

#include <gtest/gtest.h>

namespace {

using StoreTest = TempConfig;
using Type = SettingsValue::Type;

TEST_F(StoreTest, IntegerReadFromEitherEncoding)
{
    writeConfig("[Settings]\n"
                "Number=dword:7\n"
                "Text=sz:\"4\"\n"
                "Negative=sz:\"-12\"\n"
                "Plus=sz:\"+3\"\n"
                "Empty=sz:\"\"\n"
                "Spaced=sz:\" 4\"\n"
                "Word=sz:\"four\"\n"
                "Trailing=sz:\"4x\"\n"
                "Hex=sz:\"0x10\"\n"
                "TooBig=sz:\"2147483648\"\n"
                "Smallest=sz:\"-2147483648\"\n"
                "Blob=binary:04\n");
    SettingsStore store;
    struct Case {
        const char* name;
        int expected;
    };
    const Case cases[] = {
        {"Number", 7},
        {"Text", 4},
        {"Negative", -12},
        {"Plus", 3},
        {"Empty", 99},
        {"Spaced", 99},
        {"Word", 99},
        {"Trailing", 99},
        {"Hex", 99},
        {"TooBig", 99},
        {"Smallest", -2147483647 - 1},
        {"Blob", 99},
        {"Missing", 99},
    };
    for (const Case& c : cases)
        EXPECT_EQ(store.ReadInteger("Settings", c.name, 99), c.expected) << c.name;
    EXPECT_EQ(store.ReadInteger("NoSuchSection", "Number", 99), 99);
}

TEST_F(StoreTest, IntegerKeepsTheTypeItWasFoundWith)
{
    writeConfig("[Settings]\nFTaskSortMode=sz:\"4\"\nBlob=binary:01\n");
    SettingsStore store;
    EXPECT_EQ(store.ReadInteger("Settings", "FTaskSortMode", 2), 4);
    store.WriteInteger("Settings", "FTaskSortMode", 5);
    store.WriteInteger("Settings", "Fresh", 6);
    store.WriteInteger("Settings", "Blob", 7);

    SettingsBackend& backend = store.backend();
    const std::optional<SettingsValue> kept = backend.read("Settings", "FTaskSortMode");
    EXPECT_EQ(kept->type, Type::String);
    EXPECT_EQ(kept->text, "5");
    EXPECT_EQ(backend.read("Settings", "Fresh")->type, Type::Integer);
    EXPECT_EQ(backend.read("Settings", "Blob")->type, Type::Integer);
    EXPECT_EQ(store.ReadInteger("Settings", "Blob", 0), 7);
}

TEST_F(StoreTest, StringOfAnotherTypeIsTreatedAsMissing)
{
    writeConfig("[Settings]\n"
                "Number=dword:3\n"
                "Blob=binary:00\n"
                "Empty=sz:\"\"\n");
    SettingsStore store;
    EXPECT_EQ(store.ReadString("Settings", "Number", "Verdana"), "Verdana");
    EXPECT_EQ(store.ReadString("Settings", "Blob", "Verdana"), "Verdana");
    EXPECT_EQ(store.ReadString("Settings", "Missing", "Verdana"), "Verdana");
    // A stored empty string is a value: the default does not replace it.
    EXPECT_EQ(store.ReadString("Settings", "Empty", "Verdana"), "");
}

TEST_F(StoreTest, BooleanIsWrittenAsTextAndReadAsInteger)
{
    writeConfig("[MainFormState]\n"
                "Five=dword:5\n"
                "Zero=dword:0\n"
                "TextTrue=sz:\"1\"\n"
                "Junk=sz:\"yes\"\n"
                "Blob=binary:01\n");
    SettingsStore store;
    EXPECT_TRUE(store.ReadBool("MainFormState", "Five", false));
    EXPECT_FALSE(store.ReadBool("MainFormState", "Zero", true));
    EXPECT_TRUE(store.ReadBool("MainFormState", "TextTrue", false));
    EXPECT_TRUE(store.ReadBool("MainFormState", "Junk", true));
    EXPECT_FALSE(store.ReadBool("MainFormState", "Junk", false));
    EXPECT_TRUE(store.ReadBool("MainFormState", "Blob", true));
    EXPECT_FALSE(store.ReadBool("MainFormState", "Missing", false));

    store.WriteBool("MainFormState", "Saved", true);
    store.WriteBool("MainFormState", "Maximized", false);
    EXPECT_TRUE(readConfig().contains("Saved=sz:\"1\"\n"));
    EXPECT_TRUE(readConfig().contains("Maximized=sz:\"0\"\n"));
    EXPECT_TRUE(store.ReadBool("MainFormState", "Saved", false));
    EXPECT_FALSE(store.ReadBool("MainFormState", "Maximized", true));
}

} // namespace
