#include "SoftwareFixture.h"

#include "ModalDriver.h"
#include "software/frmSelectCustomFile.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

class CustomAppsTest : public SoftwareFixture {
protected:
    void TearDown() override {
        delete form.data();
        SoftwareFixture::TearDown();
    }
    frmSelectCustomFile* openWindow(const QString& apps) {
        start("<localsofts/><customsapp>" + apps + "</customsapp>");
        return form = frmSelectCustomFile::ShowWindow(user.get());
    }
    // The list, and the custom applications as the user data file holds them.
    QString state() {
        XmlDocument saved;
        saved.loadXML(modDataFile::ReadEncryptedFile(D + "/Data/User.dat"));
        QStringList listed, stored;
        for (int i = 0; i < form->lvw_CustomApp->count(); ++i)
            listed << form->lvw_CustomApp->item(i)->text();
        for (const XmlNode& n : saved.selectNodes("data/customsapp/capp"))
            stored << n.getAttribute("appname") + "=" + QString(n.getAttribute("apppath")).replace(D, "$D");
        return listed.join(',') + " | " + stored.join(',');
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    static void type(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

    QPointer<frmSelectCustomFile> form;
};

const QString kTwoApps =
    R"(<capp appname="Calc" apppath="$D/bin/calc"/><capp appname="Writer" apppath="$D/bin/writer"/>)";

} // namespace

TEST_F(CustomAppsTest, AnAddedApplicationIsStoredAndListedWithItsIconBeforeAddSoftware) {
    frmSelectCustomFile* f = openWindow(R"(<capp appname="Calc" apppath="$D/bin/calc"/>)");
    EXPECT_EQ(f->windowTitle(), "选择加入文件");
    EXPECT_EQ(frmSelectCustomFile::ShowWindow(user.get()), f) << "one window, raised again";
    EXPECT_TRUE(f->txt_AppName->isReadOnly() && f->cmd_Save->isHidden() &&
                f->btn_SelectApplication->isHidden());

    click(f->cmd_Add);
    EXPECT_EQ(f->mode(), frmSelectCustomFile::AddMode);
    EXPECT_FALSE(f->lvw_CustomApp->isEnabled() || f->cmd_Edit->isEnabled() || f->cmd_Close->isEnabled());
    EXPECT_EQ(f->focusWidget(), f->txt_AppName);
    // "选择" fills the path from the open-file dialog.
    ModalDriver driver;
    QString title;
    driver.whenShown([&](QDialog* dialog) {
        title = dialog->windowTitle();
        static_cast<QFileDialog*>(dialog)->selectFile(D + "/bin/writer");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    click(f->btn_SelectApplication);
    EXPECT_EQ(title, "选择要加入的软件");
    EXPECT_EQ(f->txt_AppPath->text(), D + "/bin/writer");
    // "保存" waits for a name of more than blanks.
    type(f->txt_AppName, "   ");
    EXPECT_FALSE(f->cmd_Save->isEnabled());
    type(f->txt_AppName, "My \"Writer\" & <co>");
    click(f->cmd_Save);
    EXPECT_EQ(f->mode(), frmSelectCustomFile::ViewMode);
    EXPECT_EQ(state(), "Calc,My \"Writer\" & <co> | Calc=$D/bin/calc,My \"Writer\" & <co>=$D/bin/writer");
    EXPECT_EQ(f->lvw_CustomApp->currentRow(), 1) << "the saved entry stays the current one";

    // "我的软件" shows it at once, with the file's icon, before "添加软件".
    EXPECT_EQ(open(toolbar->Item(0)),
              QStringList({entry(Cmd::OpenProgram, "Calc"), entry(Cmd::OpenProgram, "My \"Writer\" & <co>"),
                           entry(Cmd::AddSoftware, "添加软件", true)}));
    EXPECT_TRUE(showsIconOf(toolbar->Item(0)->CommandBar()->Item(1), D + "/bin/writer"));

    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(CustomAppsTest, AMissingPathShowsTheWarningUntilThePathIsEditedAndStoresNothing) {
    frmSelectCustomFile* f = openWindow(kTwoApps);
    QListWidget* list = f->lvw_CustomApp;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    click(f->cmd_Edit);
    EXPECT_EQ(f->mode(), frmSelectCustomFile::EditMode);
    EXPECT_EQ(f->txt_AppName->text(), "Writer");
    for (const QString& wrong : {D + "/bin/none", D + "/bin"}) {
        type(f->txt_AppPath, wrong);
        click(f->cmd_Save);
        EXPECT_TRUE(f->Lbl_WrongPathWarning->isVisible()) << wrong.toStdString();
        EXPECT_EQ(f->mode(), frmSelectCustomFile::EditMode);
        EXPECT_EQ(f->focusWidget(), f->txt_AppPath);
        QTest::keyClick(f->txt_AppPath, Qt::Key_Backspace);
        EXPECT_FALSE(f->Lbl_WrongPathWarning->isVisible()) << "editing the path hides the warning";
    }
    EXPECT_EQ(state(), "Calc,Writer | Calc=$D/bin/calc,Writer=$D/bin/writer");

    // A good path edits the entry in place; Escape leaves editing; the close box closes even
    // while editing, dropping the edit.
    type(f->txt_AppName, "Pen");
    type(f->txt_AppPath, D + "/bin/calc");
    click(f->cmd_Save);
    EXPECT_EQ(state(), "Calc,Pen | Calc=$D/bin/calc,Pen=$D/bin/calc");
    click(f->cmd_Edit);
    type(f->txt_AppName, "Ink");
    QTest::keyClick(f->txt_AppName, Qt::Key_Escape);
    EXPECT_EQ(f->mode(), frmSelectCustomFile::ViewMode);
    EXPECT_EQ(f->txt_AppName->text(), "Pen");
    click(f->cmd_Edit);
    type(f->txt_AppName, "Ink");
    f->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form; }));
    EXPECT_EQ(user->LocalCustomsAppXMLNode().selectNodes("capp[@appname='Ink']").length(), 0);
}

TEST_F(CustomAppsTest, DeletingActsOnlyOnAClickedEntryAfterTheQuestion) {
    frmSelectCustomFile* f = openWindow(kTwoApps);
    // The first entry is marked, not clicked: "删除" and "编辑" do nothing.
    click(f->cmd_Delete);
    click(f->cmd_Edit);
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(f->mode(), frmSelectCustomFile::ViewMode);

    // Moving to an entry with the arrow keys clicks it; the question's "取消" keeps it.
    QTest::keyClick(f->lvw_CustomApp, Qt::Key_Down);
    EXPECT_EQ(f->txt_AppName->text(), "Writer");
    click(f->cmd_Delete);
    EXPECT_EQ(questions, QStringList({"删除当前快捷方式"}));
    EXPECT_EQ(state(), "Calc,Writer | Calc=$D/bin/calc,Writer=$D/bin/writer");
    answer = Answer::Yes;
    click(f->cmd_Delete);
    EXPECT_EQ(state(), "Calc | Calc=$D/bin/calc");
    EXPECT_EQ(f->lvw_CustomApp->currentRow(), 0);
    EXPECT_TRUE(QFileInfo::exists(D + "/bin/writer")) << "the file itself stays";
    click(f->cmd_Delete);
    EXPECT_EQ(questions.size(), 2) << "nothing is clicked after a deletion";

    // In view mode Escape closes, as "关闭" does.
    QTest::keyClick(f->lvw_CustomApp, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form; }));
}
