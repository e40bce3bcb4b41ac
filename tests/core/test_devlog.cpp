#include "core/QvError.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DevelopLog : public ::testing::Test {
protected:
    void SetUp() override {
        oldAppPath = modInitial::AppPath();
        modInitial::SetAppPath(dir.path());
        modInitial::gDevLog = std::make_unique<QStringList>();
    }
    void TearDown() override {
        modInitial::SetAppPath(oldAppPath);
        modInitial::gDevLog.reset();
        modInitial::gDevLogPane = nullptr;
    }
    QStringList fileLines() {
        return QString::fromUtf8(qvtest::readFile(dir.path() + "/log.txt")).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    QString oldAppPath;
};

// The line's date-time part: everything before the message, in the locale's short form.
QDateTime stampOf(const QString& line, const QString& message) {
    EXPECT_TRUE(line.endsWith(" " + message)) << line.toStdString();
    const QString stamp = line.left(line.size() - message.size() - 1);
    return QLocale::system().toDateTime(stamp, QLocale::ShortFormat);
}

TEST_F(DevelopLog, LineIsTheDateTimeABlankAndTheMessage) {
    const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
    modDevelopeFunction::WriteLog(QStringLiteral("读取用户ID开始...."));
    ASSERT_EQ(modInitial::gDevLog->size(), 1);
    const QDateTime stamp = stampOf(modInitial::gDevLog->first(), QStringLiteral("读取用户ID开始...."));
    ASSERT_TRUE(stamp.isValid());
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, QDateTime::currentDateTime().addSecs(60));
    EXPECT_EQ(fileLines(), *modInitial::gDevLog);
}

TEST_F(DevelopLog, LinesAppendInOrderAcrossRuns) {
    qvtest::writeFile(dir.path() + "/log.txt", "an older line\n");
    modDevelopeFunction::WriteLog("first");
    modDevelopeFunction::WriteLog(QStringLiteral("取得用户ID成功...."));
    // The program ends and starts again: a new in-memory log, the same file.
    modInitial::gDevLog = std::make_unique<QStringList>();
    modDevelopeFunction::WriteLog("third");

    const QStringList lines = fileLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "an older line");
    EXPECT_TRUE(lines[1].endsWith(" first"));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" 取得用户ID成功....")));
    EXPECT_TRUE(lines[3].endsWith(" third"));
    EXPECT_EQ(*modInitial::gDevLog, QStringList{lines[3]});
    EXPECT_TRUE(qvtest::readFile(dir.path() + "/log.txt").endsWith("third\n"));
}

TEST_F(DevelopLog, PaneShowsTheLatestLine) {
    QLabel pane;
    modInitial::gDevLogPane = &pane;
    modDevelopeFunction::WriteLog("one");
    modDevelopeFunction::WriteLog("two");
    EXPECT_EQ(pane.text(), modInitial::gDevLog->last());
    EXPECT_TRUE(pane.text().endsWith(" two"));
}

TEST_F(DevelopLog, PaneThatIsGoneIsSkipped) {
    auto* pane = new QLabel;
    modInitial::gDevLogPane = pane;
    delete pane;
    modDevelopeFunction::WriteLog("after the pane");
    EXPECT_EQ(modInitial::gDevLog->size(), 1);
}

TEST_F(DevelopLog, WithoutTheInMemoryLogTheFileStillGetsTheLine) {
    modInitial::gDevLog.reset();
    modDevelopeFunction::WriteLog("file only");
    ASSERT_EQ(fileLines().size(), 1);
    EXPECT_TRUE(fileLines().first().endsWith(" file only"));
}

TEST_F(DevelopLog, LogFileThatCannotBeOpenedRaisesAnError) {
    modInitial::SetAppPath(dir.path() + "/no/such/folder");
    try {
        modDevelopeFunction::WriteLog("lost");
        ADD_FAILURE() << "no error";
    } catch (const QvError& e) {
        EXPECT_EQ(e.number(), QvErrors::PathAccess);
    }
    // The line was kept in memory before the file failed.
    EXPECT_EQ(modInitial::gDevLog->size(), 1);
}

TEST(ShowDevelopLog, CallsTheWindowsHandler) {
    int shown = 0;
    modDevelopeFunction::ShowDevelopLog(); // no window yet: nothing happens
    modDevelopeFunction::SetShowDevelopLogHandler([&] { ++shown; });
    modDevelopeFunction::ShowDevelopLog();
    modDevelopeFunction::ShowDevelopLog();
    modDevelopeFunction::SetShowDevelopLogHandler({});
    EXPECT_EQ(shown, 2);
}

} // namespace
