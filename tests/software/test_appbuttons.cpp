#include "SoftwareFixture.h"

#include "core/QvIds.h"
#include "software/clsAppButtonBar.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {
const char* const kFound =
    R"(<localsofts><localsoft lsid="writer" caption="Writer" file="$D/bin/writer" tip="writes"/>
<localsoft lsid="calc" caption="Calc" file="$D/bin/calc" tip=""/></localsofts>)";
const char* const kCustom = R"(<customsapp><capp appname="Calc" apppath="$D/bin/calc"/>
<capp appname="Gone" apppath="$D/bin/gone"/></customsapp>)";
} // namespace

TEST_F(SoftwareFixture, TheBarHoldsMySoftwareThenOneButtonPerLayoutEntryEachReachableByKeyboard) {
    start(QString(kFound) + kCustom);
    ASSERT_EQ(toolbar->Count(), 3);
    CommandBarControl* mine = toolbar->Item(0);
    EXPECT_EQ(mine->Id(), Cmd::MySoftware);
    EXPECT_EQ(mine->Caption(), "我的软件");
    EXPECT_EQ(mine->IconId(), 1104);
    CommandBarControl* office = toolbar->Item(1);
    EXPECT_EQ(office->Id(), Cmd::AppButton);
    EXPECT_EQ(office->Caption(), "办公");
    EXPECT_EQ(office->IconId(), 1240);
    EXPECT_EQ(office->TooltipText(), "办公软件");
    EXPECT_EQ(toolbar->Item(2)->IconId(), 1247);
    XmlDocument markup;
    ASSERT_TRUE(markup.loadXML(office->Parameter())) << "the parameter is the layout element's markup";
    EXPECT_EQ(markup.documentElement().childElements().length(), 10);
    for (CommandBarControl* c : toolbar->Controls()) {
        EXPECT_EQ(c->type(), CommandBarControl::ButtonPopup);
        EXPECT_EQ(c->style(), CommandBarControl::StyleIconAndCaption);
        ASSERT_NE(c->toolButton(), nullptr);
        EXPECT_EQ(c->toolButton()->focusPolicy(), Qt::TabFocus);
        EXPECT_EQ(c->toolButton()->accessibleName(), c->Caption());
        EXPECT_FALSE(c->action()->icon().isNull()) << c->Caption().toStdString();
    }
}

TEST_F(SoftwareFixture, AnApplicationDropDownFollowsItsLayoutWithFoundProgramsOnly) {
    start(QString(kFound) + kCustom);
    CommandBarControl* office = toolbar->Item(1);
    // The leading separator waits past the missing program and the web link for the program
    // entry; a link missing from the catalogue and the popbtn leave no entry.
    const QStringList expected = {"580:Docs online", "|701:Writer", "0:在线", "580:Sheets online", "|0:结束"};
    EXPECT_EQ(open(office), expected);
    CommandBar* popup = office->CommandBar();
    EXPECT_EQ(popup->Item(0)->Parameter(), "100");
    EXPECT_EQ(popup->Item(0)->IconId(), 1201);
    EXPECT_EQ(popup->Item(3)->IconId(), 100) << "a link without an icon number shows icon 100";
    CommandBarControl* writer = popup->Item(1);
    EXPECT_EQ(writer->Parameter(), D + "/bin/writer");
    EXPECT_EQ(writer->TooltipText(), "writes");
    EXPECT_TRUE(showsIconOf(writer, D + "/bin/writer"));
    EXPECT_EQ(popup->Item(2)->type(), CommandBarControl::Label);

    // Opening again builds the same list, with the file's icon under the same number.
    const int iconNumber = writer->IconId();
    const int storeSize = icons->count();
    EXPECT_EQ(open(office), expected);
    EXPECT_EQ(popup->Item(1)->IconId(), iconNumber);
    EXPECT_EQ(icons->count(), storeSize);

    // The second button lists the other found program; a fresh scan that misses it empties it.
    EXPECT_EQ(open(toolbar->Item(2)), QStringList({"701:Calc"}));
    ASSERT_TRUE(software->ScanLocalSoft());
    EXPECT_EQ(open(toolbar->Item(2)), QStringList());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(SoftwareFixture, MySoftwareListsTheCustomApplicationsWithTheirIconsThenAddSoftware) {
    start(QString(kFound) + kCustom);
    CommandBarControl* mine = toolbar->Item(0);

    // Down on the focused button opens the drop-down, filled as it opens.
    QStringList shown;
    QTimer::singleShot(0, window.get(), [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* a : menu->actions())
            shown << (a->isSeparator() ? QString("-") : a->text());
        menu->close();
    });
    mine->toolButton()->setFocus();
    QTest::keyClick(mine->toolButton(), Qt::Key_Down);
    EXPECT_EQ(shown, QStringList({"Calc", "Gone", "-", "添加软件"}));

    CommandBar* popup = mine->CommandBar();
    ASSERT_EQ(popup->Count(), 3);
    EXPECT_EQ(popup->Item(0)->Id(), Cmd::OpenProgram);
    EXPECT_EQ(popup->Item(0)->Parameter(), D + "/bin/calc");
    EXPECT_TRUE(showsIconOf(popup->Item(0), D + "/bin/calc"));
    EXPECT_EQ(popup->Item(2)->Id(), Cmd::AddSoftware);

    // A new user (no custom applications) sees "添加软件" alone.
    user->LocalCustomsAppXMLNode().parentNode().removeChild(user->LocalCustomsAppXMLNode());
    EXPECT_EQ(open(mine), QStringList({"|603:添加软件"}));
}

TEST_F(SoftwareFixture, AUserWhoNeverScannedIsScannedWhenAnApplicationListFirstOpens) {
    start(kCustom);
    EXPECT_TRUE(user->XMLNode.selectSingleNode("localsofts").isNull());
    EXPECT_EQ(open(toolbar->Item(1)),
              QStringList({"580:Docs online", "|701:Writer", "0:在线", "580:Sheets online", "|0:结束"}));
    EXPECT_EQ(user->LocalSoftsXMLNode().childElements().length(), 1);

    // Only once: a result the user emptied stays empty until the scan command runs.
    user->LocalSoftsXMLNode().removeChild(user->LocalSoftsXMLNode().firstChild());
    EXPECT_EQ(open(toolbar->Item(1)).filter("701:").size(), 0);
}

TEST_F(SoftwareFixture, AWebLinkThatCannotBeOpenedIsReported) {
    start(kFound);
    software->OpenWebLink("999");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("999")) << messages[0].toStdString();
}
