#include "controls/CommandBars.h"
#include "controls/StatusBar.h"
#include "core/QvIds.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QMainWindow>();
        window->resize(900, 400);
        bars = new CommandBars(window.get());
        status = bars->statusBar();
        QObject::connect(status, &StatusBar::PaneClick, status, [this](int id) { clicked.append(id); });
    }
    void showWindow() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<QMainWindow> window;
    CommandBars* bars = nullptr;
    StatusBar* status = nullptr;
    QList<int> clicked;
};

// The main window's panes: the hidden first one, the stretching welcome text, the clickable log
// pane, the version.
TEST_F(StatusBarTest, PanesSitLeftToRightInTheOrderAdded) {
    EXPECT_EQ(bars->statusBar(), status);
    EXPECT_EQ(status->bar(), window->statusBar());
    StatusBarPane* hidden = status->AddPane(StatusPaneId::Main);
    hidden->setVisible(false);
    StatusBarPane* welcome = status->AddPane(StatusPaneId::Welcome);
    welcome->setText("欢迎使用Quorvel");
    welcome->setStretch(true);
    StatusBarPane* log = status->AddPane(StatusPaneId::DevelopLog);
    log->setText("日志");
    log->setWidth(300);
    StatusBarPane* version = status->AddPane(StatusPaneId::Version);
    version->setText("当前版本:V1.0");
    version->setWidth(100);
    showWindow();

    EXPECT_EQ(status->Panes(), (QList<StatusBarPane*>{hidden, welcome, log, version}));
    EXPECT_EQ(status->FindPane(StatusPaneId::DevelopLog), log);
    EXPECT_EQ(status->FindPane(999), nullptr);
    EXPECT_FALSE(hidden->widget()->isVisible());
    EXPECT_LT(welcome->widget()->x(), log->widget()->x());
    EXPECT_LT(log->widget()->x(), version->widget()->x());
    EXPECT_EQ(log->widget()->width(), 300);
    EXPECT_EQ(version->widget()->width(), 100);
    // The stretching pane takes what the fixed ones leave, pushing them to the right end.
    EXPECT_GT(welcome->widget()->width(), 300);
    EXPECT_GT(version->widget()->geometry().right(), window->width() - 60);
}

TEST_F(StatusBarTest, StretchChangedLaterKeepsThePanePlaceAndVisibility) {
    StatusBarPane* first = status->AddPane(1);
    first->setText("一");
    StatusBarPane* second = status->AddPane(2);
    second->setText("二");
    second->setVisible(false);
    StatusBarPane* third = status->AddPane(3);
    third->setText("三");
    second->setStretch(true);
    EXPECT_TRUE(second->Stretch());
    first->setStretch(true);
    showWindow();
    EXPECT_FALSE(second->widget()->isVisible());
    second->setVisible(true);
    QCoreApplication::processEvents();
    EXPECT_LT(first->widget()->x(), second->widget()->x());
    EXPECT_LT(second->widget()->x(), third->widget()->x());
}

TEST_F(StatusBarTest, VisiblePaneCountLeavesOutHiddenPanes) {
    status->AddPane(StatusPaneId::Main)->setVisible(false);
    status->AddPane(StatusPaneId::Welcome);
    StatusBarPane* log = status->AddPane(StatusPaneId::DevelopLog);
    status->AddPane(StatusPaneId::Version);
    // Counted before the window shows, as the window counts them while it loads.
    EXPECT_EQ(status->VisiblePaneCount(), 3);
    log->setVisible(false);
    EXPECT_EQ(status->VisiblePaneCount(), 2);
    EXPECT_FALSE(log->Visible());
    showWindow();
    EXPECT_EQ(status->VisiblePaneCount(), 2);
    EXPECT_FALSE(log->widget()->isVisible());
}

TEST_F(StatusBarTest, AClickableReportsItsIdOtherPanesDoNot) {
    StatusBarPane* welcome = status->AddPane(StatusPaneId::Welcome);
    welcome->setText("欢迎使用Quorvel");
    StatusBarPane* log = status->AddPane(StatusPaneId::DevelopLog);
    log->setText("日志");
    log->setWidth(300);
    log->setClickable(true);
    showWindow();

    EXPECT_TRUE(log->Clickable());
    EXPECT_EQ(log->widget()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(welcome->widget(), Qt::LeftButton);
    QTest::mouseClick(log->widget(), Qt::LeftButton);
    EXPECT_EQ(clicked, QList<int>{StatusPaneId::DevelopLog});
    // Released outside the pane: no click.
    QTest::mousePress(log->widget(), Qt::LeftButton);
    QTest::mouseRelease(log->widget(), Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_EQ(clicked, QList<int>{StatusPaneId::DevelopLog});

    log->setClickable(false);
    QTest::mouseClick(log->widget(), Qt::LeftButton);
    EXPECT_EQ(clicked, QList<int>{StatusPaneId::DevelopLog});
}

TEST_F(StatusBarTest, TextWidthBoldAndFontFamilyApplyToThePane) {
    StatusBarPane* welcome = status->AddPane(StatusPaneId::Welcome);
    welcome->setText("欢迎使用Quorvel");
    welcome->setBold(true);
    welcome->setFontFamily("微软雅黑");
    welcome->setToolTip("提示");
    StatusBarPane* fit = status->AddPane(112);
    fit->setText("短");
    showWindow();

    EXPECT_EQ(welcome->Text(), "欢迎使用Quorvel");
    EXPECT_TRUE(welcome->widget()->font().bold());
    EXPECT_EQ(welcome->widget()->font().families().value(0), "微软雅黑");
    EXPECT_FALSE(fit->widget()->font().bold());
    EXPECT_EQ(welcome->widget()->toolTip(), "提示");

    // Width 0 sizes the pane to its text; a fixed width holds whatever the text.
    const int shortWidth = fit->widget()->width();
    fit->setText("一段比原来长得多的状态文字");
    QCoreApplication::processEvents();
    EXPECT_GT(fit->widget()->width(), shortWidth);
    fit->setWidth(80);
    fit->setText("又一段比原来长得多得多的状态文字");
    QCoreApplication::processEvents();
    EXPECT_EQ(fit->widget()->width(), 80);
    fit->setWidth(0);
    QCoreApplication::processEvents();
    EXPECT_GT(fit->widget()->width(), 80);
}

TEST_F(StatusBarTest, AProgressPaneShowsABarThatStaysWithinItsRange) {
    status->AddPane(StatusPaneId::Main)->setVisible(false);
    StatusBarPane* text = status->AddPane(StatusPaneId::BrowserStatusText);
    text->setWidth(500);
    StatusBarPane* progress = status->AddProgressPane(StatusPaneId::BrowserProgress);
    progress->setWidth(150);
    progress->setVisible(false);
    showWindow();

    auto* bar = qobject_cast<QProgressBar*>(progress->widget());
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_GT(bar->x(), text->widget()->x());

    progress->setVisible(true);
    progress->setProgressRange(1000);
    progress->setProgressValue(250);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->width(), 150);
    EXPECT_EQ(progress->ProgressMaximum(), 1000);
    EXPECT_EQ(progress->ProgressValue(), 250);
    EXPECT_EQ(bar->value(), 250);
    // More than announced shows a full bar, not the last value.
    progress->setProgressValue(4000);
    EXPECT_EQ(progress->ProgressValue(), 1000);
    progress->setProgressValue(-5);
    EXPECT_EQ(progress->ProgressValue(), 0);
    // Shrinking the range keeps the value inside it.
    progress->setProgressValue(800);
    progress->setProgressRange(500);
    EXPECT_EQ(progress->ProgressValue(), 500);
    EXPECT_EQ(progress->Text(), "");
    progress->setText("下载中");
    EXPECT_EQ(progress->Text(), "下载中");
    EXPECT_EQ(text->ProgressValue(), 0) << "a text pane has no progress";
}

} // namespace
