#include "search/frmSiteSearch.h"

#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "platform/PlainMessage.h"
#include "search/clsSearch.h"
#include "search/modAssistantPanels.h"
#include "web/modURLHandle.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmSiteSearch::frmSiteSearch(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmSiteSearch"));
    setAccessibleName(QStringLiteral("站内搜索"));

    Label1 = new QLabel(QStringLiteral("站内搜索 ::"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label3 = new QLabel(
        QStringLiteral(
            "   \"站点搜索\"可以让你搜索当前网站内的信息,对于查找没有自带搜索功能网站的信息十分有效。"),
        this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    lbl_siteSearch = new QLabel(this);
    lbl_siteSearch->setObjectName(QStringLiteral("lbl_siteSearch"));
    if (modInitial::gIconStore)
        lbl_siteSearch->setPixmap(modInitial::gIconStore->icon(SearchIcon::SiteSearch).pixmap(16, 16));
    txt_siteSearchContent = new QLineEdit(this);
    txt_siteSearchContent->setObjectName(QStringLiteral("txt_siteSearchContent"));
    txt_siteSearchContent->setAccessibleName(QStringLiteral("站内搜索内容"));
    txt_siteSearchContent->setMinimumWidth(200);
    lbl_siteSearch->setBuddy(txt_siteSearchContent);
    cmd_siteSearch = new QPushButton(QStringLiteral("搜索"), this);
    cmd_siteSearch->setObjectName(QStringLiteral("cmd_siteSearch"));
    cmd_siteSearch->setAccessibleName(QStringLiteral("搜索"));
    cmd_siteSearch->setAutoDefault(false);

    auto* row = new QHBoxLayout;
    row->addWidget(lbl_siteSearch);
    row->addWidget(txt_siteSearchContent, 1);
    row->addWidget(cmd_siteSearch);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(Label1);
    layout->addWidget(Label3);
    layout->addLayout(row);
    // A menu gives the focus to an item's panel only when the panel takes focus itself.
    setFocusPolicy(Qt::TabFocus);
    setFocusProxy(txt_siteSearchContent);

    connect(txt_siteSearchContent, &QLineEdit::returnPressed, this, &frmSiteSearch::siteSearch);
    connect(cmd_siteSearch, &QPushButton::clicked, this, &frmSiteSearch::siteSearch);
}

void frmSiteSearch::siteSearch() {
    // The site is the host alone: no scheme, user or port.
    const modURLHandle::URLParts parts = modURLHandle::SplitURL(LocationUrl);
    // Only web pages belong to a site the search service knows; an internal page, a local file
    // or about:blank has none, and a search restricted to a made-up site would find nothing.
    const QString scheme = parts.Scheme.toLower();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    const QString host =
        web && parts.Host != QLatin1String(modURLHandle::NoContent) ? parts.Host.trimmed() : QString();
    if (host.isEmpty()) {
        ShowPlainMessage(QStringLiteral("这个页面不属于任何网站，无法进行站内搜索。"),
                         QStringLiteral("站内搜索"));
        return;
    }
    clsSearch search;
    search.EngineType = 1;
    search.TargetType = 0;
    search.KeywordAll = txt_siteSearchContent->text();
    search.inSite = host;
    emit RequestStarting();
    try {
        search.Submit();
    } catch (const QvError& e) {
        ShowPlainMessage(QStringLiteral("搜索没有完成：%1").arg(e.description()), QStringLiteral("站内搜索"));
    }
}

bool frmSiteSearch::focusNextPrevChild(bool next) {
    return modAssistantPanels::FocusNextInPanel(this, next) || QWidget::focusNextPrevChild(next);
}
