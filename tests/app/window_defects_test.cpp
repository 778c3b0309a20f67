// Mended window defects, each with the real dialog: the file dialog's completion list, the font
// dialog's preset, printing without a printer, and dialog captions.

#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QIntValidator>
#include <QLineEdit>
#include <QListView>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

QList<QWidget*> VisiblePopups()
{
    QList<QWidget*> popups;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() == Qt::Popup)
            popups.append(w);
    return popups;
}

} // namespace

TEST_F(AppTest, FileDialogCompletionListClosesWithTheDialog)
{
    WriteSimpleList(path("alpha.qmtd"), 1, 0);
    WriteSimpleList(path("alpine.qmtd"), 1, 0);
    TFormMain& form = Start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Prompts::setScripted(false);
    form.OpenDialog->setDirectory(FDir.path());
    bool popupWhileTyping = false;
    WhenModal([&](QWidget* dialog) {
        QLineEdit* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("alpha.qmtd"));
        popupWhileTyping = QTest::qWaitFor([] { return !VisiblePopups().isEmpty(); }, 1000);
        QTest::keyClick(name, Qt::Key_Return);
    });
    form.ActionOpen->trigger();
    Prompts::setScripted(true);
    EXPECT_EQ(CurrentListFileName(), path("alpha.qmtd"));
    if (!popupWhileTyping)
        std::fprintf(stderr, "note: the completion list did not show while typing\n");
    QTest::qWait(200); // the folder's late results
    EXPECT_TRUE(VisiblePopups().isEmpty());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "nothing takes the keys";
    // Asked to complete while the dialog is closed, the list stays hidden.
    for (QCompleter* completer : form.OpenDialog->findChildren<QCompleter*>()) {
        completer->setCompletionPrefix(QStringLiteral("al"));
        completer->complete();
        EXPECT_FALSE(completer->popup()->isVisible());
    }
    EXPECT_TRUE(VisiblePopups().isEmpty());
}

TEST_F(AppTest, FontDialogShowsTheFontInUseAndOffersOnlyItsSizes)
{
    WriteSimpleList(path("Work.qmtd"), 2, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    // As after choosing DejaVu Serif Bold Italic at 14: only the face and the size are kept.
    Prompts::setNextFont(QFont(QStringLiteral("DejaVu Serif"), 14, QFont::Bold, true));
    form.ActionSetFontExecute();
    ASSERT_EQ(DisplayFontName, QStringLiteral("DejaVu Serif"));

    Prompts::setScripted(false);
    QFont shown;
    QStringList listed;
    QString style;
    bool takes40 = true, takes6 = false;
    WhenModal([&](QWidget* widget) {
        auto* dialog = qobject_cast<QFontDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        shown = dialog->currentFont();
        for (QListView* list : dialog->findChildren<QListView*>()) {
            for (int row = 0; row < list->model()->rowCount(); ++row) {
                const QString text = list->model()->index(row, 0).data().toString();
                bool number = false;
                text.toInt(&number);
                if (number && !list->isRowHidden(row))
                    listed.append(text);
            }
            const QModelIndex current = list->currentIndex();
            if (current.isValid() &&
                QFontDatabase::styles(shown.family()).contains(current.data().toString()))
                style = current.data().toString();
        }
        for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
            if (!qobject_cast<const QIntValidator*>(edit->validator()))
                continue;
            QString text = QStringLiteral("40");
            int pos = 0;
            takes40 = edit->validator()->validate(text, pos) == QValidator::Acceptable;
            text = QStringLiteral("6");
            takes6 = edit->validator()->validate(text, pos) == QValidator::Acceptable;
        }
        dialog->accept(); // OK without a change
    });
    form.ActionSetFontExecute();
    Prompts::setScripted(true);
    EXPECT_EQ(shown.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(shown.pointSize(), 14);
    EXPECT_FALSE(shown.italic());
    EXPECT_EQ(shown.weight(), QFont::Normal);
    EXPECT_FALSE(style.contains(QStringLiteral("Condensed")) ||
                 style.contains(QStringLiteral("Italic")))
        << style.toStdString();
    ASSERT_FALSE(listed.isEmpty());
    for (const QString& size : listed)
        EXPECT_TRUE(size.toInt() >= 6 && size.toInt() <= 30) << size.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("6")));
    EXPECT_TRUE(listed.contains(QStringLiteral("28")));
    EXPECT_FALSE(takes40);
    EXPECT_TRUE(takes6);
    EXPECT_EQ(DisplayFontName, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(DisplayFontSize, 14) << "OK without a change keeps the size";

    // Where the dialog cannot be limited (a desktop's own), the size is brought into range and
    // the user is told why.
    Prompts::clearShown();
    Prompts::setNextFont(QFont(QStringLiteral("DejaVu Sans"), 40));
    form.ActionSetFontExecute();
    EXPECT_EQ(DisplayFontSize, 30);
    ASSERT_EQ(Prompts::shown().size(), 2);
    EXPECT_EQ(Prompts::shown().back().kind, Prompts::Kind::Information);
    EXPECT_EQ(Prompts::shown().back().text,
              QStringLiteral("The display font can be 6 to 30 points, so the size 40 was changed "
                             "to 30."));
}

TEST_F(AppTest, PrintingToAPdfFileWithoutAPrinter)
{
    if (!HaveTool("pdfinfo") || !HaveTool("pdftotext"))
        GTEST_SKIP() << "pdfinfo and pdftotext (poppler-utils) are not installed";
    WriteSimpleList(path("Work.qmtd"), 40, 1);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    const QString pdf = path("list.pdf");
    int pagesAtDialog = 0;
    form.BeforePrintDialog = [&] {
        pagesAtDialog = form.taskViewer().printerPageCount(&form.Printer());
    };
    Prompts::setScripted(false);
    QStringList printers;
    WhenModal([&](QWidget* dialog) {
        ASSERT_NE(qobject_cast<QPrintDialog*>(dialog), nullptr);
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
        ASSERT_NE(combo, nullptr);
        for (int i = 0; i < combo->count(); ++i)
            printers.append(combo->itemText(i));
        combo->setCurrentIndex(combo->findText(QStringLiteral("Print to File (PDF)")));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
        ASSERT_NE(name, nullptr);
        name->setText(pdf);
        static_cast<QDialog*>(dialog)->accept();
    });
    form.DoPrint();
    Prompts::setScripted(true);
    EXPECT_TRUE(printers.contains(QStringLiteral("Print to File (PDF)")))
        << printers.join(", ").toStdString();
    ASSERT_TRUE(QFile::exists(pdf));
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(RunTool("pdfinfo", {pdf}));
    ASSERT_TRUE(pages.hasMatch());
    EXPECT_GE(pagesAtDialog, 2);
    EXPECT_EQ(pages.captured(1).toInt(), pagesAtDialog);
    const QString text = RunTool("pdftotext", {pdf, "-"});
    EXPECT_TRUE(text.contains(QStringLiteral("Open task 0")));
    EXPECT_TRUE(text.contains(QStringLiteral("Open task 39")));
    EXPECT_FALSE(text.contains(QStringLiteral("Done task"))) << "the page shown: uncompleted tasks";
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("act:")));
}

TEST_F(AppTest, DialogCaptionsAreTheirOwn)
{
    // The toolkit adds its application display name to every window caption ("Edit Task —
    // Quillmark", which cuts the do-again date dialog's caption short); the window leaves it
    // alone and keeps the title for message boxes apart.
    const QString before = QGuiApplication::applicationDisplayName();
    TFormMain& form = Start();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), before);
    EXPECT_EQ(ApplicationTitle, QStringLiteral("Quillmark"));
    Prompts::message(&form, QStringLiteral("plain"));
    Prompts::setNextConfirm(false);
    Prompts::confirm(&form, QStringLiteral("sure?"));
    ASSERT_EQ(Prompts::shown().size(), 2);
    EXPECT_EQ(Prompts::shown()[0].caption, QStringLiteral("Quillmark"));
    EXPECT_EQ(Prompts::shown()[1].caption, QStringLiteral("Confirm"));
    EXPECT_EQ(FWindows->FormMain->windowTitle(), QStringLiteral("Quillmark"));
}
