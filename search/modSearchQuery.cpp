#include "search/modSearchQuery.h"

#include "core/QvError.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/modInitial.h"
#include "platform/AnsiCodec.h"
#include "web/cltWebPage.h"
#include "web/modOpenPageParameter.h"

namespace modSearchQuery {

namespace {

const QChar kBlank = QLatin1Char(' ');

PageOpener& pageOpener() {
    static PageOpener opener;
    return opener;
}

// Baidu writes its document type in front of the query, Google after it; code 1 ("all files")
// is a clause for Baidu only.
QString baiduFileTypePrefix(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("filetype:all ");
    case 2:
        return QStringLiteral("filetype:pdf ");
    case 3:
        return QStringLiteral("filetype:doc ");
    case 4:
        return QStringLiteral("filetype:xls ");
    case 5:
        return QStringLiteral("filetype:ppt ");
    case 6:
        return QStringLiteral("filetype:rtf ");
    case 7:
        return QStringLiteral("filetype:swf ");
    default:
        return QString();
    }
}

QString googleFileTypeSuffix(int code) {
    switch (code) {
    case 2:
        return QStringLiteral(" filetype:pdf");
    case 3:
        return QStringLiteral(" filetype:doc");
    case 4:
        return QStringLiteral(" filetype:xls");
    case 5:
        return QStringLiteral(" filetype:ppt");
    case 6:
        return QStringLiteral(" filetype:rtf");
    case 7:
        return QStringLiteral(" filetype:swf");
    default:
        return QString();
    }
}

// The words normalised, each blank between them replaced by `separator`.
QString joinedWords(const QString& words, const QString& separator) {
    return NormalizeSpaces(words).replace(kBlank, separator);
}

} // namespace

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == kBlank)
        ++begin;
    while (end > begin && text.at(end - 1) == kBlank)
        --end;
    return text.mid(begin, end - begin);
}

QString NormalizeSpaces(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        if (ch == kBlank && out.endsWith(kBlank))
            continue;
        out += ch;
    }
    return TrimBlanks(out);
}

bool IsFilled(const QString& text) {
    return !TrimBlanks(text).isEmpty();
}

QString BaiduWebQuery(const WebKeywords& k) {
    QString query;
    if (IsFilled(k.KeywordAll))
        query = NormalizeSpaces(k.KeywordAll);
    // The phrase comes before the any-words in Baidu's order.
    if (IsFilled(k.KeywordFull))
        query += QStringLiteral(" \"") + NormalizeSpaces(k.KeywordFull) + QLatin1Char('"');
    if (IsFilled(k.KeywordAny))
        query += QStringLiteral(" (") + joinedWords(k.KeywordAny, QStringLiteral(" | ")) + QLatin1Char(')');
    if (IsFilled(k.KeywordExclude))
        query +=
            QStringLiteral(" -(") + joinedWords(k.KeywordExclude, QStringLiteral(" | ")) + QLatin1Char(')');
    if (k.KeywordLocation == 1)
        query = QStringLiteral("title: (") + query + QLatin1Char(')');
    else if (k.KeywordLocation == 2)
        query = QStringLiteral("inurl: (") + query + QLatin1Char(')');
    // Outside the location wrap; Baidu takes no site clause.
    return baiduFileTypePrefix(k.FileType) + query;
}

QString GoogleWebQuery(const WebKeywords& k) {
    QString query;
    // Google keeps the inner blanks of the words and the phrase as typed.
    if (IsFilled(k.KeywordAll))
        query = TrimBlanks(k.KeywordAll);
    if (IsFilled(k.KeywordAny))
        query += kBlank + joinedWords(k.KeywordAny, QStringLiteral(" OR "));
    if (IsFilled(k.KeywordFull))
        query += QStringLiteral(" \"") + k.KeywordFull + QLatin1Char('"');
    if (IsFilled(k.KeywordExclude))
        query += QStringLiteral(" -") + joinedWords(k.KeywordExclude, QStringLiteral(" -"));
    if (k.KeywordLocation == 1)
        query.prepend(QStringLiteral("allintitle: "));
    else if (k.KeywordLocation == 2)
        query.prepend(QStringLiteral("allinurl: "));
    query += googleFileTypeSuffix(k.FileType);
    // A blank site field restricts nothing.
    if (IsFilled(k.inSite))
        query += QStringLiteral(" site:") + TrimBlanks(k.inSite);
    return query;
}

QString BaiduImageQuery(const QString& keywordAll, qint16 imageSize, qint16 imageSizeHigh,
                        qint16 imageSizeLow, const QString& inSite) {
    QString query = TrimBlanks(keywordAll);
    // Only the custom size reaches the request; the preset sizes have no clause.
    if (imageSize == -1)
        query += QStringLiteral(" size:%1_%2").arg(imageSizeHigh).arg(imageSizeLow);
    if (IsFilled(inSite))
        query += QStringLiteral(" siteid:") + TrimBlanks(inSite);
    return query;
}

QString BaiduImageNewsQuery(const QString& keywordAll, const QString& inSite) {
    QString query = TrimBlanks(keywordAll);
    if (IsFilled(inSite))
        query += QStringLiteral(" siteid:") + TrimBlanks(inSite);
    return query;
}

Charset RequestCharset(const XmlNode& descriptor) {
    const XmlNode method = modOpenPageParameter::MethodElement(descriptor);
    for (const XmlNode& par : method.childElements()) {
        if (par.nodeName() != QLatin1String("par") ||
            par.getAttribute(QStringLiteral("name")).compare(QLatin1String("ie"), Qt::CaseInsensitive) != 0)
            continue;
        QString name = par.getAttribute(QStringLiteral("value")).trimmed().toLower();
        name.remove(QLatin1Char('-')).remove(QLatin1Char('_'));
        return name == QLatin1String("utf8") ? Charset::Utf8 : Charset::Ansi;
    }
    return Charset::Ansi;
}

QString EncodeValue(const QString& value, Charset charset) {
    const QByteArray bytes = charset == Charset::Utf8 ? value.toUtf8() : AnsiCodec::fromUnicode(value);
    return QString::fromLatin1(bytes.toPercentEncoding());
}

XmlNode SearchEngines() {
    if (!modInitial::gData)
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the data hub does not exist"));
    return modInitial::gData->CommonData()->Section(QStringLiteral("searchengines"));
}

XmlNode SearchEngine(const XmlNode& engines, const QString& name) {
    const XmlNode engine =
        engines.selectSingleNode(QStringLiteral("searchengine[@name=%1]").arg(XPathLiteral(name)));
    if (engine.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the common data has no search engine \"%1\"").arg(name));
    return engine;
}

XmlNode KeywordParameter(const XmlNode& engine) {
    // In the method element the opener uses, so the keyword written is the keyword sent.
    const XmlNode method = modOpenPageParameter::MethodElement(engine);
    const XmlNode par =
        method.selectSingleNode(QStringLiteral("par[@caption=%1]").arg(XPathLiteral(QStringLiteral("内容"))));
    if (par.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the search engine \"%1\" has no keyword parameter")
                          .arg(engine.getAttribute(QStringLiteral("name"))));
    return par;
}

XmlNode SubmitWebQuery(const XmlNode& engines, const QString& engineName, const QString& query) {
    const XmlNode engine = SearchEngine(engines, engineName);
    XmlNode keyword = KeywordParameter(engine);
    keyword.setAttribute(QStringLiteral("value"), EncodeValue(query, RequestCharset(engine)));
    OpenDescriptor(engine);
    return engine;
}

void SetEncodedParameter(const XmlNode& descriptor, const QString& name, const QString& value) {
    modOpenPageParameter::SetPageParameter(name, EncodeValue(value, RequestCharset(descriptor)), descriptor);
}

void OpenDescriptor(const XmlNode& descriptor) {
    if (const PageOpener& opener = pageOpener())
        opener(descriptor);
    else
        cltWebPage::Global()->OpenWebPageAsNode(descriptor);
}

void SetPageOpener(PageOpener opener) {
    pageOpener() = std::move(opener);
}

} // namespace modSearchQuery
