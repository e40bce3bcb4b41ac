#include "search/clsSearchBaiduImageNews.h"

#include "search/modSearchQuery.h"

void clsSearchBaiduImageNews::Submit() {
    using namespace modSearchQuery;
    const XmlNode engine = SearchEngine(SearchEngines(), QStringLiteral("baiduimagenews"));
    SetEncodedParameter(engine, QStringLiteral("word"), BaiduImageNewsQuery(KeywordAll, inSite));
    OpenDescriptor(engine);
}
