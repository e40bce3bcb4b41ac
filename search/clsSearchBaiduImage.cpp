#include "search/clsSearchBaiduImage.h"

#include "search/modSearchQuery.h"

void clsSearchBaiduImage::Submit() {
    using namespace modSearchQuery;
    const QString query = BaiduImageQuery(KeywordAll, ImageSize, ImageSizeHigh, ImageSizeLow, inSite);
    const XmlNode engine = SearchEngine(SearchEngines(), QStringLiteral("baiduimage"));
    SetEncodedParameter(engine, QStringLiteral("ic"), QString::number(ImageColor));
    SetEncodedParameter(engine, QStringLiteral("lm"), QString::number(ImageExt));
    SetEncodedParameter(engine, QStringLiteral("word"), query);
    OpenDescriptor(engine);
}
