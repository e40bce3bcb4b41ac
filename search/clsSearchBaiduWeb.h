#pragma once
#include "search/modSearchQuery.h"

// Baidu web search: the query composed in Baidu's syntax goes into the keyword parameter of the
// common data's "baidu" descriptor, which the page opener then opens. The site field is kept
// but composes no clause.
class clsSearchBaiduWeb : public modSearchQuery::WebKeywords {
public:
    clsSearchBaiduWeb() { FileType = 1; }
    // Throws QvError when the descriptor or its keyword parameter is missing.
    void Submit();
};
