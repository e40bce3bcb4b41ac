#pragma once
#include "core/XmlDocument.h"

#include <QString>
#include <memory>

class clsSearchBaiduWeb;
class clsSearchGoogleWeb;
class clsSearchBaiduImage;
class clsSearchBaiduImageNews;

// One search: the fields of a query for the three web engines (Baidu, Google, Taobao), and the
// four engine objects of the advanced search, each made on first use and kept with this object.
class clsSearch {
public:
    clsSearch();
    ~clsSearch();
    clsSearch(const clsSearch&) = delete;
    clsSearch& operator=(const clsSearch&) = delete;

    int EngineType = 0; // 0 Baidu, 1 Google, 2 Taobao
    int TargetType = 0; // 0 web pages, the only kind there is
    QString KeywordAll;
    QString KeywordFull;
    QString KeywordAny;
    QString KeywordExclude;
    int KeywordLocation = 0; // 0 anywhere, 1 title, 2 address
    QString inSite;
    int FileType = 0;
    QString Content; // the Taobao text, sent as it is

    // Composes the query for the chosen engine, writes it into that engine's descriptor and opens
    // it. Throws QvError for an unknown engine type or a descriptor that cannot be filled.
    void Submit();

    clsSearchBaiduWeb* BaiduWeb();
    clsSearchGoogleWeb* GoogleWeb();
    clsSearchBaiduImage* BaiduImage();
    clsSearchBaiduImageNews* BaiduImageNews();

    // The section and the engine of the last Submit.
    XmlNode SearchEngines() const { return mSearchEngines; }
    XmlNode SearchEngine() const { return mSearchEngine; }

private:
    XmlNode mSearchEngines;
    XmlNode mSearchEngine;
    std::unique_ptr<clsSearchBaiduWeb> mBaiduWeb;
    std::unique_ptr<clsSearchGoogleWeb> mGoogleWeb;
    std::unique_ptr<clsSearchBaiduImage> mBaiduImage;
    std::unique_ptr<clsSearchBaiduImageNews> mBaiduImageNews;
};
