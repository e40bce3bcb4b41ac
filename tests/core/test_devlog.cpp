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

static_assert(noexcept(modDevelopeFunction::WriteLog(QString())), "logging never throws into its caller");

TEST_F(DevelopLog, LogFileThatCannotBeWrittenIsReportedOnceAndTheLinesStayInMemory) {
    QLabel pane;
    modInitial::gDevLogPane = &pane;
    modInitial::SetAppPath(dir.path() + "/no/such/folder");
    testing::internal::CaptureStderr();
    modDevelopeFunction::WriteLog("first");
    modDevelopeFunction::WriteLog("second");
    const std::string reported = testing::internal::GetCapturedStderr();

    // Both lines are kept; the failure comes once, between them, and the pane shows the latest.
    ASSERT_EQ(modInitial::gDevLog->size(), 3);
    EXPECT_TRUE(modInitial::gDevLog->at(0).endsWith(" first"));
    EXPECT_TRUE(modInitial::gDevLog->at(1).contains("log.txt")) << modInitial::gDevLog->at(1).toStdString();
    EXPECT_TRUE(modInitial::gDevLog->at(2).endsWith(" second"));
    EXPECT_EQ(pane.text(), modInitial::gDevLog->at(2));
    const QString err = QString::fromStdString(reported);
    EXPECT_EQ(err.count("QV: "), 1) << reported;
    EXPECT_TRUE(err.contains(dir.path() + "/no/such/folder/log.txt")) << reported;

    // Writable again: the lines go to the file; a later failure is reported anew.
    modInitial::SetAppPath(dir.path());
    modDevelopeFunction::WriteLog("third");
    ASSERT_EQ(fileLines().size(), 1);
    EXPECT_TRUE(fileLines().first().endsWith(" third"));
    modInitial::SetAppPath(dir.path() + "/gone");
    testing::internal::CaptureStderr();
    modDevelopeFunction::WriteLog("fourth");
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()).count("QV: "), 1);
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
