#pragma once
#include "core/XmlDocument.h"

#include <QString>
#include <functional>

// Query texts of the search services and the filling of their descriptors in the common data's
// `searchengines` section.
namespace modSearchQuery {

// What the web engines compose a query from.
struct WebKeywords {
    QString KeywordAll;      // all of these words
    QString KeywordFull;     // the exact phrase
    QString KeywordAny;      // at least one of these words
    QString KeywordExclude;  // none of these words
    QString inSite;          // restrict to this site (Google only)
    int KeywordLocation = 0; // 0 anywhere, 1 title, 2 address
    int FileType = 0;        // document type code, 0 none
};

// Runs of blanks become one blank; blanks at both ends go.
QString NormalizeSpaces(const QString& text);
// Blanks at both ends removed (other white space stays, as typed).
QString TrimBlanks(const QString& text);
// True when the text holds more than blanks.
bool IsFilled(const QString& text);

// The query in Baidu's syntax: words, "phrase", (any | words), -(excluded | words), wrapped in
// title: (...) or inurl: (...), with a filetype: prefix outside the wrap.
QString BaiduWebQuery(const WebKeywords& keywords);
// The query in Google's syntax: words as typed, any OR words, "phrase", -excluded, behind
// allintitle: or allinurl:, then a filetype: and a site: clause.
QString GoogleWebQuery(const WebKeywords& keywords);
// The picture query: the words, a size:H_L clause for the custom size (-1), a siteid: clause.
QString BaiduImageQuery(const QString& keywordAll, qint16 imageSize, qint16 imageSizeHigh,
                        qint16 imageSizeLow, const QString& inSite);
QString BaiduImageNewsQuery(const QString& keywordAll, const QString& inSite);

// The character sets a descriptor's request can ask for in its `ie` parameter.
enum class Charset { Ansi, Utf8 };
// The charset named by the `ie` parameter (any case) of the method element the descriptor opens
// with: UTF-8 for "utf-8"/"utf8", the ANSI code page (GBK) for any other name or without one.
Charset RequestCharset(const XmlNode& descriptor);
// The value as its bytes in `charset`, every byte but letters, digits and "-._~" written as
// %HH, so that "&", "#", "+", "%", "=" and blanks reach the service as part of the value.
QString EncodeValue(const QString& value, Charset charset);

// The `searchengines` section of the loaded common data; throws QvError when there is none.
XmlNode SearchEngines();
// The `searchengine` element of that name; throws QvError when missing.
XmlNode SearchEngine(const XmlNode& engines, const QString& name);
// The keyword parameter (caption "内容") of the method element the engine opens with; throws
// QvError when missing.
XmlNode KeywordParameter(const XmlNode& engine);

// Writes the query (encoded for the engine's request) into the keyword parameter of the named
// web engine and opens its descriptor. Returns the engine element.
XmlNode SubmitWebQuery(const XmlNode& engines, const QString& engineName, const QString& query);
// Sets a parameter of a picture descriptor by name, encoded for its request.
void SetEncodedParameter(const XmlNode& descriptor, const QString& name, const QString& value);

// Opens a filled descriptor with the page opener.
void OpenDescriptor(const XmlNode& descriptor);
// Replaces the page opener (a test watches the descriptors instead of opening pages); an empty
// function brings the page opener back.
using PageOpener = std::function<void(const XmlNode& descriptor)>;
void SetPageOpener(PageOpener opener);

} // namespace modSearchQuery
