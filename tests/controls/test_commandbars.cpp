#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "controls/StatusBar.h"
#include "core/QvIds.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using Control = CommandBarControl;

QIcon solidIcon(Qt::GlobalColor color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Which entries of a widget are separators, in order.
QList<bool> separatorPattern(const QWidget* widget) {
    QList<bool> pattern;
    for (const QAction* action : widget->actions())
        pattern.append(action->isSeparator());
    return pattern;
}

// Opens `menu` without a nested event loop, as a menu bar does.
void openMenu(QMenu* menu, QPoint at = QPoint(40, 40)) {
    menu->popup(at);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
}

void clickEntry(QMenu* menu, QAction* action, Qt::MouseButton button = Qt::LeftButton) {
    const QRect rect = menu->actionGeometry(action);
    ASSERT_FALSE(rect.isEmpty());
    QTest::mouseClick(menu, button, {}, rect.center());
}

// Runs `open`, which shows a popup with its own event loop (a tool button's menu), hands the
// popup to `check` while it is shown, then closes it.
void whileOpen(const std::function<void()>& open, const std::function<void(QMenu*)>& check) {
    auto seen = std::make_shared<bool>(false);
    QTimer::singleShot(0, [seen, check] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            *seen = true;
            check(menu);
            menu->close();
        }
    });
    open();
    QCoreApplication::processEvents();
    EXPECT_TRUE(*seen) << "no popup opened";
}

QStringList visibleTexts(const QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && !menu->actionGeometry(action).isEmpty())
            texts.append(action->text());
    }
    return texts;
}

class CommandBarsTest : public ::testing::Test {
protected:
    void SetUp() override {
        icons.SetIcon(Cmd::NewPage, solidIcon(Qt::red));
        icons.SetIcon(410, solidIcon(Qt::green));
        icons.SetIcon(SearchIcon::SuperSearch, solidIcon(Qt::blue));
        window = std::make_unique<QMainWindow>();
        window->resize(900, 500);
        bars = new CommandBars(window.get());
        bars->SetIconStore(&icons);
        QObject::connect(bars, &CommandBars::Execute, bars,
                         [this](Control* control) { executed.append(control->Id()); });
    }
    void TearDown() override {
        window.reset();
        flushDeletes();
    }
    void showWindow() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    IconStore icons;
    std::unique_ptr<QMainWindow> window;
    CommandBars* bars = nullptr;
    QList<int> executed;
};

// --- Building bars ----------------------------------------------------------------------------

TEST_F(CommandBarsTest, MenuBarPopupsShowTheirEntriesInOrder) {
    CommandBar* menuBar = bars->ActiveMenuBar();
    EXPECT_EQ(menuBar->menuBar(), window->menuBar());
    EXPECT_EQ(bars->ActiveMenuBar(), menuBar);

    Control* open = menuBar->Add(Control::Popup, 0, "打开");
    Control* help = menuBar->Add(Control::Popup, 0, "帮助");
    Control* newPage = open->CommandBar()->Add(Control::Button, Cmd::NewPage, "新网页");
    newPage->setTooltipText("打开一个空白的网页");
    Control* quit = open->CommandBar()->Add(Control::Button, Cmd::Exit, "退出(&X)");

    EXPECT_EQ(window->menuBar()->actions(), (QList<QAction*>{open->action(), help->action()}));
    QMenu* menu = open->CommandBar()->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(open->action()->menu(), menu);
    EXPECT_EQ(menu->title(), "打开");
    EXPECT_EQ(menu->actions(), (QList<QAction*>{newPage->action(), quit->action()}));
    EXPECT_EQ(newPage->action()->toolTip(), "打开一个空白的网页");
    EXPECT_EQ(quit->action()->text(), "退出(&X)");
    EXPECT_EQ(open->CommandBar()->kind(), CommandBar::PopupBar);
    EXPECT_EQ(open->CommandBar()->ParentControl(), open);
    EXPECT_EQ(quit->Parent(), open->CommandBar());
}

TEST_F(CommandBarsTest, ToolbarsAreNamedAfterTheirTitleAndStartANewRow) {
    CommandBar* tools = bars->Add("工具");
    CommandBar* local = bars->Add("本地工具");
    CommandBar* side = bars->Add("侧栏", CommandBars::Left);
    EXPECT_EQ(tools->toolBar()->objectName(), "工具");
    EXPECT_EQ(tools->toolBar()->windowTitle(), "工具");
    EXPECT_EQ(window->toolBarArea(tools->toolBar()), Qt::TopToolBarArea);
    EXPECT_EQ(window->toolBarArea(side->toolBar()), Qt::LeftToolBarArea);
    EXPECT_TRUE(window->toolBarBreak(local->toolBar()));
    EXPECT_FALSE(window->toolBarBreak(side->toolBar()));
    EXPECT_EQ(bars->ToolBarByTitle("本地工具"), local);
    EXPECT_EQ(bars->ToolBarByTitle("没有"), nullptr);
    EXPECT_EQ(bars->ToolBars(), (QList<CommandBar*>{tools, local, side}));
}

TEST_F(CommandBarsTest, AddBeforeAPositionKeepsTheWidgetInTheSameOrder) {
    CommandBar* bar = bars->Add("工具");
    Control* a = bar->Add(Control::Button, 1, "a");
    Control* c = bar->Add(Control::Button, 3, "c");
    Control* b = bar->Add(Control::Button, 2, "b", 1);
    Control* first = bar->Add(Control::Button, 0, "first", 0);
    Control* last = bar->Add(Control::Button, 9, "last", 99);
    EXPECT_EQ(bar->Controls(), (QList<Control*>{first, a, b, c, last}));
    EXPECT_EQ(bar->toolBar()->actions(),
              (QList<QAction*>{first->action(), a->action(), b->action(), c->action(), last->action()}));
    EXPECT_EQ(bar->Item(2), b);
    EXPECT_EQ(bar->Item(5), nullptr);
    EXPECT_EQ(bar->Item(-1), nullptr);
}

// --- Icons ----------------------------------------------------------------------------------

TEST_F(CommandBarsTest, AControlShowsTheIconNumberedLikeItsIdUnlessGivenAnother) {
    CommandBar* bar = bars->Add("工具");
    Control* newPage = bar->Add(Control::Button, Cmd::NewPage, "新网页");
    Control* search = bar->Add(Control::Button, Cmd::SuperSearch, "超级搜索");
    EXPECT_EQ(newPage->IconId(), Cmd::NewPage);
    EXPECT_EQ(newPage->action()->icon().cacheKey(), icons.icon(Cmd::NewPage).cacheKey());
    EXPECT_TRUE(search->action()->icon().isNull()) << "no icon of that number in the store";

    search->setIconId(SearchIcon::SuperSearch);
    EXPECT_EQ(search->action()->icon().cacheKey(), icons.icon(SearchIcon::SuperSearch).cacheKey());
    // An explicit icon stays when the id changes; a default one follows the id.
    search->setId(Cmd::RecentMenu);
    EXPECT_EQ(search->action()->icon().cacheKey(), icons.icon(SearchIcon::SuperSearch).cacheKey());
    newPage->setId(410);
    EXPECT_EQ(newPage->action()->icon().cacheKey(), icons.icon(410).cacheKey());
    newPage->setIconId(-1);
    EXPECT_TRUE(newPage->action()->icon().isNull());
}

TEST_F(CommandBarsTest, IconsFollowAStoreGivenOrChangedLater) {
    auto* other = new CommandBars(window.get());
    CommandBar* bar = other->Add("工具");
    Control* popup = bar->Add(Control::ButtonPopup, 410, "便签");
    Control* inner = popup->CommandBar()->Add(Control::Button, Cmd::NewPage, "新网页");
    EXPECT_TRUE(inner->action()->icon().isNull());

    other->SetIconStore(&icons);
    EXPECT_EQ(inner->action()->icon().cacheKey(), icons.icon(Cmd::NewPage).cacheKey());
    EXPECT_EQ(popup->action()->icon().cacheKey(), icons.icon(410).cacheKey());

    IconStore replacement;
    replacement.SetIcon(Cmd::NewPage, solidIcon(Qt::yellow));
    other->SetIconStore(&replacement);
    EXPECT_EQ(inner->action()->icon().cacheKey(), replacement.icon(Cmd::NewPage).cacheKey());
    EXPECT_TRUE(popup->action()->icon().isNull());
    other->SetIconStore(nullptr);
}

TEST_F(CommandBarsTest, ToolButtonsShowIconCaptionOrBothByStyle) {
    CommandBar* bar = bars->Add("工具");
    Control* withIcon = bar->Add(Control::Button, Cmd::NewPage, "新网页");
    Control* withoutIcon = bar->Add(Control::Button, 5, "我的文档");
    Control* both = bar->Add(Control::Button, SearchIcon::SuperSearch, "超级搜索");
    both->setStyle(Control::StyleIconAndCaption);
    Control* caption = bar->Add(Control::Button, 410, "邮箱");
    caption->setStyle(Control::StyleCaption);

    ASSERT_NE(withIcon->toolButton(), nullptr);
    EXPECT_EQ(withIcon->toolButton()->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(withoutIcon->toolButton()->toolButtonStyle(), Qt::ToolButtonTextOnly);
    EXPECT_EQ(both->toolButton()->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(caption->toolButton()->toolButtonStyle(), Qt::ToolButtonTextOnly);
    // The automatic style follows a later icon change.
    withoutIcon->setIconId(Cmd::NewPage);
    EXPECT_EQ(withoutIcon->toolButton()->toolButtonStyle(), Qt::ToolButtonIconOnly);
    // Other buttons keep their styles when the bar changes around them.
    bar->Add(Control::Button, 1, "新", 0);
    EXPECT_EQ(both->toolButton()->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
}

TEST_F(CommandBarsTest, MenuBarTitlesShowCaptionsAndARightAlignedButtonShowsBoth) {
    CommandBar* menuBar = bars->ActiveMenuBar();
    Control* view = menuBar->Add(Control::Popup, Cmd::NewPage, "窗口视图");
    Control* mail = menuBar->Add(Control::Button, Cmd::Feedback, "我要提意见！");
    mail->setIconId(410);
    mail->setRightAligned(true);
    mail->setTooltipText("给我们写信");

    // An icon on a menu bar title would replace its caption.
    EXPECT_TRUE(view->action()->icon().isNull());
    EXPECT_FALSE(window->menuBar()->actions().contains(mail->action()));
    QToolButton* button = mail->toolButton();
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(window->menuBar()->cornerWidget(Qt::TopRightCorner)->isAncestorOf(button));
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(button->icon().cacheKey(), icons.icon(410).cacheKey());
    EXPECT_EQ(button->toolTip(), "给我们写信");

    showWindow();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(executed, QList<int>{Cmd::Feedback});
}

// --- Groups and visibility ------------------------------------------------------------------

TEST_F(CommandBarsTest, BeginGroupPutsASeparatorBeforeAllButTheFirstVisibleControl) {
    CommandBar* popup = bars->ActiveMenuBar()->Add(Control::Popup, 0, "窗口视图")->CommandBar();
    Control* reset = popup->Add(Control::Button, Cmd::DefaultLayout, "恢复默认版面");
    reset->setBeginGroup(true);
    Control* newPage = popup->Add(Control::Button, Cmd::NewPage, "新网页");
    newPage->setBeginGroup(true);
    Control* tile = popup->Add(Control::Button, Cmd::TileHorizontal, "横向平铺");
    QMenu* menu = popup->menu();

    EXPECT_EQ(separatorPattern(menu), (QList<bool>{false, true, false, false}));
    EXPECT_EQ(menu->actions().at(2), newPage->action());

    reset->setVisible(false);
    EXPECT_EQ(menu->actions(), (QList<QAction*>{newPage->action(), tile->action()}));

    reset->setVisible(true);
    tile->setBeginGroup(true);
    EXPECT_EQ(separatorPattern(menu), (QList<bool>{false, true, false, true, false}));
    newPage->setBeginGroup(false);
    EXPECT_EQ(separatorPattern(menu), (QList<bool>{false, false, true, false}));
}

TEST_F(CommandBarsTest, ToolbarSeparatorsFollowGroupsAndHiddenControls) {
    CommandBar* bar = bars->Add("浏览器基本功能");
    bar->Add(Control::Button, Cmd::Home, "主页");
    Control* favorites = bar->Add(Control::Popup, Cmd::Favorites, "收藏夹");
    favorites->setBeginGroup(true);
    bar->Add(Control::ComboBox, Cmd::Address, "URL");
    EXPECT_EQ(separatorPattern(bar->toolBar()), (QList<bool>{false, true, false, false}));
    bar->Item(0)->setVisible(false);
    EXPECT_EQ(separatorPattern(bar->toolBar()), (QList<bool>{false, false}));
    EXPECT_EQ(bar->toolBar()->actions().first(), favorites->action());
}

TEST_F(CommandBarsTest, AHostedWindowShowsInItsMenuAndGoesWithIt) {
    showWindow();
    CommandBar* popup = bars->ActiveMenuBar()->Add(Control::Popup, Cmd::Assistant, "助手")->CommandBar();
    popup->Add(Control::Button, Cmd::AddFavorite, "添加到收藏...");
    // Given its window after it joined the menu, as an owner filling a menu on opening does.
    Control* hosted = popup->Add(Control::Custom, 0, "站内搜索");
    hosted->setBeginGroup(true);
    QPointer<QLineEdit> panel = new QLineEdit;
    hosted->setCustomWidget(panel);
    EXPECT_EQ(hosted->customWidget(), panel.data());
    EXPECT_EQ(panel->accessibleName(), "站内搜索");
    EXPECT_EQ(separatorPattern(popup->menu()), (QList<bool>{false, true, false}));

    openMenu(popup->menu());
    EXPECT_EQ(panel->parentWidget(), popup->menu());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(popup->menu()->actionGeometry(hosted->action()).isEmpty());
    // Typing into it runs no command.
    QTest::keyClicks(panel, "abc");
    EXPECT_EQ(panel->text(), "abc");
    EXPECT_TRUE(executed.isEmpty());
    popup->menu()->hide();

    popup->Remove(hosted);
    flushDeletes();
    EXPECT_TRUE(panel.isNull());
}

// --- Execution ------------------------------------------------------------------------------

TEST_F(CommandBarsTest, ClickingAToolbarButtonExecutesItOnce) {
    CommandBar* bar = bars->Add("工具");
    Control* newPage = bar->Add(Control::Button, Cmd::NewPage, "新网页");
    bar->Add(Control::Button, Cmd::Exit, "退出");
    showWindow();
    QTest::mouseClick(newPage->toolButton(), Qt::LeftButton);
    EXPECT_EQ(executed, QList<int>{Cmd::NewPage});
}

TEST_F(CommandBarsTest, EveryToolbarButtonIsReachedByTabNamedAndOpensItsListByKey) {
    CommandBar* bar = bars->Add("工具");
    Control* newPage = bar->Add(Control::Button, Cmd::NewPage, "&新网页");
    Control* iconOnly = bar->Add(Control::Button, Cmd::SuperSearch, QString());
    iconOnly->setTooltipText("超强的搜索功能");
    Control* split = bar->Add(Control::SplitButtonPopup, Cmd::NoteAdd, "便签");
    split->CommandBar()->Add(Control::Button, Cmd::NoteShowAll, "显示所有便签");
    showWindow();

    newPage->toolButton()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(newPage->toolButton()->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(iconOnly->toolButton()->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(split->toolButton()->hasFocus());

    EXPECT_EQ(newPage->toolButton()->accessibleName(), "新网页");
    EXPECT_EQ(iconOnly->toolButton()->accessibleName(), "超强的搜索功能");
    split->setCaption("便签本");
    EXPECT_EQ(split->toolButton()->accessibleName(), "便签本");

    whileOpen([&] { QTest::keyClick(split->toolButton(), Qt::Key_Down); },
              [](QMenu* menu) { EXPECT_EQ(visibleTexts(menu), QStringList{"显示所有便签"}); });
    QTest::keyClick(newPage->toolButton(), Qt::Key_Space);
    EXPECT_EQ(executed, QList<int>{Cmd::NewPage});
}

TEST_F(CommandBarsTest, ClickingAMenuEntryExecutesItOnce) {
    Control* open = bars->ActiveMenuBar()->Add(Control::Popup, 0, "打开");
    open->CommandBar()->Add(Control::Button, Cmd::NewPage, "新网页");
    Control* quit = open->CommandBar()->Add(Control::Button, Cmd::Exit, "退出");
    quit->setBeginGroup(true);
    showWindow();
    openMenu(open->CommandBar()->menu());
    clickEntry(open->CommandBar()->menu(), quit->action());
    EXPECT_EQ(executed, QList<int>{Cmd::Exit});
}

TEST_F(CommandBarsTest, ASplitButtonExecutesFromItsFaceButNotFromItsArrow) {
    CommandBar* bar = bars->Add("浏览器基本功能");
    Control* back = bar->Add(Control::SplitButtonPopup, Cmd::Back, "后退");
    back->CommandBar()->Add(Control::Button, Cmd::HistoryEntry, "上一页");
    showWindow();
    QToolButton* button = back->toolButton();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->popupMode(), QToolButton::MenuButtonPopup);

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
    EXPECT_EQ(executed, QList<int>{Cmd::Back});

    executed.clear();
    whileOpen(
        [&] {
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 3, button->height() / 2));
        },
        [&](QMenu* menu) { EXPECT_EQ(menu, back->CommandBar()->menu()); });
    EXPECT_TRUE(executed.isEmpty());
}

TEST_F(CommandBarsTest, ASplitButtonInAMenuIsASubmenuThatExecutesNothingItself) {
    Control* open = bars->ActiveMenuBar()->Add(Control::Popup, 0, "打开");
    Control* notes = open->CommandBar()->Add(Control::SplitButtonPopup, Cmd::NoteAdd, "便签");
    notes->CommandBar()->Add(Control::Button, Cmd::NoteShowAll, "显示所有便签");
    showWindow();
    openMenu(open->CommandBar()->menu());
    clickEntry(open->CommandBar()->menu(), notes->action());
    QCoreApplication::processEvents();
    EXPECT_TRUE(executed.isEmpty());
    open->CommandBar()->menu()->close();
}

TEST_F(CommandBarsTest, DropDownButtonsAndLabelsExecuteNothingWhenClicked) {
    CommandBar* bar = bars->Add("本地工具");
    Control* mySoft = bar->Add(Control::ButtonPopup, Cmd::MySoftware, "我的软件");
    mySoft->CommandBar()->Add(Control::Button, Cmd::AddSoftware, "添加软件");
    Control* label = bar->Add(Control::Label, Cmd::FocusLabel, "FOCUSINWEBBROWSER");
    showWindow();
    ASSERT_NE(label->label(), nullptr);
    EXPECT_EQ(label->label()->text(), "FOCUSINWEBBROWSER");
    EXPECT_TRUE(label->label()->isVisible());
    QTest::mouseClick(label->label(), Qt::LeftButton);
    EXPECT_EQ(mySoft->toolButton()->popupMode(), QToolButton::InstantPopup);
    whileOpen([&] { QTest::mouseClick(mySoft->toolButton(), Qt::LeftButton); },
              [&](QMenu* menu) { EXPECT_EQ(visibleTexts(menu), QStringList{"添加软件"}); });
    EXPECT_TRUE(executed.isEmpty());
}

TEST_F(CommandBarsTest, DisabledControlsDoNotExecute) {
    CommandBar* bar = bars->Add("工具");
    Control* button = bar->Add(Control::Button, Cmd::NewPage, "新网页");
    button->setEnabled(false);
    showWindow();
    EXPECT_FALSE(button->toolButton()->isEnabled());
    QTest::mouseClick(button->toolButton(), Qt::LeftButton);
    button->Execute();
    EXPECT_TRUE(executed.isEmpty());
    button->setEnabled(true);
    button->Execute();
    EXPECT_EQ(executed, QList<int>{Cmd::NewPage});
}

TEST_F(CommandBarsTest, TheCheckMarkIsTheOwnersNotToggledByAClick) {
    CommandBar* bar = bars->Add("工具");
    Control* search = bar->Add(Control::Button, Cmd::SuperSearch, "超级搜索");
    EXPECT_FALSE(search->action()->isCheckable());
    showWindow();
    QTest::mouseClick(search->toolButton(), Qt::LeftButton);
    EXPECT_FALSE(search->action()->isChecked());

    search->setChecked(true);
    EXPECT_TRUE(search->action()->isCheckable());
    EXPECT_TRUE(search->action()->isChecked());
    QTest::mouseClick(search->toolButton(), Qt::LeftButton);
    EXPECT_TRUE(search->action()->isChecked());
    EXPECT_TRUE(search->Checked());
    EXPECT_EQ(executed, (QList<int>{Cmd::SuperSearch, Cmd::SuperSearch}));

    search->setChecked(false);
    EXPECT_FALSE(search->action()->isChecked());
}

TEST_F(CommandBarsTest, EnterInAComboBoxExecutesItOnceAndKeepsTheText) {
    CommandBar* bar = bars->Add("浏览器基本功能");
    Control* address = bar->Add(Control::ComboBox, Cmd::Address, "URL");
    address->setTooltipText("请输入网址");
    QComboBox* combo = address->comboBox();
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->lineEdit()->placeholderText(), "URL");
    EXPECT_EQ(combo->toolTip(), "请输入网址");
    QString textWhenExecuted;
    QObject::connect(bars, &CommandBars::Execute, bars,
                     [&](Control* control) { textWhenExecuted = control->comboBox()->currentText(); });
    showWindow();
    combo->setFocus();
    QTest::keyClicks(combo->lineEdit(), "example.org");
    EXPECT_TRUE(executed.isEmpty()) << "typing alone executes nothing";
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(executed, QList<int>{Cmd::Address});
    // The focus widget is the combo box itself.
    QTest::keyClick(combo, Qt::Key_Enter);
    EXPECT_EQ(executed, (QList<int>{Cmd::Address, Cmd::Address}));
    EXPECT_EQ(textWhenExecuted, "example.org");
    EXPECT_EQ(combo->count(), 0) << "the owner keeps the list";
}

TEST_F(CommandBarsTest, AComboBoxListIsRefilledJustBeforeItDropsDown) {
    CommandBar* bar = bars->Add("浏览器基本功能");
    Control* address = bar->Add(Control::ComboBox, Cmd::Address, "URL");
    int dropDowns = 0;
    QObject::connect(bars, &CommandBars::ComboBoxDropDown, bars, [&](Control* control) {
        ++dropDowns;
        control->comboBox()->clear();
        control->comboBox()->addItems({"http://a.example/", "http://b.example/"});
    });
    showWindow();
    address->comboBox()->showPopup();
    EXPECT_EQ(dropDowns, 1);
    EXPECT_EQ(address->comboBox()->count(), 2);
    address->comboBox()->hidePopup();
    EXPECT_TRUE(executed.isEmpty());
}

// --- Popups filled as they open -------------------------------------------------------------

TEST_F(CommandBarsTest, APopupRefilledAsItOpensShowsTheNewEntriesInThatOpening) {
    CommandBar* bar = bars->Add("工具");
    Control* recent = bar->Add(Control::ButtonPopup, Cmd::RecentMenu, "最近的文档");
    int openings = 0;
    QList<QPointer<Control>> earlier;
    QObject::connect(bars, &CommandBars::InitCommandsPopup, bars, [&](CommandBar* popup) {
        if (popup->ParentControl() != recent)
            return;
        ++openings;
        for (Control* control : popup->Controls())
            earlier.append(control);
        popup->DeleteAll();
        for (int i = 0; i <= openings; ++i)
            popup->Add(Control::Button, Cmd::RecentDocument, QString("文档%1").arg(i));
    });
    showWindow();
    QMenu* menu = recent->CommandBar()->menu();

    openMenu(menu, window->mapToGlobal(QPoint(20, 60)));
    EXPECT_EQ(openings, 1);
    EXPECT_EQ(visibleTexts(menu), (QStringList{"文档0", "文档1"}));
    EXPECT_GE(menu->height(), menu->actionGeometry(menu->actions().last()).bottom());
    menu->hide();

    // The tool button's own menu, opened by a click.
    whileOpen([&] { QTest::mouseClick(recent->toolButton(), Qt::LeftButton); },
              [&](QMenu* shown) {
                  EXPECT_EQ(visibleTexts(shown), (QStringList{"文档0", "文档1", "文档2"}));
              });
    EXPECT_EQ(openings, 2);
    flushDeletes();
    for (const QPointer<Control>& old : earlier)
        EXPECT_TRUE(old.isNull()) << "entries of an earlier opening are deleted";
}

TEST_F(CommandBarsTest, SubmenusAreFilledWhenTheyOpenNotBefore) {
    Control* recent = bars->ActiveMenuBar()->Add(Control::Popup, Cmd::RecentMenu, "最近的文档");
    QList<CommandBar*> opened;
    QObject::connect(bars, &CommandBars::InitCommandsPopup, bars, [&](CommandBar* popup) {
        opened.append(popup);
        Control* parent = popup->ParentControl();
        popup->DeleteAll();
        if (parent == recent) {
            Control* erase = popup->Add(Control::Popup, Cmd::RecentDeleteMenu, "删除");
            erase->setBeginGroup(true);
        } else if (parent && parent->Id() == Cmd::RecentDeleteMenu) {
            popup->Add(Control::Label, 0, " 时间");
            popup->Add(Control::Button, Cmd::RecentDeleteToday, "今天");
        }
    });
    showWindow();
    QMenu* menu = recent->CommandBar()->menu();
    openMenu(menu);
    ASSERT_EQ(opened.size(), 1);
    Control* erase = recent->CommandBar()->Find(Cmd::RecentDeleteMenu);
    ASSERT_NE(erase, nullptr);
    EXPECT_EQ(erase->CommandBar()->Count(), 0);

    openMenu(erase->CommandBar()->menu(),
             menu->mapToGlobal(menu->actionGeometry(erase->action()).topRight()));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.last(), erase->CommandBar());
    EXPECT_EQ(visibleTexts(erase->CommandBar()->menu()), (QStringList{" 时间", "今天"}));
    erase->CommandBar()->menu()->hide();
    menu->hide();
}

TEST_F(CommandBarsTest, AContextPopupOfItsOwnOpensAtAPointAndTakesRightClicks) {
    CommandBar* context = bars->Add("最近打开文档", CommandBars::Popup);
    EXPECT_EQ(context->kind(), CommandBar::PopupBar);
    EXPECT_EQ(context->ParentControl(), nullptr);
    EXPECT_FALSE(bars->ToolBars().contains(context));
    Control* remove = context->Add(Control::Button, Cmd::RecentRemove, "删除");
    context->Add(Control::Button, Cmd::RecentOpenFolder, "打开文件夹");
    EXPECT_EQ(bars->FindControl(Cmd::RecentOpenFolder)->Parent(), context);

    QList<CommandBar*> opened;
    QObject::connect(bars, &CommandBars::InitCommandsPopup, bars,
                     [&](CommandBar* popup) { opened.append(popup); });
    showWindow();
    context->ShowPopup(window->mapToGlobal(QPoint(50, 50)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(context->menu()));
    EXPECT_EQ(opened, QList<CommandBar*>{context});
    EXPECT_TRUE(context->Visible());
    clickEntry(context->menu(), remove->action(), Qt::RightButton);
    EXPECT_EQ(executed, QList<int>{Cmd::RecentRemove});
}

TEST_F(CommandBarsTest, ARightClickOnADropDownEntryIsReportedInsteadOfExecuted) {
    Control* recent = bars->ActiveMenuBar()->Add(Control::Popup, Cmd::RecentMenu, "最近的文档");
    Control* document = recent->CommandBar()->Add(Control::Button, Cmd::RecentDocument, "报告.doc");
    QList<Control*> rightClicked;
    QObject::connect(bars, &CommandBars::ControlRightClick, bars,
                     [&](Control* control) { rightClicked.append(control); });
    showWindow();
    QMenu* menu = recent->CommandBar()->menu();
    openMenu(menu);
    clickEntry(menu, document->action(), Qt::RightButton);
    EXPECT_EQ(rightClicked, QList<Control*>{document});
    EXPECT_TRUE(executed.isEmpty());
    EXPECT_TRUE(menu->isVisible()) << "the menu stays open for the context menu";
    clickEntry(menu, document->action());
    EXPECT_EQ(executed, QList<int>{Cmd::RecentDocument});
}

// --- Finding, removing ----------------------------------------------------------------------

TEST_F(CommandBarsTest, FindSearchesPopupsOnlyWhenAskedAndTheSetSearchesEveryBar) {
    CommandBar* browser = bars->Add("浏览器基本功能");
    Control* favorites = browser->Add(Control::Popup, Cmd::Favorites, "收藏夹");
    Control* add = favorites->CommandBar()->Add(Control::Button, Cmd::AddFavorite, "添加到收藏...");
    Control* tools = browser->Add(Control::Popup, Cmd::Tools, "工具");
    Control* saveAs = tools->CommandBar()->Add(Control::Button, Cmd::SaveAs, "另存为...");
    CommandBar* local = bars->Add("本地工具");
    Control* first = local->Add(Control::Button, Cmd::OpenProgram, "记事本");
    Control* second = favorites->CommandBar()->Add(Control::Button, Cmd::OpenProgram, "计算器");

    EXPECT_EQ(browser->Find(Cmd::AddFavorite), nullptr);
    EXPECT_EQ(browser->Find(Cmd::AddFavorite, true), add);
    EXPECT_EQ(browser->Find(Cmd::SaveAs, true), saveAs);
    EXPECT_EQ(browser->Find(Cmd::Favorites), favorites);
    EXPECT_EQ(bars->FindControl(Cmd::SaveAs), saveAs);
    EXPECT_EQ(bars->FindControl(999), nullptr);
    const QList<Control*> all = bars->FindControls(Cmd::OpenProgram);
    EXPECT_EQ(all.size(), 2);
    EXPECT_TRUE(all.contains(first) && all.contains(second));
}

TEST_F(CommandBarsTest, RemovedControlsLeaveTheBarAndAreDeletedLater) {
    CommandBar* bar = bars->Add("本地工具");
    Control* a = bar->Add(Control::Button, Cmd::OpenProgram, "a");
    QPointer<Control> b = bar->Add(Control::Button, Cmd::OpenProgram, "b");
    b->setBeginGroup(true);
    Control* c = bar->Add(Control::Button, Cmd::OpenProgram, "c");
    bar->Remove(b);
    EXPECT_EQ(bar->Count(), 2);
    EXPECT_EQ(bar->toolBar()->actions(), (QList<QAction*>{a->action(), c->action()}));
    EXPECT_FALSE(b.isNull()) << "still usable by the handler that removed it";
    flushDeletes();
    EXPECT_TRUE(b.isNull());

    QPointer<Control> popup = bar->Add(Control::ButtonPopup, Cmd::MySoftware, "我的软件");
    QPointer<QMenu> menu = popup->CommandBar()->menu();
    bar->DeleteAll();
    EXPECT_EQ(bar->Count(), 0);
    EXPECT_TRUE(bar->toolBar()->actions().isEmpty());
    flushDeletes();
    EXPECT_TRUE(popup.isNull());
    EXPECT_TRUE(menu.isNull()) << "a popup's menu goes with its control";
}

TEST_F(CommandBarsTest, AHandlerMayRefillTheBarOfTheControlItRuns) {
    CommandBar* bar = bars->Add("本地工具");
    Control* rescan = bar->Add(Control::Button, Cmd::RescanSoftware, "扫描");
    QObject::connect(bars, &CommandBars::Execute, bars, [](Control* control) {
        if (control->Id() != Cmd::RescanSoftware)
            return;
        CommandBar* holder = control->Parent();
        holder->DeleteAll();
        holder->Add(Control::Button, Cmd::OpenProgram, "记事本");
        holder->Add(Control::Button, Cmd::OpenProgram, "计算器");
    });
    showWindow();
    QTest::mouseClick(rescan->toolButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    flushDeletes();
    EXPECT_EQ(executed, QList<int>{Cmd::RescanSoftware});
    ASSERT_EQ(bar->Count(), 2);
    EXPECT_EQ(bar->toolBar()->actions().size(), 2);
    QTest::mouseClick(bar->Item(1)->toolButton(), Qt::LeftButton);
    EXPECT_EQ(executed, (QList<int>{Cmd::RescanSoftware, Cmd::OpenProgram}));
}

// --- Layout ---------------------------------------------------------------------------------

TEST_F(CommandBarsTest, DockRightOfPutsABarOnTheReferenceRowDirectlyRightOfIt) {
    CommandBar* tools = bars->Add("工具");
    tools->Add(Control::Button, Cmd::NewPage, "新网页");
    CommandBar* local = bars->Add("本地工具");
    local->Add(Control::Button, Cmd::OpenProgram, "记事本");
    CommandBar* debug = bars->Add("调试菜单");
    debug->Add(Control::Label, Cmd::FocusLabel, "FOCUSINWEBBROWSER");
    CommandBar* lower = bars->Add("其他");
    lower->Add(Control::Button, 5, "其他");

    bars->DockRightOf(local, tools);
    bars->DockRightOf(debug, local);
    for (CommandBar* bar : {local, debug})
        EXPECT_FALSE(window->toolBarBreak(bar->toolBar())) << bar->Title().toStdString();
    EXPECT_TRUE(window->toolBarBreak(lower->toolBar()));

    showWindow();
    QCoreApplication::processEvents();
    const QRect t = tools->toolBar()->geometry(), l = local->toolBar()->geometry(),
                d = debug->toolBar()->geometry();
    EXPECT_EQ(l.y(), t.y());
    EXPECT_EQ(d.y(), t.y());
    EXPECT_GT(l.x(), t.right() - 1);
    EXPECT_GT(d.x(), l.right() - 1);
    EXPECT_GT(lower->toolBar()->y(), t.y());

    // Docking next to a bar that already has a neighbour goes between the two.
    bars->DockRightOf(lower, tools);
    bars->RecalcLayout();
    QCoreApplication::processEvents();
    EXPECT_EQ(lower->toolBar()->y(), t.y());
    EXPECT_LT(lower->toolBar()->x(), local->toolBar()->x());
    EXPECT_GT(lower->toolBar()->x(), tools->toolBar()->x());
}

TEST_F(CommandBarsTest, SetFontReachesMenuBarToolbarsAndMenusMadeBeforeAndAfter) {
    CommandBar* menuBar = bars->ActiveMenuBar();
    Control* open = menuBar->Add(Control::Popup, 0, "打开");
    CommandBar* tools = bars->Add("工具");
    Control* button = tools->Add(Control::Button, Cmd::NewPage, "新网页");
    QFont font = QApplication::font();
    font.setPointSize(17);
    bars->SetFont(font);
    Control* later = tools->Add(Control::ButtonPopup, Cmd::RecentMenu, "最近的文档");
    CommandBar* laterBar = bars->Add("本地工具");

    EXPECT_EQ(bars->Font().pointSize(), 17);
    EXPECT_EQ(window->menuBar()->font().pointSize(), 17);
    EXPECT_EQ(open->CommandBar()->menu()->font().pointSize(), 17);
    EXPECT_EQ(button->toolButton()->font().pointSize(), 17);
    EXPECT_EQ(later->CommandBar()->menu()->font().pointSize(), 17);
    EXPECT_EQ(laterBar->toolBar()->font().pointSize(), 17);
    EXPECT_NE(window->statusBar()->font().pointSize(), 17);
}

TEST_F(CommandBarsTest, BarsWorkOnAMainWindowEmbeddedInAnotherWindow) {
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    auto* inner = new QMainWindow(&host);
    inner->setWindowFlags(Qt::Widget);
    layout->addWidget(inner);
    auto* innerBars = new CommandBars(inner);
    innerBars->SetIconStore(&icons);
    QList<int> innerExecuted;
    QObject::connect(innerBars, &CommandBars::Execute, innerBars,
                     [&](Control* control) { innerExecuted.append(control->Id()); });
    CommandBar* bar = innerBars->Add("浏览器基本功能");
    Control* back = bar->Add(Control::SplitButtonPopup, Cmd::Back, "后退");
    back->CommandBar()->Add(Control::Button, Cmd::HistoryEntry, "上一页");
    CommandBar* second = innerBars->Add("第二");
    second->Add(Control::Button, Cmd::Stop, "停止");
    innerBars->DockRightOf(second, bar);
    StatusBarPane* status = innerBars->statusBar()->AddPane(StatusPaneId::BrowserStatusText);
    status->setText("完成");
    host.resize(600, 300);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QCoreApplication::processEvents();

    EXPECT_FALSE(inner->isWindow());
    EXPECT_EQ(bar->toolBar()->parentWidget(), inner);
    EXPECT_EQ(second->toolBar()->y(), bar->toolBar()->y());
    EXPECT_EQ(innerBars->statusBar()->bar(), inner->statusBar());
    EXPECT_TRUE(status->widget()->isVisible());
    QTest::mouseClick(back->toolButton(), Qt::LeftButton, {}, QPoint(4, back->toolButton()->height() / 2));
    EXPECT_EQ(innerExecuted, QList<int>{Cmd::Back});
    EXPECT_TRUE(executed.isEmpty()) << "each window's bars report to their own set";
}

} // namespace
