#pragma once
#include "search/modSearchQuery.h"

// Google web search: the query composed in Google's syntax (with its site clause) goes into the
// keyword parameter of the common data's "google" descriptor, which the page opener then opens.
class clsSearchGoogleWeb : public modSearchQuery::WebKeywords {
public:
    clsSearchGoogleWeb() { FileType = 1; }
    // Throws QvError when the descriptor or its keyword parameter is missing.
    void Submit();
};
