#pragma once
#include <QString>

// Picture search: colour and format codes go into the "ic" and "lm" parameters of the common
// data's "baiduimage" descriptor, the words (with a custom size and a site clause) into "word",
// encoded for the service's request; then the page opener opens it.
class clsSearchBaiduImage {
public:
    QString KeywordAll;
    qint16 ImageSize = 0; // size code; -1 the custom size ImageSizeHigh x ImageSizeLow
    qint16 ImageSizeHigh = 0;
    qint16 ImageSizeLow = 0;
    qint16 ImageColor = 0; // "ic"
    qint16 ImageExt = 0;   // "lm"
    QString inSite;

    // Throws QvError when the descriptor or one of its parameters is missing.
    void Submit();
};
