#include "SoftwareFixture.h"

#include "core/QvIds.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

TEST_F(SoftwareFixture, TheDropDownsListLabelsFoundProgramsAndLinksInLayoutOrder) {
    start(
        R"(<localsofts><localsoft lsid="writer" caption="Writer" file="$D/bin/writer" tip="writes"/></localsofts>
             <customsapp><capp appname="Calc" apppath="$D/bin/calc"/><capp appname="Gone" apppath="$D/nothing"/></customsapp>)");
    QStringList bar;
    for (CommandBarControl* c : toolbar->Controls()) {
        bar << QString("%1:%2:%3").arg(c->Id()).arg(c->Caption()).arg(c->IconId());
        EXPECT_EQ(c->toolButton()->focusPolicy(), Qt::TabFocus);
        EXPECT_EQ(c->toolButton()->accessibleName(), c->Caption());
    }
    EXPECT_EQ(bar, QStringList({QString("%1:我的软件:1104").arg(Cmd::MySoftware),
                                QString("%1:办公:1240").arg(Cmd::AppButton),
                                QString("%1:工具:1247").arg(Cmd::AppButton)}));

    // The leading separator waits past the missing program and the web link for the program;
    // the link missing from the catalogue and the popbtn leave no entry.
    CommandBarControl* office = toolbar->Item(1);
    const QStringList expected = {entry(Cmd::OpenLink, "Docs"), entry(Cmd::OpenProgram, "Writer", true),
                                  entry(0, "在线"), entry(Cmd::OpenLink, "Sheets"), entry(0, "结束", true)};
    EXPECT_EQ(open(office), expected);
    CommandBar* popup = office->CommandBar();
    EXPECT_EQ(popup->Item(0)->Parameter(), "100");
    EXPECT_EQ(popup->Item(0)->IconId(), 1201);
    EXPECT_EQ(popup->Item(3)->IconId(), 100) << "a link without an icon number shows icon 100";
    EXPECT_EQ(popup->Item(1)->Parameter(), D + "/bin/writer");
    EXPECT_EQ(popup->Item(1)->TooltipText(), "writes");
    EXPECT_TRUE(showsIconOf(popup->Item(1), D + "/bin/writer"));
    // Opening again builds the same list, the file's icon under the same store number.
    const int iconNumber = popup->Item(1)->IconId(), storeSize = icons.count();
    EXPECT_EQ(open(office), expected);
    EXPECT_EQ(popup->Item(1)->IconId(), iconNumber);
    EXPECT_EQ(icons.count(), storeSize);
    EXPECT_EQ(open(toolbar->Item(2)), QStringList()) << "calc was not found";

    // "我的软件", opened with Down on the focused button: the custom applications with their
    // files' icons, then "添加软件".
    CommandBarControl* mine = toolbar->Item(0);
    QStringList shown;
    QTimer::singleShot(0, window.get(), [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                shown << (a->isSeparator() ? QString("-") : a->text());
            menu->close();
        }
    });
    QTest::keyClick(mine->toolButton(), Qt::Key_Down);
    EXPECT_EQ(shown, QStringList({"Calc", "Gone", "-", "添加软件"}));
    EXPECT_EQ(mine->CommandBar()->Item(0)->Parameter(), D + "/bin/calc");
    EXPECT_TRUE(showsIconOf(mine->CommandBar()->Item(0), D + "/bin/calc"));
    EXPECT_EQ(mine->CommandBar()->Item(2)->Id(), Cmd::AddSoftware);
}

TEST_F(SoftwareFixture, AUserWhoNeverScannedIsScannedOnceWhenAnApplicationListFirstOpens) {
    start("<customsapp/>");
    const QString program = entry(Cmd::OpenProgram, "");
    EXPECT_EQ(open(toolbar->Item(1)).filter(program), QStringList({entry(Cmd::OpenProgram, "Writer", true)}));
    // Once only: a list emptied since stays empty until the scan command runs; an unknown link
    // id is reported when opened.
    user->LocalSoftsXMLNode().removeChild(user->LocalSoftsXMLNode().firstChild());
    EXPECT_EQ(open(toolbar->Item(1)).filter(program), QStringList());
    software->OpenWebLink("999");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("999")) << messages[0].toStdString();
}
