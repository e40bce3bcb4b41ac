#include "controls/TaskDialog.h"
#include "core/QvIds.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "ModalDriver.h"
#include <memory>

namespace {

TaskDialog exitQuestion(int defaultButton) {
    TaskDialog d;
    d.WindowTitle = QStringLiteral("确认");
    d.MainInstructionText = QStringLiteral("Leave?");
    d.ContentText = QStringLiteral("Open pages will close.");
    d.AddButton(QStringLiteral("是(&Y)"), Answer::Yes);
    d.AddButton(QStringLiteral("否(&N)"), Answer::No);
    d.DefaultButton = defaultButton;
    return d;
}

QIcon solidIcon(QColor colour, int size = 64) {
    QPixmap pixmap(size, size);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

class TaskDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        mAutoAnswer = qgetenv("QV_AUTOANSWER");
        qunsetenv("QV_AUTOANSWER");
        TaskDialog::SetAnswerer({});
    }
    void TearDown() override {
        TaskDialog::SetAnswerer({});
        if (!mAutoAnswer.isNull())
            qputenv("QV_AUTOANSWER", mAutoAnswer);
    }

    // Builds the dialog widget, shows it and returns it with the result it reports.
    std::unique_ptr<QDialog> shown(const TaskDialog& d, int* result) {
        std::unique_ptr<QDialog> dialog(static_cast<QDialog*>(d.CreateWidget(nullptr, result)));
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    QByteArray mAutoAnswer;
};

// ---- Keyboard -------------------------------------------------------------------------------

TEST_F(TaskDialogTest, EnterPressesTheDefaultButtonWhereverItIs) {
    for (int defaultId : {Answer::Yes, Answer::No}) {
        int result = -1;
        int clicked = -1;
        TaskDialog d = exitQuestion(defaultId);
        d.ButtonClick = [&clicked](int id) { clicked = id; };
        auto dialog = shown(d, &result);
        QTest::keyClick(dialog.get(), Qt::Key_Return);
        EXPECT_EQ(result, defaultId);
        EXPECT_EQ(clicked, defaultId);
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_FALSE(dialog->isVisible());
    }
}

TEST_F(TaskDialogTest, EnterOnAnotherFocusedButtonStillPressesTheDefault) {
    int result = -1;
    auto dialog = shown(exitQuestion(Answer::No), &result);
    auto* yes = dialog->findChild<QPushButton*>(QStringLiteral("button106"));
    ASSERT_NE(yes, nullptr);
    yes->setFocus();
    QTest::keyClick(yes, Qt::Key_Return);
    EXPECT_EQ(result, Answer::No);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(TaskDialogTest, SpaceOnAFocusedButtonPressesThatButton) {
    int result = -1;
    auto dialog = shown(exitQuestion(Answer::No), &result);
    auto* yes = dialog->findChild<QPushButton*>(QStringLiteral("button106"));
    ASSERT_NE(yes, nullptr);
    yes->setFocus();
    QTest::keyClick(yes, Qt::Key_Space);
    EXPECT_EQ(result, Answer::Yes);
}

TEST_F(TaskDialogTest, TheDefaultButtonHasTheFocusWhenShown) {
    int result = -1;
    auto dialog = shown(exitQuestion(Answer::No), &result);
    ASSERT_NE(dialog->focusWidget(), nullptr);
    EXPECT_EQ(dialog->focusWidget()->objectName(), QStringLiteral("button107"));
}

// ---- Results of ShowDialog ------------------------------------------------------------------

TEST_F(TaskDialogTest, ShowDialogReturnsThePressedButton) {
    ModalDriver driver;
    driver.whenShown([](QDialog* dialog) {
        auto* yes = dialog->findChild<QPushButton*>(QStringLiteral("button106"));
        if (yes)
            QTest::mouseClick(yes, Qt::LeftButton);
    });
    EXPECT_EQ(exitQuestion(Answer::No).ShowDialog(), Answer::Yes);
    EXPECT_TRUE(driver.acted);
    EXPECT_FALSE(driver.stuck);
}

TEST_F(TaskDialogTest, EscapeAnswersTheDefaultWithoutPressingAButton) {
    for (int defaultId : {Answer::Yes, Answer::No}) {
        int clicked = -1;
        TaskDialog d = exitQuestion(defaultId);
        d.ButtonClick = [&clicked](int id) { clicked = id; };
        ModalDriver driver;
        driver.pressKey(Qt::Key_Escape);
        EXPECT_EQ(d.ShowDialog(), defaultId);
        EXPECT_TRUE(driver.acted);
        EXPECT_FALSE(driver.stuck);
        EXPECT_EQ(clicked, -1);
    }
}

TEST_F(TaskDialogTest, TheCloseBoxAnswersTheDefault) {
    ModalDriver driver;
    driver.whenShown([](QDialog* dialog) { dialog->close(); });
    EXPECT_EQ(exitQuestion(Answer::No).ShowDialog(), Answer::No);
    EXPECT_FALSE(driver.stuck);
}

TEST_F(TaskDialogTest, ADefaultThatNamesNoButtonFallsBackToTheFirstButton) {
    TaskDialog d = exitQuestion(999);
    EXPECT_EQ(d.DefaultResult(), Answer::Yes);
    int result = -1;
    auto dialog = shown(d, &result);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_EQ(result, Answer::Yes);
}

// ---- Answering without a person -------------------------------------------------------------

TEST_F(TaskDialogTest, AnAnswererAnswersWithoutShowingTheDialog) {
    QString seen;
    TaskDialog::SetAnswerer([&seen](const TaskDialog& d) -> std::optional<int> {
        seen = d.MainInstructionText;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        return 4711;
    });
    EXPECT_EQ(exitQuestion(Answer::No).ShowDialog(), 4711);
    EXPECT_EQ(seen, QStringLiteral("Leave?"));
}

TEST_F(TaskDialogTest, AnAnswererThatDeclinesLetsTheDialogShow) {
    int asked = 0;
    TaskDialog::SetAnswerer([&asked](const TaskDialog&) -> std::optional<int> {
        ++asked;
        return std::nullopt;
    });
    ModalDriver driver;
    driver.pressKey(Qt::Key_Return);
    EXPECT_EQ(exitQuestion(Answer::Yes).ShowDialog(), Answer::Yes);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(driver.acted);
    EXPECT_FALSE(driver.stuck);
}

TEST_F(TaskDialogTest, AutoAnswerPrintsTheQuestionAndTakesTheDefault) {
    qputenv("QV_AUTOANSWER", "1");
    TaskDialog d = exitQuestion(Answer::No);
    d.MainInstructionText = QStringLiteral("真的要退出？");
    testing::internal::CaptureStderr();
    const int answer = d.ShowDialog();
    const std::string err = testing::internal::GetCapturedStderr();
    qunsetenv("QV_AUTOANSWER");
    EXPECT_EQ(answer, Answer::No);
    EXPECT_NE(err.find("QV question: 真的要退出？\n"), std::string::npos) << err;
}

TEST_F(TaskDialogTest, AnAnswererComesBeforeAutoAnswer) {
    qputenv("QV_AUTOANSWER", "1");
    TaskDialog::SetAnswerer([](const TaskDialog&) -> std::optional<int> { return Answer::Yes; });
    testing::internal::CaptureStderr();
    const int answer = exitQuestion(Answer::No).ShowDialog();
    const std::string err = testing::internal::GetCapturedStderr();
    qunsetenv("QV_AUTOANSWER");
    EXPECT_EQ(answer, Answer::Yes);
    EXPECT_EQ(err.find("QV question"), std::string::npos);
}

// ---- What the dialog shows ------------------------------------------------------------------

TEST_F(TaskDialogTest, ButtonsKeepTheirOrderAndOnlyTheDefaultIsDefault) {
    TaskDialog d;
    d.AddButton(QStringLiteral("确定(&Y)"), Answer::Yes);
    d.AddButton(QStringLiteral("稍后"), 3);
    d.AddButton(QStringLiteral("取消(&N)"), Answer::Cancel);
    d.DefaultButton = Answer::Cancel;
    int result = 0;
    std::unique_ptr<QWidget> dialog(d.CreateWidget(nullptr, &result));
    const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 3);
    QStringList captions;
    QList<int> ids;
    for (QPushButton* b : buttons) {
        captions << b->text();
        ids << b->property("taskDialogButtonId").toInt();
        EXPECT_EQ(b->isDefault(), ids.last() == Answer::Cancel) << ids.last();
        EXPECT_EQ(b->autoDefault(), ids.last() == Answer::Cancel) << ids.last();
    }
    EXPECT_EQ(captions, (QStringList{"确定(&Y)", "稍后", "取消(&N)"}));
    EXPECT_EQ(ids, (QList<int>{Answer::Yes, 3, Answer::Cancel}));
    EXPECT_EQ(result, Answer::Cancel);
}

TEST_F(TaskDialogTest, TextsAreShownAsTheyAre) {
    TaskDialog d = exitQuestion(Answer::No);
    d.WindowTitle = QStringLiteral("确认");
    d.ContentText = QStringLiteral("<b>a.doc</b> & more");
    std::unique_ptr<QWidget> dialog(d.CreateWidget(nullptr, nullptr));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("确认"));
    auto* instruction = dialog->findChild<QLabel*>(QStringLiteral("mainInstruction"));
    auto* content = dialog->findChild<QLabel*>(QStringLiteral("content"));
    ASSERT_NE(instruction, nullptr);
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(instruction->text(), QStringLiteral("Leave?"));
    EXPECT_TRUE(instruction->font().bold());
    EXPECT_GT(instruction->font().pointSizeF(), content->font().pointSizeF());
    // A document name that looks like markup is not rendered as markup.
    EXPECT_EQ(content->textFormat(), Qt::PlainText);
    EXPECT_EQ(content->text(), QStringLiteral("<b>a.doc</b> & more"));
}

TEST_F(TaskDialogTest, TheNoteAppearsOnlyWhenGiven) {
    TaskDialog d = exitQuestion(Answer::No);
    std::unique_ptr<QWidget> without(d.CreateWidget(nullptr, nullptr));
    EXPECT_EQ(without->findChild<QLabel*>(QStringLiteral("footer")), nullptr);

    d.FooterText = QStringLiteral("The file itself stays. ");
    std::unique_ptr<QWidget> with(d.CreateWidget(nullptr, nullptr));
    auto* note = with->findChild<QLabel*>(QStringLiteral("footer"));
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text(), QStringLiteral("The file itself stays. "));
    auto* noteIcon = with->findChild<QLabel*>(QStringLiteral("footerIcon"));
    ASSERT_NE(noteIcon, nullptr);
    EXPECT_FALSE(noteIcon->pixmap().isNull());
}

TEST_F(TaskDialogTest, TheMainIconIsDrawnAtItsSize) {
    for (int size : {32, 48}) {
        TaskDialog d = exitQuestion(Answer::No);
        d.MainIcon = solidIcon(Qt::red);
        d.MainIconSize = size;
        std::unique_ptr<QWidget> dialog(d.CreateWidget(nullptr, nullptr));
        auto* icon = dialog->findChild<QLabel*>(QStringLiteral("mainIcon"));
        ASSERT_NE(icon, nullptr);
        const QImage image = icon->pixmap().toImage();
        EXPECT_EQ(image.size() / icon->pixmap().devicePixelRatio(), QSize(size, size));
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::red));
    }
}

TEST_F(TaskDialogTest, ResetClearsTheQuestionButKeepsTheButtonEvent) {
    TaskDialog d = exitQuestion(Answer::No);
    d.FooterText = QStringLiteral("note");
    d.MainIcon = solidIcon(Qt::red);
    d.MainIconSize = 48;
    int clicked = 0;
    d.ButtonClick = [&clicked](int id) { clicked = id; };
    d.Reset();
    EXPECT_TRUE(d.WindowTitle.isEmpty());
    EXPECT_TRUE(d.MainInstructionText.isEmpty());
    EXPECT_TRUE(d.ContentText.isEmpty());
    EXPECT_TRUE(d.FooterText.isEmpty());
    EXPECT_TRUE(d.MainIcon.isNull());
    EXPECT_EQ(d.MainIconSize, 32);
    EXPECT_TRUE(d.Buttons().isEmpty());
    EXPECT_EQ(d.DefaultButton, 0);

    d.AddButton(QStringLiteral("OK"), 5);
    d.DefaultButton = 5;
    int result = 0;
    auto dialog = shown(d, &result);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_EQ(clicked, 5);
}

} // namespace
