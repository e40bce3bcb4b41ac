#include "controls/IconStore.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "ModalDriver.h"

namespace {

const QColor kQuestionColour(0, 128, 255);

QIcon solidIcon(QColor colour) {
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

QColor centreColour(const QIcon& icon, int size) {
    const QImage image = icon.pixmap(size, size).toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

struct Question {
    const char* name;
    std::function<qint32()> ask;
    QString instruction;
    QString content;
    QString note;
    QList<std::pair<int, QString>> buttons;
    int defaultButton;
};

const QString kRecentDocument = QStringLiteral("/home/user/文档/报告 <2008>.doc");

QList<Question> allQuestions() {
    const QList<std::pair<int, QString>> okCancel{{Answer::Yes, "确定(&Y)"}, {Answer::Cancel, "取消(&N)"}};
    return {
        {"ConfirmExit",
         modMessagebox::ConfirmExit,
         "真的要退出Quorvel？",
         "如果您现在退出, 所有打开的网页将被关闭！",
         "",
         {{Answer::Yes, "是(&Y)"}, {Answer::No, "否(&N)"}},
         Answer::No},
        {"ConfirmDeleteNote",
         modMessagebox::ConfirmDeleteNote,
         "真的要删除该便签？",
         "删除后无法恢复,请确认你的资料已经保存！",
         "",
         {{Answer::Yes, "删除(&Y)"}, {Answer::No, "稍后(&N)"}},
         Answer::No},
        {"ConfirmDeleteAllNotes",
         modMessagebox::ConfirmDeleteAllNotes,
         "真的要删除所有便签？",
         "删除后无法恢复,请确认你所需要的资料已经保存！",
         "",
         {{Answer::Yes, "全部删除(&Y)"}, {Answer::No, "稍后(&N)"}},
         Answer::No},
        {"NotifyRestartForUpdate",
         modMessagebox::NotifyRestartForUpdate,
         "Quorvel需要更新！",
         "Quorvel将重新启动以安装更新！",
         "",
         {{Answer::Yes, "确定(&Y)"}},
         Answer::Yes},
        {"ConfirmRemoveRecentDocument",
         [] { return modMessagebox::ConfirmRemoveRecentDocument(kRecentDocument); },
         "从\"最近打开文档\"的记录中删除", kRecentDocument,
         "删除最近打开的文档记录不会删除原文件,仅仅使其不在出现在\"最近打开文档\"的列表中 ", okCancel,
         Answer::Cancel},
        {"ConfirmDeleteShortcut", modMessagebox::ConfirmDeleteShortcut, "删除当前快捷方式", "",
         "删除当前快捷方不会删除原文件！", okCancel, Answer::Cancel},
        {"ConfirmRemovePage", modMessagebox::ConfirmRemovePage, "删除这个页面记录", "", "", okCancel,
         Answer::Cancel},
        {"ConfirmRemoveAllPages", modMessagebox::ConfirmRemoveAllPages, "删除这个页面记录", "", "", okCancel,
         Answer::Cancel},
    };
}

class MessageboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        mAutoAnswer = qgetenv("QV_AUTOANSWER");
        qunsetenv("QV_AUTOANSWER");
        TaskDialog::SetAnswerer({});
        mSavedStore = modInitial::gIconStore;
        mIcons.SetIcon(900, solidIcon(kQuestionColour));
        mIcons.SetIcon(901, solidIcon(Qt::red));
        modInitial::gIconStore = &mIcons;
    }
    void TearDown() override {
        modInitial::gIconStore = mSavedStore;
        TaskDialog::SetAnswerer({});
        if (!mAutoAnswer.isNull())
            qputenv("QV_AUTOANSWER", mAutoAnswer);
    }

    // Asks the question with an answerer that keeps the dialog and answers `answer`.
    TaskDialog captured(const Question& q, int answer, qint32* returned) {
        std::optional<TaskDialog> seen;
        TaskDialog::SetAnswerer([&seen, answer](const TaskDialog& d) -> std::optional<int> {
            seen = d;
            return answer;
        });
        *returned = q.ask();
        TaskDialog::SetAnswerer({});
        EXPECT_TRUE(seen.has_value()) << q.name;
        return seen.value_or(TaskDialog());
    }

    IconStore mIcons;
    IconStore* mSavedStore = nullptr;
    QByteArray mAutoAnswer;
};

// ---- The questions as asked -----------------------------------------------------------------

TEST_F(MessageboxTest, EveryQuestionAsksItsTextsWithItsButtons) {
    for (const Question& q : allQuestions()) {
        SCOPED_TRACE(q.name);
        qint32 returned = 0;
        const TaskDialog d = captured(q, 4321, &returned);
        EXPECT_EQ(returned, 4321);
        EXPECT_EQ(d.WindowTitle, QStringLiteral("确认"));
        EXPECT_EQ(d.MainInstructionText, q.instruction);
        EXPECT_EQ(d.ContentText, q.content);
        EXPECT_EQ(d.FooterText, q.note);
        QList<std::pair<int, QString>> buttons;
        for (const TaskDialog::Button& b : d.Buttons())
            buttons.append({b.id, b.caption});
        EXPECT_EQ(buttons, q.buttons);
        EXPECT_EQ(d.DefaultButton, q.defaultButton);
    }
}

TEST_F(MessageboxTest, EveryQuestionShowsTheQuestionIconAt32Pixels) {
    for (const Question& q : allQuestions()) {
        SCOPED_TRACE(q.name);
        qint32 returned = 0;
        const TaskDialog d = captured(q, Answer::Yes, &returned);
        EXPECT_EQ(d.MainIconSize, 32);
        ASSERT_FALSE(d.MainIcon.isNull());
        EXPECT_EQ(centreColour(d.MainIcon, 32), kQuestionColour);
    }
}

TEST_F(MessageboxTest, RemovingOnePageOrAllPagesAsksTheSameQuestion) {
    const QList<Question> questions = allQuestions();
    qint32 returned = 0;
    const TaskDialog one = captured(questions[6], 1, &returned);
    const TaskDialog all = captured(questions[7], 1, &returned);
    EXPECT_EQ(one.MainInstructionText, all.MainInstructionText);
    EXPECT_EQ(one.ContentText, all.ContentText);
    EXPECT_EQ(one.FooterText, all.FooterText);
    EXPECT_EQ(one.DefaultButton, all.DefaultButton);
    ASSERT_EQ(one.Buttons().size(), all.Buttons().size());
    for (qsizetype i = 0; i < one.Buttons().size(); ++i) {
        EXPECT_EQ(one.Buttons()[i].id, all.Buttons()[i].id);
        EXPECT_EQ(one.Buttons()[i].caption, all.Buttons()[i].caption);
    }
}

TEST_F(MessageboxTest, WithoutTheIconLibraryAQuestionStillHasAnIcon) {
    modInitial::gIconStore = nullptr;
    qint32 returned = 0;
    const TaskDialog d = captured(allQuestions()[0], Answer::No, &returned);
    EXPECT_FALSE(d.MainIcon.isNull());
    EXPECT_EQ(returned, Answer::No);
}

// ---- The shown dialog -----------------------------------------------------------------------

TEST_F(MessageboxTest, EnterInTheExitQuestionKeepsTheProgramOpen) {
    ModalDriver driver;
    driver.pressKey(Qt::Key_Return);
    EXPECT_EQ(modMessagebox::ConfirmExit(), Answer::No);
    EXPECT_TRUE(driver.acted);
    EXPECT_FALSE(driver.stuck);
}

TEST_F(MessageboxTest, EnterInTheUpdateNoticeAgrees) {
    ModalDriver driver;
    driver.pressKey(Qt::Key_Return);
    EXPECT_EQ(modMessagebox::NotifyRestartForUpdate(), Answer::Yes);
    EXPECT_TRUE(driver.acted);
    EXPECT_FALSE(driver.stuck);
}

TEST_F(MessageboxTest, EscapeGivesTheSafeAnswer) {
    ModalDriver exitDriver;
    exitDriver.pressKey(Qt::Key_Escape);
    EXPECT_EQ(modMessagebox::ConfirmExit(), Answer::No);
    EXPECT_FALSE(exitDriver.stuck);

    ModalDriver shortcutDriver;
    shortcutDriver.pressKey(Qt::Key_Escape);
    EXPECT_EQ(modMessagebox::ConfirmDeleteShortcut(), Answer::Cancel);
    EXPECT_FALSE(shortcutDriver.stuck);
}

TEST_F(MessageboxTest, ThePressedButtonIsTheAnswer) {
    ModalDriver driver;
    driver.whenShown([](QDialog* dialog) {
        for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
            if (b->text() == QStringLiteral("全部删除(&Y)"))
                QTest::mouseClick(b, Qt::LeftButton);
        }
    });
    EXPECT_EQ(modMessagebox::ConfirmDeleteAllNotes(), Answer::Yes);
    EXPECT_FALSE(driver.stuck);
}

TEST_F(MessageboxTest, TheShownDialogCarriesTitleIconAndTexts) {
    QString title;
    QColor iconColour;
    QStringList texts;
    ModalDriver driver;
    driver.whenShown([&](QDialog* dialog) {
        title = dialog->windowTitle();
        if (auto* icon = dialog->findChild<QLabel*>(QStringLiteral("mainIcon"))) {
            const QImage image = icon->pixmap().toImage();
            iconColour = image.pixelColor(image.width() / 2, image.height() / 2);
        }
        for (QLabel* label : dialog->findChildren<QLabel*>())
            texts << label->text();
        dialog->reject();
    });
    EXPECT_EQ(modMessagebox::ConfirmRemoveRecentDocument(kRecentDocument), Answer::Cancel);
    EXPECT_EQ(title, QStringLiteral("确认"));
    EXPECT_EQ(iconColour, kQuestionColour);
    EXPECT_TRUE(texts.contains(kRecentDocument));
    EXPECT_TRUE(texts.contains(QStringLiteral("从\"最近打开文档\"的记录中删除")));
}

TEST_F(MessageboxTest, AutoAnswerTakesTheDefaultAndNamesTheQuestion) {
    qputenv("QV_AUTOANSWER", "1");
    testing::internal::CaptureStderr();
    const qint32 exitAnswer = modMessagebox::ConfirmExit();
    const qint32 updateAnswer = modMessagebox::NotifyRestartForUpdate();
    const std::string err = testing::internal::GetCapturedStderr();
    qunsetenv("QV_AUTOANSWER");
    EXPECT_EQ(exitAnswer, Answer::No);
    EXPECT_EQ(updateAnswer, Answer::Yes);
    EXPECT_NE(err.find("QV question: 真的要退出Quorvel？\n"), std::string::npos) << err;
    EXPECT_NE(err.find("QV question: Quorvel需要更新！\n"), std::string::npos) << err;
}

} // namespace
