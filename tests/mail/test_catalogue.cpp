#include "MailFixture.h"
#include "controls/IconStore.h"
#include "core/QvError.h"

#include <QComboBox>

using MailCatalogue = MailFixture;

TEST_F(MailCatalogue, ListsLooksUpAndBindsTheServicesInOrder) {
    // A comment in the section is no service; a name holding markup characters is data.
    loadServices(
        "<!-- two -->" + postService(3, "/a", "") +
        "<mailboxinfo id='7' name='B &amp; &lt;Co&gt;' iconno='1251' openmethod='3' notshowadd='0'/>");
    clsMailBoxInfos* list = catalogue();
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->MailboxList(), "P3|3,B & <Co>|7");
    EXPECT_EQ(list->getCMailboxInfoNodeByID(7), list->Item(2).XMLNode());
    EXPECT_FALSE(list->getCMailboxInfoNodeByID(7).isNull());
    EXPECT_TRUE(list->getCMailboxInfoNodeByID(5).isNull());
    EXPECT_EQ(list->Item(1).Parent, list);
    EXPECT_THROW(list->Item(0), QvError);
    EXPECT_THROW(list->Item(3), QvError);

    IconStore icons;
    ASSERT_TRUE(icons.LoadLibrary(qvtest::buildDir() + "/Data/icon.dat"));
    modInitial::gIconStore = &icons;
    QComboBox box;
    box.addItem("left over");
    list->MailboxInfoBindToSuiteComboboxControlByMarkup(&box);
    modInitial::gIconStore = nullptr;
    ASSERT_EQ(box.count(), 2);
    EXPECT_EQ(box.itemData(0, clsMailBoxInfos::MarkupRole).toString(),
              "<StackPanel Orientation='Horizontal'><Image VerticalAlignment='Center' Source='1250'/>"
              "<TextBlock Padding = '2' VerticalAlignment='Center'>P3</TextBlock></StackPanel>");
    EXPECT_TRUE(box.itemData(1, clsMailBoxInfos::MarkupRole).toString().contains(">B &amp; &lt;Co&gt;<"));
    EXPECT_EQ(box.itemText(1), "B & <Co>");
    EXPECT_EQ(box.itemData(0).toInt(), 3);
    EXPECT_EQ(box.itemData(1).toInt(), 7);
    EXPECT_EQ(box.itemIcon(1).pixmap(16).toImage(), icons.icon(1251).pixmap(16).toImage());
}

TEST_F(MailCatalogue, EmptyOrMissingSectionIsAnEmptyCatalogue) {
    for (const QString mailinfo : {"<mailinfo><mailboxinfos/></mailinfo>", ""}) {
        loadCommonData(mailinfo);
        EXPECT_EQ(catalogue()->Count(), 0);
        EXPECT_EQ(catalogue()->MailboxList(), "");
        EXPECT_TRUE(catalogue()->getCMailboxInfoNodeByID(1).isNull());
        QComboBox box;
        box.addItem("left over");
        catalogue()->MailboxInfoBindToSuiteComboboxControlByMarkup(&box);
        EXPECT_EQ(box.count(), 0);
    }
}
