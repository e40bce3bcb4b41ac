#include "SoftwareFixture.h"

#include "ModalDriver.h"
#include "core/QvIds.h"
#include "software/clsFileDialog.h"
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
        if (form)
            delete form.data();
        SoftwareFixture::TearDown();
    }
    frmSelectCustomFile* openWindow(const QString& apps) {
        start("<localsofts/><customsapp>" + apps + "</customsapp>");
        form = frmSelectCustomFile::ShowWindow(user.get());
        return form;
    }
    // The custom applications as the user data file holds them: "name=path" each.
    QStringList savedApps() {
        XmlDocument saved;
        saved.loadXML(modDataFile::ReadEncryptedFile(D + "/Data/User.dat"));
        QStringList out;
        for (const XmlNode& n : saved.selectNodes("data/customsapp/capp"))
            out << n.getAttribute("appname") + "=" + QString(n.getAttribute("apppath")).replace(D, "$D");
        return out;
    }
    static QStringList listed(const frmSelectCustomFile* f) {
        QStringList out;
        for (int i = 0; i < f->lvw_CustomApp->count(); ++i)
            out << f->lvw_CustomApp->item(i)->text();
        return out;
    }
    static void clickEntry(frmSelectCustomFile* f, int row) {
        QListWidget* list = f->lvw_CustomApp;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
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

TEST_F(CustomAppsTest, AddingAnApplicationStoresItAndListsItWithItsIconBeforeAddSoftware) {
    frmSelectCustomFile* f = openWindow(kTwoApps.left(kTwoApps.indexOf("<capp", 1)));
    EXPECT_EQ(f->windowTitle(), "选择加入文件");
    EXPECT_FALSE(f->isModal());
    EXPECT_EQ(frmSelectCustomFile::ShowWindow(user.get()), f) << "one window, raised again";
    // View mode: boxes read-only, the editing buttons hidden, the first entry marked.
    EXPECT_EQ(f->mode(), frmSelectCustomFile::ViewMode);
    EXPECT_TRUE(f->txt_AppName->isReadOnly());
    EXPECT_TRUE(f->cmd_Save->isHidden() && f->cmd_Cancel->isHidden() && f->btn_SelectApplication->isHidden());
    EXPECT_EQ(f->lvw_CustomApp->currentRow(), 0);

    QTest::mouseClick(f->cmd_Add, Qt::LeftButton);
    EXPECT_EQ(f->mode(), frmSelectCustomFile::AddMode);
    EXPECT_FALSE(f->lvw_CustomApp->isEnabled() || f->cmd_Add->isEnabled() || f->cmd_Edit->isEnabled() ||
                 f->cmd_Delete->isEnabled() || f->cmd_Close->isEnabled());
    EXPECT_TRUE(f->cmd_Save->isVisible() && f->btn_SelectApplication->isVisible());
    EXPECT_TRUE(f->txt_AppName->text().isEmpty() && f->txt_AppPath->text().isEmpty());
    EXPECT_EQ(f->focusWidget(), f->txt_AppName);

    // "保存" waits for both boxes to hold more than blanks.
    type(f->txt_AppName, "   ");
    type(f->txt_AppPath, D + "/bin/writer");
    EXPECT_FALSE(f->cmd_Save->isEnabled());
    type(f->txt_AppName, "My \"Writer\" & <co>");
    EXPECT_TRUE(f->cmd_Save->isEnabled());
    QTest::mouseClick(f->cmd_Save, Qt::LeftButton);

    EXPECT_EQ(f->mode(), frmSelectCustomFile::ViewMode);
    EXPECT_EQ(listed(f), QStringList({"Calc", "My \"Writer\" & <co>"}));
    EXPECT_EQ(f->lvw_CustomApp->currentRow(), 1) << "the saved entry stays the current one";
    EXPECT_EQ(savedApps(), QStringList({"Calc=$D/bin/calc", "My \"Writer\" & <co>=$D/bin/writer"}));

    // The drop-down of "我的软件" shows it at once, with the file's icon, before "添加软件".
    CommandBarControl* mine = toolbar->Item(0);
    EXPECT_EQ(open(mine), QStringList({"701:Calc", "701:My \"Writer\" & <co>", "|603:添加软件"}));
    EXPECT_TRUE(showsIconOf(mine->CommandBar()->Item(1), D + "/bin/writer"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(CustomAppsTest, AMissingPathShowsTheWarningUntilThePathIsEditedAndStoresNothing) {
    frmSelectCustomFile* f = openWindow(kTwoApps);
    clickEntry(f, 1);
    EXPECT_EQ(f->txt_AppName->text(), "Writer");
    EXPECT_EQ(f->txt_AppPath->text(), D + "/bin/writer");
    QTest::mouseClick(f->cmd_Edit, Qt::LeftButton);
    EXPECT_EQ(f->mode(), frmSelectCustomFile::EditMode);
    EXPECT_EQ(f->txt_AppName->text(), "Writer");

    for (const QString& wrong : {D + "/bin/none", D + "/bin"}) {
        type(f->txt_AppPath, wrong);
        QTest::mouseClick(f->cmd_Save, Qt::LeftButton);
        EXPECT_TRUE(f->Lbl_WrongPathWarning->isVisible()) << wrong.toStdString();
        EXPECT_EQ(f->Lbl_WrongPathWarning->text(), "文件路径有误，请修改...");
        EXPECT_EQ(f->mode(), frmSelectCustomFile::EditMode);
        EXPECT_EQ(f->focusWidget(), f->txt_AppPath);
        QTest::keyClick(f->txt_AppPath, Qt::Key_Backspace);
        EXPECT_FALSE(f->Lbl_WrongPathWarning->isVisible()) << "editing the path hides the warning";
    }
    EXPECT_EQ(savedApps(), QStringList({"Calc=$D/bin/calc", "Writer=$D/bin/writer"}));

    // Saving a good path edits the clicked entry in place; Escape and "取消" leave without change.
    type(f->txt_AppName, "Pen");
    type(f->txt_AppPath, D + "/bin/calc");
    QTest::mouseClick(f->cmd_Save, Qt::LeftButton);
    EXPECT_EQ(savedApps(), QStringList({"Calc=$D/bin/calc", "Pen=$D/bin/calc"}));
    QTest::mouseClick(f->cmd_Edit, Qt::LeftButton);
    type(f->txt_AppName, "Ink");
    QTest::keyClick(f->txt_AppName, Qt::Key_Escape);
    EXPECT_EQ(f->mode(), frmSelectCustomFile::ViewMode);
    EXPECT_EQ(f->txt_AppName->text(), "Pen");
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(listed(f), QStringList({"Calc", "Pen"}));
    // The close box closes even while editing, and the unsaved edit is dropped.
    QTest::mouseClick(f->cmd_Edit, Qt::LeftButton);
    type(f->txt_AppName, "Ink");
    f->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form; }));
    EXPECT_EQ(savedApps(), QStringList({"Calc=$D/bin/calc", "Pen=$D/bin/calc"}));
    EXPECT_EQ(user->LocalCustomsAppXMLNode().selectNodes("capp[@appname='Ink']").length(), 0);
}

TEST_F(CustomAppsTest, DeletingActsOnlyOnAClickedEntryAfterTheQuestion) {
    frmSelectCustomFile* f = openWindow(kTwoApps);
    // The first entry is marked but not clicked: "删除" and "编辑" do nothing.
    QTest::mouseClick(f->cmd_Delete, Qt::LeftButton);
    QTest::mouseClick(f->cmd_Edit, Qt::LeftButton);
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(f->mode(), frmSelectCustomFile::ViewMode);
    EXPECT_EQ(listed(f), QStringList({"Calc", "Writer"}));

    // "取消" before any click clears the boxes.
    QTest::mouseClick(f->cmd_Add, Qt::LeftButton);
    type(f->txt_AppName, "x");
    QTest::mouseClick(f->cmd_Cancel, Qt::LeftButton);
    EXPECT_TRUE(f->txt_AppName->text().isEmpty());

    // Moving to an entry with the keyboard clicks it; the question's default keeps it.
    f->lvw_CustomApp->setFocus();
    QTest::keyClick(f->lvw_CustomApp, Qt::Key_Down);
    EXPECT_EQ(f->txt_AppName->text(), "Writer");
    answer = 102;
    QTest::mouseClick(f->cmd_Delete, Qt::LeftButton);
    EXPECT_EQ(questions, QStringList({"删除当前快捷方式"}));
    EXPECT_EQ(listed(f), QStringList({"Calc", "Writer"}));

    answer = 106;
    QTest::mouseClick(f->cmd_Delete, Qt::LeftButton);
    EXPECT_EQ(listed(f), QStringList({"Calc"}));
    EXPECT_EQ(f->lvw_CustomApp->currentRow(), 0);
    EXPECT_TRUE(f->clickedElement().isNull());
    EXPECT_TRUE(QFileInfo::exists(D + "/bin/writer")) << "the file itself stays";
    EXPECT_EQ(savedApps(), QStringList({"Calc=$D/bin/calc"}));
    // Nothing is clicked any more, so a second "删除" asks nothing.
    QTest::mouseClick(f->cmd_Delete, Qt::LeftButton);
    EXPECT_EQ(questions.size(), 2);

    QTest::mouseClick(f->cmd_Close, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form; }));
}

TEST_F(CustomAppsTest, ChooseFillsThePathFromTheOpenFileDialog) {
    frmSelectCustomFile* f = openWindow("");
    QTest::mouseClick(f->cmd_Add, Qt::LeftButton);
    ModalDriver driver;
    QString title;
    driver.whenShown([&](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        title = files->windowTitle();
        EXPECT_EQ(files->fileMode(), QFileDialog::ExistingFile);
        files->selectFile(D + "/bin/calc");
        QMetaObject::invokeMethod(files, "accept");
    });
    QTest::mouseClick(f->btn_SelectApplication, Qt::LeftButton);
    EXPECT_FALSE(driver.stuck);
    EXPECT_EQ(title, "选择要加入的软件");
    EXPECT_EQ(f->txt_AppPath->text(), D + "/bin/calc");
    // Escape leaves adding; a second Escape closes the window.
    QTest::keyClick(f->txt_AppPath, Qt::Key_Escape);
    EXPECT_EQ(f->mode(), frmSelectCustomFile::ViewMode);
    EXPECT_TRUE(f->txt_AppPath->text().isEmpty());
    QTest::keyClick(f->lvw_CustomApp, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form; }));

    // A cancelled dialog leaves the box; a type other than "open a file" shows nothing.
    ModalDriver cancel;
    cancel.whenShown([](QDialog* dialog) { dialog->reject(); });
    clsFileDialog chooser;
    chooser.SelectedItems = {"kept"};
    EXPECT_FALSE(chooser.Show());
    EXPECT_EQ(chooser.SelectedItems, QStringList({"kept"}));
    ModalDriver never;
    never.whenShown([](QDialog* dialog) { dialog->reject(); });
    chooser.DialogType = 1;
    EXPECT_FALSE(chooser.Show());
    EXPECT_FALSE(never.acted);
}
