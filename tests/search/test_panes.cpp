#include "SearchFixture.h"
#include "controls/CommandBars.h"
#include "controls/DockingPanes.h"
#include "core/QvIds.h"
#include "platform/AnsiCodec.h"
#include "platform/PlainMessage.h"
#include "search/frmAdvSearch.h"
#include "search/frmSearch.h"
#include "search/frmSiteSearch.h"
#include "search/frmWebpageTranslate.h"
#include "search/modAssistantPanels.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QWebEnginePage>

namespace {

// The raw (still percent-encoded) value of a parameter in a query or form body.
QByteArray rawParameter(const QByteArray& query, const QByteArray& name) {
    for (const QByteArray& pair : query.split('&')) {
        if (pair.startsWith(name + '='))
            return pair.mid(name.size() + 1);
    }
    return QByteArray("<missing>");
}
QString utf8Parameter(const QByteArray& query, const QByteArray& name) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(rawParameter(query, name)));
}
QString gbkParameter(const QByteArray& query, const QByteArray& name) {
    return AnsiCodec::toUnicode(QByteArray::fromPercentEncoding(rawParameter(query, name)));
}

void choose(QComboBox* list, const QString& caption) {
    const int index = list->findText(caption);
    ASSERT_GE(index, 0) << caption.toStdString();
    list->setCurrentIndex(index);
}

} // namespace

// The panes with every engine answered by a local server; each search opens a browser window.
class SearchPanes : public SearchDataFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        for (const QByteArray path : {"/baidu", "/google", "/taobao", "/baiduimage", "/baiduimagenews",
                                      "/translate", "/page", "/other"})
            server.serve(path, "<html><head><title>ok</title></head><body>ok</body></html>");
        loadData(server.url(""));
        cltWebPage::ReleaseGlobal();
        SetPlainMessageHandler([this](const QString& text, const QString&) { messages << text; });
    }
    void TearDown() override {
        SetPlainMessageHandler({});
        frmBrowser::SetAssistantMenuHandler({});
        for (frmBrowser* window : frmBrowser::AllWindows())
            delete window;
        cltWebPage::ReleaseGlobal();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        frmWebpageTranslate::SetServiceAddress("https://translate.google.com");
        SearchDataFixture::TearDown();
    }
    // The query (or, for a POST, the body) of the n-th request (1-based) for `path`.
    QByteArray nthRequest(const QByteArray& path, int n) {
        EXPECT_TRUE(waitUntil([&] { return server.requestsFor(path).size() >= n; }))
            << path.toStdString() << " #" << n;
        const LocalHttpServer::Request r = server.requestsFor(path).value(n - 1);
        return r.method == "POST" ? r.body : r.query();
    }

    LocalHttpServer server;
    QStringList messages;
};

TEST_F(SearchPanes, QuickPaneButtonsAndEnterSearchTheirEngines) {
    frmSearch pane;
    pane.show();
    pane.txt_Content->setText("C&A 外套");
    pane.cmd_bdSearch->click();
    EXPECT_EQ(utf8Parameter(nthRequest("/baidu", 1), "wd"), "C&A 外套");
    pane.cmd_ggSearch->click();
    EXPECT_EQ(utf8Parameter(nthRequest("/google", 1), "q"), "C&A 外套");
    pane.txt_Content->setText(" 100%棉 T恤 ");
    pane.cmd_SearchTaobao->click();
    // Taobao gets the text exactly as typed.
    EXPECT_EQ(utf8Parameter(nthRequest("/taobao", 1), "q"), " 100%棉 T恤 ");

    pane.txt_Content->setText("a  b");
    QTest::keyClick(pane.txt_Content, Qt::Key_Return);
    EXPECT_EQ(utf8Parameter(nthRequest("/baidu", 2), "wd"), "a b");
    EXPECT_EQ(frmBrowser::AllWindows().size(), 4);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SearchPanes, SuperSearchButtonAsksForTheAdvancedPaneAndHidesTheQuickOne) {
    QMainWindow window;
    DockingPaneManager panes(&window);
    modInitial::gDockingPanes = &panes;
    window.show();
    DockingPane* pane = panes.CreatePane(PaneId::Search, 200, 60, DockingPaneManager::Top, "搜索", 804);
    auto* quick = new frmSearch;
    pane->setHandle(quick);
    QCoreApplication::processEvents();
    ASSERT_FALSE(pane->IsHidden());

    QSignalSpy asked(quick, &frmSearch::showAdvSearchPane);
    QTest::keyClick(quick->btn_AdvSearch, Qt::Key_Space);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(pane->IsHidden());
    modInitial::gDockingPanes = nullptr;
}

TEST_F(SearchPanes, AdvancedWebTabComposesForBaiduAndGoogle) {
    frmAdvSearch pane;
    pane.show();
    EXPECT_EQ(pane.TabControl1->count(), 3);
    EXPECT_EQ(pane.TabControl1->tabText(0), "网页");
    EXPECT_EQ(pane.TabControl1->tabText(1), "图片");
    // The first choice of each group is selected when the pane loads.
    EXPECT_TRUE(pane.rbn_webKWLocation[0]->isChecked());
    EXPECT_TRUE(pane.rbn_webFileType[0]->isChecked());
    ASSERT_EQ(pane.rbn_webFileType.size(), 8);

    pane.txt_WebKeywordAll->setText("a  b");
    pane.txt_WebKeywordAny->setText("e f");
    pane.txt_WebKeywordExclude->setText("g");
    pane.txt_webinSite->setText("docs");
    pane.rbn_webKWLocation[1]->click();
    pane.rbn_webFileType[2]->click();
    pane.cmd_webSearchBaidu->click();
    EXPECT_EQ(utf8Parameter(nthRequest("/baidu", 1), "wd"), "filetype:pdf title: (a b (e | f) -(g))");
    pane.cmd_webSearchGoogle->click();
    EXPECT_EQ(utf8Parameter(nthRequest("/google", 1), "q"),
              "allintitle: a  b e OR f -g filetype:pdf site:docs");
}

TEST_F(SearchPanes, PictureTabChoosesSizeBoxesEngineBoxesAndTheNewsEngine) {
    frmAdvSearch pane;
    pane.show();
    pane.TabControl1->setCurrentIndex(1);
    QWidget* page = pane.TabControl1->currentWidget();
    ASSERT_EQ(pane.cbo_imageFileSize->count(), 11);
    ASSERT_EQ(pane.cbo_imageTargetColor->count(), 13);
    ASSERT_EQ(pane.cbo_imageFileType->count(), 5);
    for (QComboBox* list : {pane.cbo_imageFileSize, pane.cbo_imageTargetColor, pane.cbo_imageFileType})
        EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(pane.cbo_imageFileType->itemText(1), " jpg");

    // The size boxes belong to the custom size only.
    EXPECT_FALSE(pane.txt_imageFileSizeHigh->isVisibleTo(page));
    choose(pane.cbo_imageFileSize, "自定义大小");
    EXPECT_TRUE(pane.txt_imageFileSizeHigh->isVisibleTo(page));
    EXPECT_TRUE(pane.lbl_ImageSizeX->isVisibleTo(page));
    EXPECT_TRUE(pane.txt_imageFileSizeLow->isVisibleTo(page));
    choose(pane.cbo_imageFileSize, "大图片");
    EXPECT_FALSE(pane.txt_imageFileSizeHigh->isVisibleTo(page));
    EXPECT_FALSE(pane.lbl_ImageSizeX->isVisibleTo(page));
    EXPECT_FALSE(pane.txt_imageFileSizeLow->isVisibleTo(page));

    // The Google choice only enables three boxes.
    EXPECT_FALSE(pane.txt_ImageKeywordAny->isEnabled());
    pane.rbn_imageEngineType[1]->click();
    EXPECT_TRUE(pane.txt_ImageKeywordAny->isEnabled());
    EXPECT_TRUE(pane.txt_ImageKeywordFull->isEnabled());
    EXPECT_TRUE(pane.lbl_ImageKeywordExclude->isEnabled());
    pane.rbn_imageEngineType[0]->click();
    EXPECT_FALSE(pane.txt_ImageKeywordExclude->isEnabled());

    // News pictures ignore size, colour and format.
    pane.txt_ImageKeywordAll->setText("猫");
    choose(pane.cbo_imageFileSize, "自定义大小");
    pane.txt_imageFileSizeHigh->setText("800");
    pane.txt_imageFileSizeLow->setText("600");
    choose(pane.cbo_imageTargetColor, "黑色");
    choose(pane.cbo_imageFileType, " jpg");
    pane.rtn_ImageTargetType[1]->click();
    pane.cmd_imageSearch->click();
    const QByteArray news = nthRequest("/baiduimagenews", 1);
    EXPECT_EQ(gbkParameter(news, "word"), "猫");
    EXPECT_EQ(rawParameter(news, "ic"), "<missing>");

    // Any picture: the codes of the lists, a size box with letters counts as 0.
    pane.txt_imageFileSizeHigh->setText("8o0");
    pane.txt_imageInSite->setText("news.cn");
    pane.rtn_ImageTargetType[0]->click();
    pane.cmd_imageSearch->click();
    const QByteArray image = nthRequest("/baiduimage", 1);
    EXPECT_EQ(rawParameter(image, "ic"), "512");
    EXPECT_EQ(rawParameter(image, "lm"), "3");
    EXPECT_EQ(gbkParameter(image, "word"), "猫 size:0_600 siteid:news.cn");
    EXPECT_EQ(server.requestsFor("/baiduimagenews").size(), 1);
}

TEST_F(SearchPanes, TranslationPostsTheAddressAndTheChosenLanguages) {
    frmWebpageTranslate::SetServiceAddress(server.url(""));
    frmWebpageTranslate panel;
    EXPECT_EQ(panel.cbo_SourceLang->count(), 41);
    EXPECT_EQ(panel.cbo_SourceLang->currentText(), "英语");
    EXPECT_EQ(panel.cbo_TargetLang->currentText(), "中文");
    panel.LocationUrl = "http://example.test/a b?x=1&y=中#top";
    panel.cmd_StartPageTranslate->click();
    ASSERT_TRUE(server.waitForRequest("/translate"));
    const LocalHttpServer::Request post = server.requestsFor("/translate").first();
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.headers.value("content-type"), "application/x-www-form-urlencoded");
    // The address arrives whole, "&" and "#" included.
    EXPECT_EQ(utf8Parameter(post.body, "u"), panel.LocationUrl);
    EXPECT_EQ(rawParameter(post.body, "sl"), "en");
    EXPECT_EQ(rawParameter(post.body, "tl"), "zh-CN");
    EXPECT_EQ(rawParameter(post.body, "hl"), "zh-CN");
    EXPECT_EQ(rawParameter(post.body, "IE"), "UTF-8");

    // The same language on both sides is sent as it is.
    choose(panel.cbo_SourceLang, "日语");
    choose(panel.cbo_TargetLang, "日语");
    panel.cmd_StartPageTranslate->click();
    const QByteArray second = nthRequest("/translate", 2);
    EXPECT_EQ(rawParameter(second, "sl"), "ja");
    EXPECT_EQ(rawParameter(second, "tl"), "ja");
}

TEST_F(SearchPanes, SiteSearchRestrictsGoogleToTheHostWithoutPort) {
    frmSiteSearch panel;
    panel.show();
    panel.LocationUrl = "http://user:pw@www.example.com:8080/path/p.html?x=1";
    panel.txt_siteSearchContent->setText(" 年报  2023 ");
    QTest::keyClick(panel.txt_siteSearchContent, Qt::Key_Return);
    EXPECT_EQ(utf8Parameter(nthRequest("/google", 1), "q"), "年报  2023 site:www.example.com");
    panel.txt_siteSearchContent->clear();
    panel.cmd_siteSearch->click();
    EXPECT_EQ(utf8Parameter(nthRequest("/google", 2), "q"), " site:www.example.com");

    // A page that belongs to no web site cannot be searched as one.
    for (const char* address : {"about:blank", "file:///home/a.html", "qv://rcp"}) {
        panel.LocationUrl = address;
        panel.cmd_siteSearch->click();
    }
    EXPECT_EQ(messages.size(), 3);
    EXPECT_EQ(frmBrowser::AllWindows().size(), 2);
}

TEST_F(SearchPanes, AssistantMenuGetsBothPanelsOnceWithTheAddressOfThatMoment) {
    frmBrowser::SetAssistantMenuHandler(&modAssistantPanels::AddAssistantPanels);
    frmBrowser* browser = cltWebPage::Global()->Add(server.url("/page?x=1"));
    ASSERT_TRUE(waitUntil([&] { return browser->page() && browser->page()->url().path() == "/page"; }));
    CommandBarControl* assistant = browser->commandBars()->FindControl(Cmd::Assistant);
    ASSERT_NE(assistant, nullptr);
    CommandBar* menu = assistant->CommandBar();

    menu->menu()->popup(QPoint(10, 10));
    ASSERT_TRUE(waitUntil([&] { return menu->menu()->isVisible(); }));
    ASSERT_EQ(menu->Count(), 2);
    CommandBarControl* translateItem = menu->Item(0);
    CommandBarControl* siteItem = menu->Item(1);
    EXPECT_EQ(translateItem->Caption(), "网页翻译");
    EXPECT_EQ(siteItem->Caption(), "站内搜索");
    EXPECT_TRUE(siteItem->BeginGroup());
    auto* translate = qobject_cast<frmWebpageTranslate*>(translateItem->customWidget());
    auto* site = qobject_cast<frmSiteSearch*>(siteItem->customWidget());
    ASSERT_TRUE(translate && site);
    EXPECT_TRUE(site->isVisible());
    EXPECT_EQ(translate->LocationUrl, server.url("/page?x=1"));
    EXPECT_EQ(site->LocationUrl, server.url("/page?x=1"));

    // The keyboard reaches every control of both panels: Down enters the first panel, Tab walks
    // through it and on into the second.
    const auto send = [menu](Qt::Key key) {
        QWidget* focus = menu->menu()->focusWidget();
        QTest::keyClick(focus ? focus : menu->menu(), key);
        return menu->menu()->focusWidget();
    };
    EXPECT_EQ(send(Qt::Key_Down), translate->cbo_SourceLang);
    EXPECT_EQ(send(Qt::Key_Tab), translate->cbo_TargetLang);
    EXPECT_EQ(send(Qt::Key_Tab), translate->cmd_StartPageTranslate);
    EXPECT_EQ(send(Qt::Key_Tab), site->txt_siteSearchContent);
    EXPECT_EQ(send(Qt::Key_Tab), site->cmd_siteSearch);
    EXPECT_EQ(send(Qt::Key_Backtab), site->txt_siteSearchContent);
    menu->menu()->hide();

    // Later pages keep the panels and their first address.
    browser->goURL(server.url("/other"));
    ASSERT_TRUE(waitUntil([&] { return browser->page()->url().path() == "/other"; }));
    menu->menu()->popup(QPoint(10, 10));
    ASSERT_TRUE(waitUntil([&] { return menu->menu()->isVisible(); }));
    EXPECT_EQ(menu->Count(), 2);
    EXPECT_EQ(site->LocationUrl, server.url("/page?x=1"));

    // Enter in the site search searches the page's host, without its port, and closes the menu.
    QTest::keyClicks(site->txt_siteSearchContent, "x");
    QTest::keyClick(site->txt_siteSearchContent, Qt::Key_Return);
    EXPECT_FALSE(menu->menu()->isVisible());
    EXPECT_EQ(utf8Parameter(nthRequest("/google", 1), "q"), "x site:127.0.0.1");
}
