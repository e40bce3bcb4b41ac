#include "LocalHttpServer.h"
#include "ModalDriver.h"
#include "RecordingShell.h"
#include "ScopedEnv.h"
#include "TestSupport.h"
#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "controls/TaskDialog.h"
#include "controls/TreeView.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "platform/PlainMessage.h"
#include "platform/RegistryView.h"
#include "web/cltWebPage.h"
#include "web/frmAddFavorite.h"
#include "web/frmBrowser.h"
#include "web/frmFavorites.h"
#include "web/modFavorites.h"
#include "web/modSiteIcons.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <gtest/gtest.h>

namespace {

QByteArray shortcut(const QByteArray& url, const QByteArray& extra = {}) {
    return "[InternetShortcut]\r\nURL=" + url + "\r\n" + extra;
}

// Favorites in a data directory of the test; no registry file of the user.
class FavoritesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, dir.filePath("user.reg"));
        ASSERT_TRUE(modFavorites::FavoritesFolder(root));
    }
    void TearDown() override {
        TaskDialog::SetAnswerer({});
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, QString());
    }
    QString file(const QString& relative) const { return QDir(root).filePath(relative); }

    QTemporaryDir dir;
    ScopedEnv xdg{"XDG_DATA_HOME", dir.filePath("xdg").toUtf8()};
    QString root;
};

QStringList captions(CommandBar* menu) {
    QStringList list;
    for (CommandBarControl* control : menu->Controls())
        list << QStringLiteral("%1:%2:%3").arg(control->Id()).arg(control->Caption(), control->Parameter());
    return list;
}

// One entry as captions() lists it.
QString entry(int id, const QString& caption, const QString& parameter = QString()) {
    return QStringLiteral("%1:%2:%3").arg(id).arg(caption, parameter);
}

} // namespace

TEST_F(FavoritesTest, FolderIsTheProgramsOwnUnlessTheRegistryNamesOne) {
    EXPECT_EQ(root, dir.filePath("xdg/Quorvel/Favorites"));
    EXPECT_TRUE(QFileInfo(root).isDir());

    const QString other = dir.filePath("elsewhere");
    QDir().mkpath(other);
    ScopedEnv base("QV_TEST_BASE", dir.path().toUtf8());
    qvtest::writeFile(
        dir.filePath("user.reg"),
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
        "User Shell Folders]\r\n\"Favorites\"=\"%QV_TEST_BASE%/elsewhere\"\r\n");
    QString found;
    EXPECT_TRUE(modFavorites::FavoritesFolder(found));
    EXPECT_EQ(found, other);
}

TEST_F(FavoritesTest, ListingPutsFoldersFirstAndReadsShortcutsLeniently) {
    QDir().mkpath(file("b"));
    QDir().mkpath(file("A folder"));
    qvtest::writeFile(file("a.url"), shortcut("http://a.example/"));
    qvtest::writeFile(file("notes.txt"), "not a shortcut");
    // Other sections, key case, quotes, a GBK file from Windows, no URL at all.
    qvtest::writeFile(file("c.URL"), "[Other]\r\nURL=http://wrong.example/\r\n[internetshortcut]\r\n url = "
                                     "\"http://c.example/\"\r\niconfile=http://c.example/favicon.ico\r\n");
    qvtest::writeFile(file("gbk.url"), "[InternetShortcut]\r\nURL=http://gbk.example/\xd6\xd0\r\n");
    qvtest::writeFile(file("empty.url"), "[InternetShortcut]\r\nIconFile=x.ico\r\n");

    const modFavorites::Listing listing = modFavorites::ListFolder(root);
    EXPECT_EQ(listing.folders, QStringList({"A folder", "b"}));
    EXPECT_EQ(listing.shortcuts, QStringList({"a.url", "c.URL", "empty.url", "gbk.url"}));
    EXPECT_EQ(modFavorites::ReadShortcut(file("c.URL")).url, "http://c.example/");
    EXPECT_EQ(modFavorites::ReadShortcut(file("c.URL")).iconFile, "http://c.example/favicon.ico");
    EXPECT_EQ(modFavorites::ReadShortcut(file("gbk.url")).url, QString::fromUtf8("http://gbk.example/中"));
    EXPECT_EQ(modFavorites::ReadShortcut(file("empty.url")).url, "");
    EXPECT_EQ(modFavorites::ReadShortcut(file("missing.url")).url, "");

    // At most 501 of each kind.
    QDir().mkpath(file("many"));
    for (int i = 0; i < 503; ++i)
        qvtest::writeFile(file(QStringLiteral("many/%1.url").arg(i, 3, 10, QLatin1Char('0'))), shortcut("x"));
    EXPECT_EQ(modFavorites::ListFolder(file("many")).shortcuts.size(), 501);
}

TEST_F(FavoritesTest, BrowserMenuRefillsTheSameEntriesAndOpensThem) {
    QDir().mkpath(file("b"));
    qvtest::writeFile(file("a & b.url"), shortcut("http://a.example/"));
    qvtest::writeFile(file("b/inner.url"), shortcut("http://inner.example/"));

    QTemporaryDir program;
    modInitial::SetAppPath(program.path());
    cltWebPage::ReleaseGlobal();
    frmBrowser::SetFavoritesMenuHandler(
        [](frmBrowser*, CommandBar* menu) { frmFavorites::FillFavoritesMenu(menu); },
        [](frmBrowser*, CommandBarControl* control) { frmFavorites::RunFavoritesCommand(control); });
    auto* window = new frmBrowser;
    window->resize(800, 500);
    window->show();
    CommandBar* favorites = window->commandBars()->FindControl(Cmd::Favorites)->CommandBar();

    auto open = [&](CommandBar* menu) {
        menu->ShowPopup(window->mapToGlobal(QPoint(10, 10)));
        const QStringList entries = captions(menu);
        menu->menu()->hide();
        return entries;
    };
    const QStringList first = open(favorites);
    EXPECT_EQ(first, QStringList({entry(Cmd::AddFavorite, "添加到收藏..."),
                                  entry(Cmd::OrganizeFavorites, "整理收藏夹..."),
                                  entry(Cmd::FavoriteFolder, "b", file("b")),
                                  entry(Cmd::FavoriteEntry, "a && b", "http://a.example/")}));
    EXPECT_EQ(open(favorites), first);

    CommandBar* folder = favorites->Find(Cmd::FavoriteFolder)->CommandBar();
    EXPECT_EQ(open(folder), QStringList({entry(Cmd::FavoriteEntry, "inner", "http://inner.example/")}));
    EXPECT_EQ(open(folder), QStringList({entry(Cmd::FavoriteEntry, "inner", "http://inner.example/")}));

    // The organise command opens the folder; an entry opens its address in a new window.
    RecordingShell shell;
    ShellService::setInstance(&shell);
    window->commandBars()->FindControl(Cmd::OrganizeFavorites)->Execute();
    ShellService::setInstance(nullptr);
    EXPECT_EQ(shell.opened, QStringList({root}));
    QList<frmBrowser*> created;
    QObject::connect(cltWebPage::Global(), &cltWebPage::windowCreated, [&](frmBrowser* w) { created << w; });
    favorites->Find(Cmd::FavoriteFolder)->CommandBar()->Find(Cmd::FavoriteEntry)->Execute();
    ASSERT_EQ(created.size(), 1);

    frmBrowser::SetFavoritesMenuHandler({}, {});
    for (frmBrowser* w : frmBrowser::AllWindows())
        delete w;
    cltWebPage::ReleaseGlobal();
}

TEST_F(FavoritesTest, AddDialogKeepsNamesInsideTheFolderAndAsksBeforeReplacing) {
    QDir().mkpath(file("work/deep"));
    QDir().mkpath(dir.filePath("outside"));
    // A refused name: the dialog stays open with the reason, nothing is written.
    for (const QString& bad : {QStringLiteral("../outside/x"), QStringLiteral(".."), QStringLiteral("a/b"),
                               QStringLiteral("a\\b"), QStringLiteral("  ")}) {
        frmAddFavorite dialog(root, "Title", "http://page.example/");
        dialog.nameEdit()->setText(bad);
        dialog.accept();
        EXPECT_TRUE(dialog.errorLabel()->isVisibleTo(&dialog)) << bad.toStdString();
        EXPECT_EQ(dialog.result(), 0);
    }
    EXPECT_TRUE(QDir(dir.filePath("outside")).isEmpty());
    EXPECT_EQ(modFavorites::WriteShortcut(root, dir.filePath("outside"), "x", "u", false),
              modFavorites::WriteResult::OutsideFolder);

    // The title is proposed (separators replaced); the folder list offers the subfolders.
    frmAddFavorite dialog(root, "News / Today", "http://page.example/\nIconFile=evil");
    EXPECT_EQ(dialog.nameEdit()->text(), "News _ Today");
    EXPECT_EQ(dialog.folderBox()->count(), 3);
    dialog.folderBox()->setCurrentIndex(dialog.folderBox()->findData("work/deep"));
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.WrittenPath(), file("work/deep/News _ Today.url"));
    EXPECT_EQ(modFavorites::ReadShortcut(dialog.WrittenPath()).url, "http://page.example/IconFile=evil");
    EXPECT_EQ(modFavorites::ReadShortcut(dialog.WrittenPath()).iconFile, "");

    // The same name again: asked first; "no" keeps the old file and the dialog open.
    QStringList asked;
    int answer = Answer::No;
    TaskDialog::SetAnswerer([&](const TaskDialog& question) -> std::optional<int> {
        asked << question.MainInstructionText;
        return answer;
    });
    frmAddFavorite again(root, "News / Today", "http://new.example/");
    again.folderBox()->setCurrentIndex(again.folderBox()->findData("work/deep"));
    again.accept();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(again.result(), 0);
    EXPECT_EQ(modFavorites::ReadShortcut(file("work/deep/News _ Today.url")).url,
              "http://page.example/IconFile=evil");
    answer = Answer::Yes;
    again.accept();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(modFavorites::ReadShortcut(file("work/deep/News _ Today.url")).url, "http://new.example/");
}

TEST_F(FavoritesTest, AddFavoriteThroughTheDialogWritesTheShortcut) {
    ModalDriver driver;
    driver.whenShown([](QDialog* dialog) {
        auto* add = qobject_cast<frmAddFavorite*>(dialog);
        ASSERT_NE(add, nullptr);
        add->nameEdit()->setText("Typed");
        QTest::keyClick(add->nameEdit(), Qt::Key_Return);
    });
    const QString written = frmAddFavorite::AddFavorite(nullptr, "Page", "http://typed.example/");
    EXPECT_FALSE(driver.stuck);
    EXPECT_EQ(written, file("Typed.url"));
    EXPECT_EQ(modFavorites::ReadShortcut(written).url, "http://typed.example/");

    // Pages that are no sites are refused before any dialog shows.
    QStringList messages;
    SetPlainMessageHandler([&](const QString& text, const QString&) { messages << text; });
    QTemporaryDir program;
    modInitial::SetAppPath(program.path());
    for (const QString& url : {QStringLiteral("about:blank"), QStringLiteral("data:text/html,x"), QString(),
                               QUrl::fromLocalFile(program.path() + "/Data/").toString()})
        EXPECT_EQ(frmAddFavorite::AddFavorite(nullptr, "Page", url), QString());
    SetPlainMessageHandler({});
    EXPECT_EQ(messages.size(), 4);
}

TEST_F(FavoritesTest, SiteIconsAreThoseTheProgramHasShownOr800) {
    QTemporaryDir program;
    modInitial::SetAppPath(program.path());
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.serve("/site", "<html><head><link rel='icon' href='/site.png'></head><body>site</body></html>");
    server.serve("/site.png", qvtest::readFile(qvtest::sourceDir() + "/data/icons/800.png"), "image/png");
    server.serve("/other", "<html><body>no icon of its own</body></html>");

    // A page the program shows reports its icon, which is kept under the icon's and the site's
    // address.
    {
        QWebEnginePage page;
        modSiteIcons::Watch(&page);
        page.load(QUrl(server.url("/site")));
        ASSERT_TRUE(waitUntil([&] { return !modSiteIcons::Lookup(QString(), server.url("/")).isNull(); }));
    }
    modSiteIcons::ClearMemory();

    qvtest::writeFile(file("by icon.url"), shortcut("http://elsewhere.invalid/",
                                                    "IconFile=" + server.url("/site.png").toUtf8() + "\r\n"));
    qvtest::writeFile(file("by site.url"), shortcut(server.url("/other").toUtf8()));
    qvtest::writeFile(file("unknown.url"), shortcut("http://unknown.invalid/"));
    IconStore icons;
    icons.LoadLibrary(qvtest::buildDir() + "/Data/icon.dat");
    modInitial::gIconStore = &icons;
    TreeView tree;
    tree.SetIconStore(&icons);
    QTreeWidgetItem* parent = tree.AddNode(nullptr, "P", "parent", modFavorites::FolderIcon);
    EXPECT_EQ(modFavorites::FillTreeNode(root, &tree, parent), 3);
    // The files are read after the nodes are there; until then every shortcut shows the site icon.
    const qint64 stock = icons.icon(modFavorites::SiteIcon).pixmap(16).cacheKey();
    EXPECT_TRUE(modFavorites::IsPending(parent->child(0)));
    EXPECT_EQ(parent->child(0)->icon(0).pixmap(16).cacheKey(), stock);
    ASSERT_TRUE(waitUntil([&] { return !modFavorites::IsPending(parent->child(2)); }, 5000));
    EXPECT_EQ(TreeView::Tag(parent->child(2)).toString(), "http://unknown.invalid/");
    EXPECT_NE(parent->child(0)->icon(0).pixmap(16).cacheKey(), stock);
    EXPECT_NE(parent->child(1)->icon(0).pixmap(16).cacheKey(), stock);
    EXPECT_EQ(parent->child(2)->icon(0).pixmap(16).cacheKey(), stock);
    EXPECT_EQ(TreeView::IconNumber(parent->child(0)), modFavorites::SiteIcon);

    // The menu shows them as images of the store, added once however often the menu is filled.
    QMainWindow window;
    CommandBars bars(&window);
    CommandBar* menu = bars.Add("menu", CommandBars::Popup);
    modFavorites::FillMenu(root, menu);
    ASSERT_EQ(menu->Count(), 3);
    EXPECT_NE(menu->Item(0)->IconId(), modFavorites::SiteIcon);
    EXPECT_NE(menu->Item(1)->IconId(), modFavorites::SiteIcon);
    EXPECT_EQ(menu->Item(2)->IconId(), modFavorites::SiteIcon);
    const int first = menu->Item(0)->IconId();
    const int stored = icons.count();
    menu->DeleteAll();
    modFavorites::FillMenu(root, menu);
    EXPECT_EQ(menu->Item(0)->IconId(), first);
    EXPECT_EQ(icons.count(), stored);
    modInitial::gIconStore = nullptr;
}
