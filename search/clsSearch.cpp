#include "search/clsSearch.h"

#include "core/QvError.h"
#include "search/clsSearchBaiduImage.h"
#include "search/clsSearchBaiduImageNews.h"
#include "search/clsSearchBaiduWeb.h"
#include "search/clsSearchGoogleWeb.h"
#include "search/modSearchQuery.h"

clsSearch::clsSearch() = default;
clsSearch::~clsSearch() = default;

void clsSearch::Submit() {
    modSearchQuery::WebKeywords keywords;
    keywords.KeywordAll = KeywordAll;
    keywords.KeywordFull = KeywordFull;
    keywords.KeywordAny = KeywordAny;
    keywords.KeywordExclude = KeywordExclude;
    keywords.KeywordLocation = KeywordLocation;
    keywords.inSite = inSite;
    keywords.FileType = FileType;

    QString name;
    QString query;
    switch (EngineType) {
    case 0:
        name = QStringLiteral("baidu");
        query = modSearchQuery::BaiduWebQuery(keywords);
        break;
    case 1:
        name = QStringLiteral("google");
        query = modSearchQuery::GoogleWebQuery(keywords);
        break;
    case 2:
        name = QStringLiteral("taobao");
        query = Content;
        break;
    default:
        throw QvError(QvErrors::InvalidArgument,
                      QStringLiteral("unknown search engine type %1").arg(EngineType));
    }
    mSearchEngines = modSearchQuery::SearchEngines();
    mSearchEngine = modSearchQuery::SubmitWebQuery(mSearchEngines, name, query);
}

clsSearchBaiduWeb* clsSearch::BaiduWeb() {
    if (!mBaiduWeb)
        mBaiduWeb = std::make_unique<clsSearchBaiduWeb>();
    return mBaiduWeb.get();
}

clsSearchGoogleWeb* clsSearch::GoogleWeb() {
    if (!mGoogleWeb)
        mGoogleWeb = std::make_unique<clsSearchGoogleWeb>();
    return mGoogleWeb.get();
}

clsSearchBaiduImage* clsSearch::BaiduImage() {
    if (!mBaiduImage)
        mBaiduImage = std::make_unique<clsSearchBaiduImage>();
    return mBaiduImage.get();
}

clsSearchBaiduImageNews* clsSearch::BaiduImageNews() {
    if (!mBaiduImageNews)
        mBaiduImageNews = std::make_unique<clsSearchBaiduImageNews>();
    return mBaiduImageNews.get();
}
