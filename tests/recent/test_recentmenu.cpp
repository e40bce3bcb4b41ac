#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "platform/PlainMessage.h"
#include "recent/clsRecentFile.h"
#include "recent/clsRecentFileMenu.h"
#include "recent/frmSelectDatePeriod.h"

#include <QDateEdit>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolButton>
#include <gtest/gtest.h>

#include "ModalDriver.h"
#include "RecentTestFolders.h"
#include "RecordingShell.h"

namespace {

using Control = CommandBarControl;

class RecentMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(800, 600);
        bars = new CommandBars(&window);
        bars->SetIconStore(&icons);
        toolbar = bars->Add("工具");
        store.SetSources(folders.sources());
        store.initlRecentFileMenu(toolbar);
        menu = store.Menu();
        QObject::connect(bars, &CommandBars::Execute, menu, &clsRecentFileMenu::Execute);
        ShellService::setInstance(&shell);
        TaskDialog::SetAnswerer([this](const TaskDialog& d) -> std::optional<int> {
            asked << d.ContentText;
            return answer;
        });
        SetPlainMessageHandler([this](const QString& text, const QString&) { messages << text; });
    }
    void TearDown() override {
        TaskDialog::SetAnswerer({});
        SetPlainMessageHandler({});
        ShellService::setInstance(nullptr);
    }

    CommandBar* dropDown() { return menu->MenuButton()->CommandBar(); }
    // Opens a popup as the bars do: its owner fills it just before it shows.
    static void open(CommandBar* popup) { emit popup->menu()->aboutToShow(); }
    void execute(int id) {
        Control* control = bars->FindControl(id);
        ASSERT_NE(control, nullptr) << id;
        control->Execute();
    }
    static QStringList captions(CommandBar* bar) {
        QStringList out;
        for (Control* c : bar->Controls())
            out << c->Caption();
        return out;
    }
    QList<Control*> documents(CommandBar* bar) {
        QList<Control*> out;
        for (Control* c : bar->Controls())
            if (c->Id() == Cmd::RecentDocument)
                out << c;
        return out;
    }

    RecentTestFolders folders;
    QMainWindow window;
    IconStore icons;
    CommandBars* bars = nullptr;
    CommandBar* toolbar = nullptr;
    clsRecentFile store;
    clsRecentFileMenu* menu = nullptr;
    RecordingShell shell;
    QStringList asked;
    QStringList messages;
    int answer = Answer::Yes;
};

} // namespace

// The drop-down: the ten newest documents, the count sub-menus with their captions, groups and
// enabled states, and the "删除" sub-menu; sub-menus list their records when they open.
TEST_F(RecentMenuTest, DropDownShowsNewestDocumentsCountsAndDeleteMenu) {
    Control* button = menu->MenuButton();
    EXPECT_EQ(button->Id(), Cmd::RecentMenu);
    EXPECT_EQ(button->type(), Control::SplitButtonPopup);
    EXPECT_EQ(button->Caption(), "最近的文档");
    EXPECT_EQ(button->TooltipText(), "增强的 最近打开文档 , 可以让你分时间,分类型回顾打开过的文档和文件夹");
    EXPECT_EQ(button->style(), Control::StyleIconAndCaption);
    ASSERT_NE(button->toolButton(), nullptr);
    EXPECT_TRUE(button->toolButton()->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(button->toolButton()->accessibleName(), "最近的文档");

    folders.lnk("rd.lnk", "C:\\d\\R&D.doc", RecentTestFolders::at(0, 11));
    folders.lnk("sheet.lnk", "C:\\d\\sheet.xlsx", RecentTestFolders::at(-1, 10));
    folders.lnk("folder.lnk", "C:\\Work\\", RecentTestFolders::at(0, 9), true);
    for (int i = 0; i < 10; ++i)
        folders.lnk(QString("p%1.lnk").arg(i), QString("C:\\pics\\p%1.png").arg(i),
                    RecentTestFolders::at(-2 - i));
    folders.addXbel("/home/u/报告.pdf", RecentTestFolders::at(-20));

    open(dropDown());
    const QList<Control*> docs = documents(dropDown());
    ASSERT_EQ(docs.size(), 10);
    EXPECT_EQ(docs[0]->Caption(), "R&&D.doc");
    EXPECT_EQ(docs[0]->action()->text(), "R&&D.doc");
    EXPECT_EQ(docs[0]->TooltipText(), "C:\\d\\R&D.doc");
    EXPECT_EQ(docs[0]->Parameter(), "C:\\d\\R&D.doc|/|" + folders.recent + "/rd.lnk|/|R&D.doc");
    EXPECT_TRUE(icons.contains(docs[0]->IconId()));
    EXPECT_EQ(docs[1]->Caption(), "sheet.xlsx");
    EXPECT_EQ(docs[9]->Caption(), "p7.png");

    EXPECT_EQ(captions(dropDown()).mid(10),
              QStringList({"昨天/今天(2)", "一周之内(8)", "全部(13)", "Word文档(1)", "电子表格(1)",
                           "演示文稿(0)", "PDF,XPS(1)", "图片(10)", "最近的文件夹(1)", "删除"}));
    QList<int> groups;
    for (Control* c : dropDown()->Controls())
        if (c->BeginGroup())
            groups << c->Id();
    EXPECT_EQ(groups, QList<int>({Cmd::RecentToday, Cmd::RecentWord, Cmd::RecentDeleteMenu}));
    EXPECT_FALSE(dropDown()->Find(Cmd::RecentSlides)->Enabled());
    EXPECT_TRUE(dropDown()->Find(Cmd::RecentPdf)->Enabled());

    CommandBar* erase = dropDown()->Find(Cmd::RecentDeleteMenu)->CommandBar();
    QList<std::pair<int, QString>> items;
    for (Control* c : erase->Controls())
        items.append({c->Id(), c->Caption()});
    EXPECT_EQ(items, (QList<std::pair<int, QString>>{{0, " 时间"},
                                                     {Cmd::RecentDeleteToday, "今天"},
                                                     {Cmd::RecentDeleteYesterday, "昨天"},
                                                     {Cmd::RecentDeletePeriod, "特定时间"},
                                                     {0, " 类型"},
                                                     {Cmd::RecentDeleteImages, "所有图片"},
                                                     {Cmd::RecentDeleteTypeMenu, "特定类型"},
                                                     {Cmd::RecentDeleteFiles, "所有文件"},
                                                     {Cmd::RecentDeleteFolders, "所有文件夹"},
                                                     {Cmd::RecentDeleteAll, "全部删除"}}));
    EXPECT_EQ(erase->Item(0)->type(), Control::Label);
    EXPECT_TRUE(erase->Find(Cmd::RecentDeleteFiles)->BeginGroup());

    CommandBar* today = dropDown()->Find(Cmd::RecentToday)->CommandBar();
    open(today);
    EXPECT_EQ(captions(today), QStringList({"R&&D.doc", "sheet.xlsx"}));
    CommandBar* types = erase->Find(Cmd::RecentDeleteTypeMenu)->CommandBar();
    open(types);
    EXPECT_EQ(captions(types), QStringList({"doc", "xlsx", "png"}));
    EXPECT_EQ(types->Item(2)->Parameter(), "png");
    EXPECT_TRUE(icons.contains(types->Item(2)->IconId()));

    // Opening again rescans: a shortcut removed meanwhile is gone from the counts. The button's
    // own face (a click, or Space when it has the focus) opens the drop-down as well.
    QFile::remove(folders.recent + "/sheet.lnk");
    window.show();
    bool shown = false;
    QTimer::singleShot(300, [&] {
        shown = dropDown()->menu()->isVisible();
        dropDown()->menu()->hide();
    });
    button->Execute();
    QTRY_VERIFY(shown);
    EXPECT_EQ(dropDown()->Find(Cmd::RecentToday)->Caption(), "昨天/今天(1)");
}

TEST_F(RecentMenuTest, AnEmptyRecentFolderGivesNoDocumentsAndDisabledCounts) {
    open(dropDown());
    EXPECT_TRUE(documents(dropDown()).isEmpty());
    for (int id : {Cmd::RecentToday, Cmd::RecentWeek, Cmd::RecentAll, Cmd::RecentWord, Cmd::RecentSheet,
                   Cmd::RecentSlides, Cmd::RecentPdf, Cmd::RecentImages, Cmd::RecentFolders}) {
        Control* sub = dropDown()->Find(id);
        ASSERT_NE(sub, nullptr) << id;
        EXPECT_TRUE(sub->Caption().endsWith("(0)")) << sub->Caption().toStdString();
        EXPECT_FALSE(sub->Enabled()) << id;
    }
}

// A document opens; its context menu (right click or menu key) opens its folder or removes
// its shortcut after a yes, never the document itself.
TEST_F(RecentMenuTest, DocumentEntriesOpenAndTheirContextMenuRemovesTheShortcut) {
    const QString document = folders.dir.path() + "/plan.doc";
    qvtest::writeFile(document, "content");
    const QString shortcut = folders.lnk("plan.lnk", document, RecentTestFolders::at(0, 8));
    folders.lnk("other.lnk", "C:\\d\\other.doc", RecentTestFolders::at(0, 7));
    open(dropDown());
    Control* entry = documents(dropDown()).first();

    entry->Execute();
    EXPECT_EQ(shell.opened, QStringList{document});

    emit bars->ControlRightClick(entry);
    CommandBar* context = menu->ContextMenu();
    EXPECT_EQ(context->Title(), "最近打开文档");
    QTRY_VERIFY(context->menu()->isVisible());
    context->menu()->hide();
    EXPECT_EQ(context->Find(Cmd::RecentRemove)->Parameter(), entry->Parameter());
    context->Find(Cmd::RecentOpenFolder)->Execute();
    EXPECT_EQ(shell.shown, QStringList{document});

    answer = Answer::Cancel;
    context->Find(Cmd::RecentRemove)->Execute();
    EXPECT_TRUE(QFile::exists(shortcut));
    answer = Answer::Yes;
    context->Find(Cmd::RecentRemove)->Execute();
    EXPECT_EQ(asked, QStringList({"plan.doc", "plan.doc"}));
    EXPECT_FALSE(QFile::exists(shortcut));
    EXPECT_TRUE(QFile::exists(document));
    EXPECT_TRUE(messages.isEmpty());

    // The keyboard reaches the context menu too.
    window.show();
    QMenu* drop = dropDown()->menu();
    drop->popup(window.mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(drop->isVisible());
    ASSERT_EQ(documents(dropDown()).size(), 1) << "the reopened menu no longer lists the removed shortcut";
    Control* other = documents(dropDown()).first();
    drop->setActiveAction(other->action());
    QTest::keyClick(drop, Qt::Key_Menu);
    QTRY_VERIFY(context->menu()->isVisible());
    EXPECT_EQ(context->Find(Cmd::RecentOpenFolder)->Tag().toStringList().at(0), "C:\\d\\other.doc");
    context->menu()->hide();
    drop->hide();
}

// "昨天" removes yesterday's shortcuts only; "特定时间" asks for the dates first and does
// nothing when that is cancelled; "全部删除" takes the folders too, as its question says.
TEST_F(RecentMenuTest, DeletingByDateAndByTypeRemovesTheChosenShortcuts) {
    const QString y1 = folders.lnk("y1.lnk", "C:\\d\\y1.doc", RecentTestFolders::at(-1, 0, 0, 1));
    const QString y2 = folders.lnk("y2.lnk", "C:\\d\\y2.png", RecentTestFolders::at(-1, 23, 59, 59));
    const QString t1 = folders.lnk("t1.lnk", "C:\\d\\t1.doc", RecentTestFolders::at(0, 0, 0, 0));
    const QString t2 = folders.lnk("t2.lnk", "C:\\d\\t2.doc", RecentTestFolders::at(0, 6));
    const QString f1 = folders.lnk("f1.lnk", "C:\\Work\\", RecentTestFolders::at(-3), true);
    open(dropDown());

    ModalDriver cancel;
    cancel.whenShown([](QDialog* d) {
        QTest::mouseClick(static_cast<frmSelectDatePeriod*>(d)->cmdCancel(), Qt::LeftButton);
    });
    execute(Cmd::RecentDeletePeriod);
    EXPECT_TRUE(cancel.acted);
    EXPECT_FALSE(cancel.stuck);
    EXPECT_TRUE(asked.isEmpty());

    execute(Cmd::RecentDeleteYesterday);
    EXPECT_EQ(asked, QStringList{"昨天所有的文件记录"});
    EXPECT_FALSE(QFile::exists(y1));
    EXPECT_FALSE(QFile::exists(y2));
    EXPECT_TRUE(QFile::exists(t1) && QFile::exists(t2) && QFile::exists(f1));

    // One day, picked with "某天": the question names that date.
    const QDate earlier = QDate::currentDate().addDays(-3);
    ModalDriver oneDay;
    oneDay.whenShown([earlier](QDialog* d) {
        auto* dialog = static_cast<frmSelectDatePeriod*>(d);
        dialog->optOneDay()->click();
        dialog->dtpStart()->setDate(earlier);
        dialog->cmdOK()->click();
    });
    answer = Answer::Cancel;
    execute(Cmd::RecentDeletePeriod);
    EXPECT_EQ(asked.last(), QLocale::system().toString(earlier, QLocale::ShortFormat) + "的文件记录");
    ModalDriver period;
    period.whenShown([earlier](QDialog* d) {
        auto* dialog = static_cast<frmSelectDatePeriod*>(d);
        dialog->dtpStart()->setDate(earlier);
        dialog->dtpEnd()->setDate(QDate::currentDate());
        dialog->cmdOK()->click();
    });
    execute(Cmd::RecentDeletePeriod);
    EXPECT_EQ(asked.last(), "从" + QLocale::system().toString(earlier, QLocale::ShortFormat) + "到" +
                                QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) +
                                "之间的文件记录");
    EXPECT_TRUE(QFile::exists(t2)) << "answered no";

    answer = Answer::Yes;
    execute(Cmd::RecentDeleteAll);
    EXPECT_EQ(asked.last(), "所有文件和文件夹记录");
    EXPECT_FALSE(QFile::exists(t1) || QFile::exists(t2) || QFile::exists(f1));
}

// A failing command shows its error number and description in a plain message and the menu
// goes on working.
TEST_F(RecentMenuTest, AFailingCommandShowsTheErrorNumberAndDescription) {
    const QString readOnly = folders.lnk("r.lnk", "C:\\d\\r.doc", RecentTestFolders::at(0));
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    open(dropDown());
    emit bars->ControlRightClick(documents(dropDown()).first());
    menu->ContextMenu()->menu()->hide();
    menu->ContextMenu()->Find(Cmd::RecentRemove)->Execute();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().startsWith("75" + folders.recent + "/r.lnk"))
        << messages.first().toStdString();
    EXPECT_TRUE(QFile::exists(readOnly));

    execute(Cmd::RecentDeleteToday);
    EXPECT_FALSE(QFile::exists(readOnly)) << "bulk deletion forces read-only shortcuts";
}

// The date dialog: the period mode enables the end date and its labels; a new start date moves
// the end date; OK returns both dates; cancelling or closing marks it cancelled.
TEST(SelectDatePeriod, ModesDatesAndCancelling) {
    frmSelectDatePeriod dialog;
    EXPECT_EQ(dialog.windowTitle(), "选择时间");
    EXPECT_FALSE(dialog.isCancel);
    EXPECT_TRUE(dialog.optPeriod()->isChecked());
    EXPECT_TRUE(dialog.dtpEnd()->isEnabled());
    dialog.optOneDay()->click();
    EXPECT_FALSE(dialog.dtpEnd()->isEnabled());
    EXPECT_FALSE(dialog.lblFrom()->isEnabled());
    EXPECT_FALSE(dialog.lblTo()->isEnabled());
    EXPECT_TRUE(dialog.dtpStart()->isEnabled());
    dialog.optPeriod()->click();
    EXPECT_TRUE(dialog.dtpEnd()->isEnabled() && dialog.lblTo()->isEnabled());

    const QDate start(2024, 2, 28);
    dialog.dtpStart()->setDate(start);
    EXPECT_EQ(dialog.dtpEnd()->date(), start);
    dialog.dtpEnd()->setDate(QDate(2024, 3, 2));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.cmdOK()->click();
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_FALSE(dialog.isCancel);
    EXPECT_EQ(dialog.startDate, start);
    EXPECT_EQ(dialog.endDate, QDate(2024, 3, 2));

    for (QWidget* w : {static_cast<QWidget*>(dialog.dtpStart()), static_cast<QWidget*>(dialog.dtpEnd())}) {
        EXPECT_FALSE(w->accessibleName().isEmpty());
        EXPECT_NE(w->focusPolicy() & Qt::TabFocus, 0);
    }

    frmSelectDatePeriod closed;
    closed.show();
    closed.close();
    EXPECT_TRUE(closed.isCancel);
    frmSelectDatePeriod cancelled;
    cancelled.cmdCancel()->click();
    EXPECT_TRUE(cancelled.isCancel);
}
