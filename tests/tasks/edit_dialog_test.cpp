// The task edit dialog on its own: keys, limits, completion and the reading rules.
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "task_ops_fixture.h"
#include "tasks/category_completion.h"
#include "tasks/edit_text_rules.h"
#include "tasks/todo_popupdatepick.h"
#include "tasks/todo_taskeditform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class EditDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureTestApp();
        form = std::make_unique<TFormTaskEdit>();
    }
    void TearDown() override { TFormTaskEdit::TestAnswer = nullptr; }

    // Shows the dialog non-modally, runs `act`, and tells how it closed: 1 OK, 0 Cancel, -1 still
    // open.
    int closeResult(const std::function<void()>& act)
    {
        form->setResult(-1);
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get()))
            ADD_FAILURE() << "dialog not active";
        act();
        const int result = form->isVisible() ? -1 : form->result() == QDialog::Accepted ? 1 : 0;
        form->hide();
        return result;
    }

    std::unique_ptr<TFormTaskEdit> form;
};

} // namespace

TEST_F(EditDialogTest, KeysThatCloseAndKeysThatDoNot)
{
    struct Case {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int result;
    };
    const Case cases[] = {
        {"Ctrl+Enter in the details", Qt::Key_Return, Qt::ControlModifier, 1},
        {"Ctrl+Enter (keypad) in the title", Qt::Key_Enter,
         Qt::ControlModifier | Qt::KeypadModifier, 1},
        {"Enter in the title", Qt::Key_Return, Qt::NoModifier, -1},
        {"Enter in the category", Qt::Key_Return, Qt::NoModifier, -1},
        {"Enter in the details", Qt::Key_Return, Qt::NoModifier, -1},
        {"Esc in the title", Qt::Key_Escape, Qt::NoModifier, 0},
        {"Ctrl+Enter in the priority", Qt::Key_Return, Qt::ControlModifier, 1},
        {"Ctrl+Enter in the date picker", Qt::Key_Return, Qt::ControlModifier, 1},
    };
    QWidget* targets[] = {form->eDetails, form->eTitle, form->eTitle,    form->eCategory,
                          form->eDetails, form->eTitle, form->ePriority, form->eCompleteBy};
    form->eUseCompleteBy->setChecked(true);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        form->eDetails->setPlainText("abc");
        QWidget* target = targets[i];
        const int result = closeResult([&] {
            target->setFocus();
            QTest::keyClick(target, cases[i].key, cases[i].modifiers);
        });
        EXPECT_EQ(result, cases[i].result);
    }
    // Enter in the details started a new line.
    form->eDetails->setPlainText("abc");
    closeResult([&] {
        form->eDetails->setFocus();
        form->eDetails->moveCursor(QTextCursor::End);
        QTest::keyClick(form->eDetails, Qt::Key_Return);
    });
    EXPECT_EQ(form->ReadValues().details, "abc\r\n");
}

TEST_F(EditDialogTest, ButtonsAndCloseBox)
{
    EXPECT_FALSE(form->PngBitBtnOK->isDefault());
    EXPECT_FALSE(form->PngBitBtnOK->autoDefault());
    EXPECT_FALSE(form->PngBitBtnCancel->isDefault());
    EXPECT_FALSE(form->PngBitBtnCancel->autoDefault());
    EXPECT_EQ(form->windowTitle(), "Edit Task");
    EXPECT_EQ(closeResult([&] { form->PngBitBtnOK->click(); }), 1);
    EXPECT_EQ(closeResult([&] { form->PngBitBtnCancel->click(); }), 0);
    EXPECT_EQ(closeResult([&] { form->close(); }), 0);
}

TEST_F(EditDialogTest, TitleAndCategoryStopAtTheirFieldWidths)
{
    form->eTitle->clear();
    QTest::keyClicks(form->eTitle, QString(201, QChar('t')));
    EXPECT_EQ(form->eTitle->text().size(), 200);
    form->eCategory->setEditText("");
    QTest::keyClicks(form->eCategory->lineEdit(), QString(51, QChar('c')));
    EXPECT_EQ(form->eCategory->currentText().size(), 50);
}

TEST_F(EditDialogTest, CategoryCompletesInlineWithoutRegardToCase)
{
    form->SetCategoryList({"Garden", "home", "Home office", "Work"});
    QLineEdit* edit = form->eCategory->lineEdit();
    form->eCategory->setEditText("");
    QTest::keyClicks(edit, "ho");
    EXPECT_EQ(edit->text(), "home");
    EXPECT_EQ(edit->selectedText(), "me");
    QTest::keyClicks(edit, "ME "); // typing replaces the proposal, and goes on completing
    EXPECT_EQ(edit->text(), "hoME office");
    EXPECT_EQ(edit->selectedText(), "office");
    QTest::keyClick(edit, Qt::Key_Backspace); // deleting the proposal does not bring it back
    EXPECT_EQ(edit->text(), "hoME ");
    form->eCategory->setEditText("");
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(edit->text(), "x");

    const QStringList entries{"Garden", "home", "Home office"};
    EXPECT_EQ(InlineCompletion("GAR", entries), "GARden");
    EXPECT_EQ(InlineCompletion("home", entries), "home office");
    EXPECT_EQ(InlineCompletion("", entries), "");
}

TEST_F(EditDialogTest, DeadlineBoxEnablesThePickerAndDecidesTheDeadline)
{
    form->SetCompleteBy(At(2026, 5, 1));
    form->eUseCompleteBy->setChecked(false);
    TFormTaskEdit::TestAnswer = [](TFormTaskEdit& f) {
        EXPECT_FALSE(f.eCompleteBy->isEnabled());
        QTest::mouseClick(f.eUseCompleteBy, Qt::LeftButton, {},
                          QPoint(4, f.eUseCompleteBy->height() / 2));
        EXPECT_TRUE(f.eUseCompleteBy->isChecked());
        EXPECT_TRUE(f.eCompleteBy->isEnabled());
        return true;
    };
    EXPECT_TRUE(form->ShowModal());
    EXPECT_EQ(form->ReadValues().deadline, At(2026, 5, 1));
    form->eUseCompleteBy->setChecked(false);
    EXPECT_FALSE(form->eCompleteBy->isEnabled());
    EXPECT_EQ(form->ReadValues().deadline, NullDate);
}

TEST_F(EditDialogTest, LowerBoundMovesTheShownDateUpAndZeroRemovesIt)
{
    form->SetCompleteBy(At(2026, 3, 1));
    form->SetCompleteByLowerBound(At(2026, 3, 15));
    EXPECT_EQ(form->CompleteBy(), At(2026, 3, 15));
    form->eCompleteBy->setDate(QDate(2026, 3, 2));
    EXPECT_EQ(form->CompleteBy(), At(2026, 3, 15));
    form->SetCompleteByLowerBound(0);
    form->SetCompleteBy(At(2020, 1, 1));
    EXPECT_EQ(form->CompleteBy(), At(2020, 1, 1));
}

TEST_F(EditDialogTest, DetailsComeBackWithCrLfAndNothingAdded)
{
    struct Case {
        QString stored;
        QString readBack;
    };
    const Case cases[] = {
        {"", ""},
        {"one", "one"},
        {"one\r\ntwo", "one\r\ntwo"},
        {"one\ntwo\rthree\r\n", "one\r\ntwo\r\nthree\r\n"},
        {"\r\n\r\n", "\r\n\r\n"},
        {QString::fromUtf8("tab\there\xC2\xA0nbsp  "),
         QString::fromUtf8("tab\there\xC2\xA0nbsp  ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        form->SetDetails(c.stored);
        EXPECT_EQ(form->ReadValues().details, c.readBack);
    }
}

TEST_F(EditDialogTest, UnlistedPriorityIsKeptUnlessAnotherIsPicked)
{
    form->SetPriority(7);
    EXPECT_EQ(form->ReadValues().priority, 7);
    form->ePriority->setCurrentIndex(0);
    EXPECT_EQ(form->ReadValues().priority, 0);
    form->SetPriority(2);
    EXPECT_EQ(form->ReadValues().priority, 2);
}

TEST(EditTextRules, TrimRemovesControlCharactersOnly)
{
    EXPECT_EQ(TrimControlChars(" \t\r\n\x01x y\x1f \x7f"), "x y\x1f \x7f");
    EXPECT_EQ(TrimControlChars("   "), "");
    EXPECT_EQ(TrimControlChars(QString::fromUtf8("\xC2\xA0x\xC2\xA0")),
              QString::fromUtf8("\xC2\xA0x\xC2\xA0"));
}
