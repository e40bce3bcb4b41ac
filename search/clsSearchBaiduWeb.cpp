#include "search/clsSearchBaiduWeb.h"

void clsSearchBaiduWeb::Submit() {
    modSearchQuery::SubmitWebQuery(modSearchQuery::SearchEngines(), QStringLiteral("baidu"),
                                   modSearchQuery::BaiduWebQuery(*this));
}
