#include "MailFixture.h"
#include "controls/IconStore.h"
#include "core/QvError.h"

#include <QComboBox>

using MailCatalogue = MailFixture;

TEST_F(MailCatalogue, ListsLooksUpAndBindsTheServicesInOrder) {
    // A comment in the section is no service.
    loadServices(
        "<!-- two services -->" + postService(3, "A", "/a", "") +
        "<mailboxinfo id='7' name='B &amp; &lt;Co&gt;' iconno='1251' openmethod='3' notshowadd='0'/>");
    clsMailBoxInfos* list = catalogue();
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->MailboxList(), "A|3,B & <Co>|7");

    const XmlNode seven = list->getCMailboxInfoNodeByID(7);
    ASSERT_FALSE(seven.isNull());
    EXPECT_EQ(seven, list->Item(2).XMLNode());
    EXPECT_TRUE(list->getCMailboxInfoNodeByID(5).isNull());

    // Each Item call makes a fresh wrapper of the same element; positions outside the list fail.
    clsMailboxinfo first = list->Item(1);
    clsMailboxinfo again = list->Item(1);
    EXPECT_NE(&first, &again);
    EXPECT_EQ(first.XMLNode(), again.XMLNode());
    EXPECT_EQ(first.Parent, list);
    EXPECT_EQ(first.MailBoxName(), "A");
    EXPECT_EQ(first.MailBoxID(), "3");
    EXPECT_EQ(first.IconNo(), "1250");
    EXPECT_THROW(list->Item(0), QvError);
    EXPECT_THROW(list->Item(3), QvError);

    // The box: one markup item per service with the icon beside the name and the id as data;
    // a name holding markup characters is escaped in the markup and shown as written.
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
              "<TextBlock Padding = '2' VerticalAlignment='Center'>A</TextBlock></StackPanel>");
    EXPECT_EQ(
        box.itemData(1, clsMailBoxInfos::MarkupRole).toString(),
        "<StackPanel Orientation='Horizontal'><Image VerticalAlignment='Center' Source='1251'/>"
        "<TextBlock Padding = '2' VerticalAlignment='Center'>B &amp; &lt;Co&gt;</TextBlock></StackPanel>");
    EXPECT_EQ(box.itemText(0), "A");
    EXPECT_EQ(box.itemText(1), "B & <Co>");
    EXPECT_EQ(box.itemData(0).toInt(), 3);
    EXPECT_EQ(box.itemData(1).toInt(), 7);
    EXPECT_EQ(box.itemData(1).typeId(), QMetaType::Int);
    EXPECT_FALSE(box.itemIcon(0).isNull());
    EXPECT_EQ(box.itemIcon(1).pixmap(16).toImage(), icons.icon(1251).pixmap(16).toImage());

    // The common data's MailInfo is made once per loaded document.
    EXPECT_EQ(ProgramMailInfo(), MailInfoOf(modInitial::gData->CommonData()));
    EXPECT_EQ(ProgramMailInfo()->MailboxInfos(), list);
    EXPECT_EQ(list->Parent, ProgramMailInfo());
}

TEST_F(MailCatalogue, EmptyOrMissingSectionIsAnEmptyCatalogue) {
    for (const QString& mailinfo :
         {QString("<mailinfo><mailboxinfos/></mailinfo>"), QString("<mailinfo/>"), QString()}) {
        SCOPED_TRACE(mailinfo.toStdString());
        loadCommonData(mailinfo);
        clsMailBoxInfos* list = catalogue();
        EXPECT_EQ(list->Count(), 0);
        EXPECT_EQ(list->MailboxList(), "");
        EXPECT_TRUE(list->getCMailboxInfoNodeByID(1).isNull());
        QComboBox box;
        box.addItem("left over");
        list->MailboxInfoBindToSuiteComboboxControlByMarkup(&box);
        EXPECT_EQ(box.count(), 0);
        delete modInitial::gData;
        modInitial::gData = nullptr;
    }
}

TEST_F(MailCatalogue, ShippedServicesCarryALoginDescriptor) {
    XmlDocument shipped;
    ASSERT_TRUE(shipped.loadXMLUtf8(qvtest::readFile(qvtest::sourceDir() + "/data/common.xml")));
    clsMailInfo info;
    info.Load(shipped.selectSingleNode("data/mailinfo"));
    clsMailBoxInfos* list = info.MailboxInfos();
    ASSERT_GT(list->Count(), 0);
    QStringList ids;
    for (int i = 1; i <= list->Count(); ++i) {
        const clsMailboxinfo service = list->Item(i);
        SCOPED_TRACE(service.MailBoxName().toStdString());
        EXPECT_FALSE(ids.contains(service.MailBoxID()));
        ids << service.MailBoxID();
        EXPECT_EQ(list->getCMailboxInfoNodeByID(service.MailBoxID().toInt()), service.XMLNode());
        // Logged in by post or through the middle page, with a place for each typed text.
        const QString method = service.XMLNode().getAttribute("openmethod");
        EXPECT_TRUE(method == "2" || method == "3");
        EXPECT_EQ(service.XMLNode().selectNodes("*/par[@caption='用户名']").length(), 1);
        EXPECT_EQ(service.XMLNode().selectNodes("*/par[@caption='密码']").length(), 1);
    }
}
