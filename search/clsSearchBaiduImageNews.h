#pragma once
#include <QString>

// News-picture search: the words (with a site clause) go into the "word" parameter of the common
// data's "baiduimagenews" descriptor, encoded for the service's request; then the page opener
// opens it.
class clsSearchBaiduImageNews {
public:
    QString KeywordAll;
    QString inSite;

    // Throws QvError when the descriptor or its "word" parameter is missing.
    void Submit();
};
