// Integrity of the shipped common data source, data/common.xml.
//
// The program reads this file without any validation of its own: a missing attribute, a
// dangling link id or an icon number that is not drawn only shows up when a user clicks the
// wrong tree node. These checks catch such faults before the file is encrypted and shipped.

#include "common/TestSupport.h"
#include "core/XmlDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The icons that the icon library holds for the common data, used when the PNG sources are not
// checked out next to the data.
QSet<QString> fallbackIconNumbers() {
    QSet<QString> icons;
    for (int n : {100, 101, 800, 801, 802, 300, 401, 404, 407, 1083, 1084})
        icons.insert(QString::number(n));
    for (int n = 1200; n <= 1229; ++n)
        icons.insert(QString::number(n));
    for (int n = 1240; n <= 1259; ++n)
        icons.insert(QString::number(n));
    return icons;
}

// Icon numbers available to the data: the drawn files "<number>.png" when there are any.
QSet<QString> availableIconNumbers() {
    const QDir dir(qvtest::sourceDir() + "/data/icons");
    const QStringList files = dir.entryList({"*.png"}, QDir::Files);
    if (files.isEmpty())
        return fallbackIconNumbers();
    QSet<QString> icons;
    for (const QString& f : files)
        icons.insert(QFileInfo(f).completeBaseName());
    return icons;
}

bool isDecimal(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// The Boolean texts the program accepts: a number, or "true"/"false" in any case.
bool isBooleanText(const QString& text) {
    bool ok = false;
    text.toDouble(&ok);
    return ok || text.compare("true", Qt::CaseInsensitive) == 0 ||
           text.compare("false", Qt::CaseInsensitive) == 0;
}

// A short name of an element for failure messages, e.g. <link id="47">.
QString describe(const XmlNode& e) {
    for (const char* key : {"id", "name", "lsid", "linkid", "caption"}) {
        if (const auto v = e.attribute(key))
            return QString("<%1 %2=\"%3\">").arg(e.nodeName(), key, *v);
    }
    return "<" + e.nodeName() + ">";
}

QString methodElementName(const QString& openmethod) {
    if (openmethod == "1")
        return "get";
    if (openmethod == "2")
        return "post";
    if (openmethod == "3")
        return "middle";
    return QString();
}

// The method element that the page opener uses for a descriptor, or a null node.
XmlNode usedMethodElement(const XmlNode& descriptor) {
    const QString name = methodElementName(descriptor.getAttribute("openmethod"));
    return name.isEmpty() ? XmlNode() : descriptor.selectSingleNode(name);
}

// Everything that would make the page opener (or the middle page) fail on this descriptor.
QStringList descriptorProblems(const XmlNode& d) {
    QStringList problems;
    const QString who = describe(d);
    const auto notshowadd = d.attribute("notshowadd");
    if (!notshowadd)
        problems << who + " has no notshowadd";
    else if (!isBooleanText(*notshowadd))
        problems << who + " notshowadd \"" + *notshowadd + "\" is not a Boolean";

    const auto openmethod = d.attribute("openmethod");
    if (!openmethod) {
        problems << who + " has no openmethod";
        return problems;
    }
    const QString method = methodElementName(*openmethod);
    if (method.isEmpty()) {
        problems << who + " openmethod \"" + *openmethod + "\" is not 1, 2 or 3";
        return problems;
    }
    const XmlNode m = d.selectSingleNode(method);
    if (!m) {
        problems << who + " (openmethod " + *openmethod + ") has no <" + method + "> element";
        return problems;
    }

    QStringList required;
    if (method == "get")
        required = {"url"};
    else if (method == "post")
        required = {"url", "targetframename", "header", "flags"};
    else
        required = {"formname", "submitname", "url", "urlgotype"};
    for (const QString& a : required)
        if (!m.hasAttribute(a))
            problems << who + " <" + method + "> has no " + a;
    const QString url = m.getAttribute("url");
    if (url.isEmpty() && !(method == "middle" && m.getAttribute("urlgotype") == "2"))
        problems << who + " <" + method + "> has an empty url";
    if (url.contains(' '))
        problems << who + " <" + method + "> url \"" + url + "\" contains a blank";
    if (method == "post" && !m.getAttribute("flags").isEmpty() && !isDecimal(m.getAttribute("flags")))
        problems << who + " <post> flags \"" + m.getAttribute("flags") + "\" is not a decimal number";
    if (method == "middle" && m.getAttribute("urlgotype") == "2")
        for (const char* a : {"localname", "htmlcontent"})
            if (m.getAttribute(a).isEmpty())
                problems << who + " <middle> writes a local page but has no " + a;

    const XmlNodeList pars = m.selectNodes("par");
    // The opener always puts "?" between the address and the parameters.
    if (method == "get" && pars.length() > 0 && url.contains('?'))
        problems << who + " <get> url \"" + url + "\" already has a query but also has parameters";
    const QStringList parRequired =
        method == "middle" ? QStringList{"name", "value"} : QStringList{"name", "value", "prefix", "suffix"};
    for (const XmlNode& p : pars) {
        for (const QString& a : parRequired)
            if (!p.hasAttribute(a))
                problems << who + " <" + method + "> has a <par name=\"" + p.getAttribute("name") +
                                "\"> without " + a;
        if (p.getAttribute("name").isEmpty())
            problems << who + " <" + method + "> has a <par> with an empty name";
        if (method != "middle") {
            // Parameter texts reach the request unescaped, so the shipped ones must not need escaping.
            const QString text = p.getAttribute("name") + p.getAttribute("prefix") + p.getAttribute("value") +
                                 p.getAttribute("suffix");
            for (QChar bad : {QChar(' '), QChar('&'), QChar('#')})
                if (text.contains(bad))
                    problems << who + " <par name=\"" + p.getAttribute("name") + "\"> holds '" + bad +
                                    "', which the request would not escape";
        }
    }
    return problems;
}

QSet<QString> attributeValues(const XmlNode& context, const QString& xpath, const QString& attribute) {
    QSet<QString> values;
    for (const XmlNode& e : context.selectNodes(xpath))
        values.insert(e.getAttribute(attribute));
    return values;
}

} // namespace

class CommonDataSource : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sDoc = std::make_unique<XmlDocument>();
        const QString path = qvtest::sourceDir() + "/data/common.xml";
        try {
            if (!sDoc->loadXMLUtf8(qvtest::readFile(path)))
                sLoadError = path + " does not parse: " + sDoc->parseError();
        } catch (const std::exception& e) {
            sLoadError = QString::fromLocal8Bit(e.what());
        }
    }
    static void TearDownTestSuite() { sDoc.reset(); }

    void SetUp() override {
        ASSERT_TRUE(sLoadError.isEmpty()) << sLoadError.toStdString();
        ASSERT_EQ(sDoc->documentElement().nodeName(), "data");
    }

    static XmlNode data() { return sDoc->documentElement(); }
    static XmlNode section(const QString& path) { return data().selectSingleNode(path); }

    static std::unique_ptr<XmlDocument> sDoc;
    static QString sLoadError;
};

std::unique_ptr<XmlDocument> CommonDataSource::sDoc;
QString CommonDataSource::sLoadError;

TEST_F(CommonDataSource, HoldsEverySectionTheProgramReads) {
    for (const char* path :
         {"global", "version", "mailinfo", "mailinfo/mailboxinfos", "links", "localsoftdefs", "navlayout",
          "entlayout", "appbtnlayout", "searchengines", "prehtml/rcp"})
        EXPECT_FALSE(section(path).isNull()) << "missing section " << path;

    const QString page = section("prehtml/rcp").text();
    EXPECT_TRUE(page.contains("<title>最近关闭的网页</title>")) << "the rcp page has not its title";
    EXPECT_TRUE(page.contains("charset=\"utf-8\"", Qt::CaseInsensitive)) << "the rcp page declares no UTF-8";
    EXPECT_TRUE(page.trimmed().endsWith("</html>")) << "the rcp page is not a complete document";
}

TEST_F(CommonDataSource, GlobalSettingsAreCompleteAndInOrder) {
    const QStringList keys = {"hostdomain",          "urlgetuserid", "urlupdatechecking",
                              "urlonlineupdatelist", "urlupdatevar", "updateinterval",
                              "cfginterval",         "inquiryqq",    "inquirymsn"};
    QStringList found;
    for (const XmlNode& e : section("global").childElements())
        found << e.nodeName();
    EXPECT_EQ(found.join(", ").toStdString(), keys.join(", ").toStdString());

    for (const char* key : {"updateinterval", "cfginterval"}) {
        const QString text = section(QString("global/") + key).text();
        bool ok = false;
        const int value = text.toInt(&ok);
        EXPECT_TRUE(ok && value > 0) << key << " \"" << text.toStdString()
                                     << "\" is not a positive 32-bit integer";
    }
    for (const char* key : {"urlgetuserid", "urlupdatechecking", "urlonlineupdatelist", "urlupdatevar",
                            "inquiryqq", "inquirymsn"}) {
        const QString text = section(QString("global/") + key).text();
        EXPECT_TRUE(text.startsWith("http://") || text.startsWith("https://"))
            << key << " \"" << text.toStdString() << "\" is not an address";
    }

    for (const char* attr : {"c", "i"}) {
        const QString text = section("version").getAttribute(attr);
        EXPECT_TRUE(isDecimal(text) && text.toInt() <= 32767)
            << "version " << attr << " \"" << text.toStdString() << "\" does not fit a 16-bit integer";
    }
}

TEST_F(CommonDataSource, EveryLinkIsACompleteDescriptorWithAUniqueId) {
    QStringList problems;
    QSet<QString> ids;
    const XmlNodeList links = section("links").selectNodes("link");
    ASSERT_GT(links.length(), 0);
    for (const XmlNode& link : links) {
        const QString who = describe(link);
        const auto id = link.attribute("id");
        if (!id || !isDecimal(*id))
            problems << who + " has no decimal id";
        else if (ids.contains(*id))
            problems << who + " repeats an id; look-ups only ever find the first";
        else
            ids.insert(*id);
        if (link.getAttribute("caption").isEmpty())
            problems << who + " has no caption";
        for (const char* a : {"tip", "iconno"})
            if (!link.hasAttribute(a))
                problems << who + " has no " + a;
        problems << descriptorProblems(link);
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}

TEST_F(CommonDataSource, EveryCategoryThePanesAskForHasPlainWebLinks) {
    const QStringList keys = {"music",      "vweb",  "vmovie", "vtv", "varts", "vsports",
                              "vanimation", "vlive", "novel",  "SNS", "stock"};
    QStringList problems;
    for (const QString& key : keys) {
        const XmlNodeList links = section("links").selectNodes("link[@category=\"" + key + "\"]");
        if (links.length() == 0)
            problems << "no link of category " + key;
        for (const XmlNode& link : links) {
            // The panes keep the plain address of every listed link.
            if (link.getAttribute("openmethod") != "1" || link.selectSingleNode("get").isNull())
                problems << describe(link) + " of category " + key + " is not a get link";
            // The community panel finds its saved sites again by numeric id only.
            if (key == "SNS" && !isDecimal(link.getAttribute("id")))
                problems << describe(link) + " is a social site without a decimal id";
        }
    }
    // Keys are compared case-sensitively, so a near miss silently drops the link from its pane.
    for (const XmlNode& link : section("links").selectNodes("link[@category]")) {
        const QString category = link.getAttribute("category");
        for (const QString& key : keys)
            if (category != key && category.compare(key, Qt::CaseInsensitive) == 0)
                problems << describe(link) + " has category \"" + category + "\" instead of \"" + key + "\"";
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}

TEST_F(CommonDataSource, LayoutReferencesResolve) {
    const QSet<QString> linkIds = attributeValues(section("links"), "link", "id");
    const QSet<QString> softIds = attributeValues(section("localsoftdefs"), "*", "lsid");
    QStringList problems;

    for (const char* layout : {"navlayout", "entlayout"}) {
        const XmlNode root = section(layout);
        if (root.selectNodes(".//navlink").length() == 0)
            problems << QString(layout) + " has no sites";
        for (const XmlNode& folder : root.selectNodes(".//navnode")) {
            if (folder.getAttribute("caption").isEmpty())
                problems << QString(layout) + ": " + describe(folder) + " has no caption";
            for (const char* a : {"iconno", "eiconno"})
                if (!folder.hasAttribute(a))
                    problems << QString(layout) + ": " + describe(folder) + " has no " + a;
            // Only the navigation tree expands folders while it is built.
            if (QString(layout) == "navlayout" && !isBooleanText(folder.getAttribute("explandonload")))
                problems << QString(layout) + ": " + describe(folder) + " has no Boolean explandonload";
        }
        for (const XmlNode& site : root.selectNodes(".//navlink"))
            if (!linkIds.contains(site.getAttribute("linkid")))
                problems << QString(layout) + ": " + describe(site) + " names no link";
    }

    const XmlNodeList buttons = section("appbtnlayout").childElements();
    if (buttons.length() == 0)
        problems << "appbtnlayout has no buttons";
    for (const XmlNode& button : buttons) {
        for (const char* a : {"caption", "iconno", "tip"})
            if (!button.hasAttribute(a))
                problems << "appbtnlayout: " + describe(button) + " has no " + a;
        for (const XmlNode& entry : button.childElements()) {
            const QString kind = entry.nodeName();
            if (kind == "ls" && !softIds.contains(entry.getAttribute("id")))
                problems << "appbtnlayout: " + describe(button) + " lists unknown software " +
                                describe(entry);
            else if (kind == "weblink" && !linkIds.contains(entry.getAttribute("id")))
                problems << "appbtnlayout: " + describe(button) + " lists unknown link " + describe(entry);
            else if (kind == "txtbtn" && entry.getAttribute("caption").isEmpty())
                problems << "appbtnlayout: " + describe(button) + " has a label without caption";
        }
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}

TEST_F(CommonDataSource, SearchEnginesCarryTheirKeywordParameters) {
    QStringList problems;
    QMap<QString, int> seen;
    for (const XmlNode& engine : section("searchengines").selectNodes("searchengine")) {
        ++seen[engine.getAttribute("name")];
        problems << descriptorProblems(engine);
    }
    const QStringList names = {"baidu", "google", "taobao", "baiduimage", "baiduimagenews"};
    for (const QString& name : names)
        if (seen.value(name) != 1)
            problems
                << QString("%1 <searchengine name=\"%2\"> instead of one").arg(seen.value(name)).arg(name);

    for (const char* name : {"baidu", "google", "taobao"}) {
        const XmlNode engine =
            section("searchengines").selectSingleNode(QString("searchengine[@name='%1']").arg(name));
        if (engine.isNull())
            continue;
        // The web search writes the query into the first keyword parameter of any method element;
        // it must be the one that the opener then sends.
        const XmlNode keyword = engine.selectSingleNode("*/par[@caption='内容']");
        if (keyword.isNull())
            problems << describe(engine) + " has no keyword parameter";
        else if (keyword.parentNode() != usedMethodElement(engine))
            problems << describe(engine) + " has its keyword parameter outside the method it opens with";
    }
    const QMap<QString, QStringList> pictureParameters = {{"baiduimage", {"ic", "lm", "word"}},
                                                          {"baiduimagenews", {"word"}}};
    for (auto it = pictureParameters.begin(); it != pictureParameters.end(); ++it) {
        const XmlNode engine =
            section("searchengines").selectSingleNode("searchengine[@name='" + it.key() + "']");
        const XmlNode method = engine.isNull() ? XmlNode() : usedMethodElement(engine);
        if (method.isNull())
            continue;
        for (const QString& par : it.value())
            if (method.selectSingleNode("par[@name='" + par + "']").isNull())
                problems << describe(engine) + " has no parameter " + par;
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}

TEST_F(CommonDataSource, MailServicesCanLogIn) {
    QStringList problems;
    QSet<QString> ids;
    const XmlNodeList services = section("mailinfo/mailboxinfos").childElements();
    if (services.length() == 0)
        problems << "no mail service";
    for (const XmlNode& service : services) {
        const QString who = describe(service);
        if (service.nodeName() != "mailboxinfo")
            problems << who + " is not a <mailboxinfo>";
        const QString id = service.getAttribute("id");
        if (!isDecimal(id))
            problems << who + " has no decimal id";
        else if (ids.contains(id))
            problems << who + " repeats an id";
        ids.insert(id);
        // Name and icon go unescaped into the service box markup and the "name|id,..." list.
        const QString name = service.getAttribute("name");
        if (name.isEmpty())
            problems << who + " has no name";
        for (QChar bad : {QChar('<'), QChar('&'), QChar('\''), QChar('|'), QChar(',')})
            if (name.contains(bad) || service.getAttribute("iconno").contains(bad))
                problems << who + " name or icon holds '" + bad + "'";
        if (!service.hasAttribute("iconno"))
            problems << who + " has no iconno";
        problems << descriptorProblems(service);
        const XmlNode method = usedMethodElement(service);
        if (method.isNull())
            continue;
        for (const char* caption : {"用户名", "密码"})
            if (method.selectSingleNode(QString("par[@caption='%1']").arg(caption)).isNull())
                problems << who + " has no parameter captioned " + caption;
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}

TEST_F(CommonDataSource, EveryIconNumberIsDrawn) {
    const QSet<QString> icons = availableIconNumbers();
    QStringList problems;
    for (const XmlNode& e : data().selectNodes("//*[@iconno or @eiconno]")) {
        for (const char* a : {"iconno", "eiconno"}) {
            const QString number = e.getAttribute(a);
            if (!number.isEmpty() && !icons.contains(number))
                problems << describe(e) + " " + a + " " + number + " is not in the icon library";
        }
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}

TEST_F(CommonDataSource, LocalSoftwareDefinitionsAreUsable) {
    QStringList problems;
    QSet<QString> lsids;
    QSet<QString> methods;
    const XmlNodeList programs = section("localsoftdefs").childElements();
    if (programs.length() == 0)
        problems << "no local software";
    for (const XmlNode& program : programs) {
        const QString who = describe(program);
        const QString lsid = program.getAttribute("lsid");
        if (lsid.isEmpty())
            problems << who + " has no lsid";
        else if (lsids.contains(lsid))
            problems << who + " repeats an lsid";
        lsids.insert(lsid);
        if (program.getAttribute("caption").isEmpty())
            problems << who + " has no caption";
        // The scan builds the found-software markup by plain concatenation.
        for (const char* a : {"lsid", "caption", "tip"})
            for (QChar bad : {QChar('"'), QChar('<'), QChar('&')})
                if (program.getAttribute(a).contains(bad))
                    problems << who + " " + a + " holds '" + bad + "', which breaks the found-software list";

        const XmlNodeList locators = program.childElements();
        if (locators.length() == 0)
            problems << who + " has no way to be found";
        for (const XmlNode& locator : locators) {
            const QString method = locator.getAttribute("targettype") + locator.getAttribute("action");
            const QString target = locator.getAttribute("targetfile");
            const QString where = who + " locator \"" + target + "\"";
            methods.insert(method);
            for (const char* a : {"targetfile", "regvaluetype"})
                if (!locator.hasAttribute(a))
                    problems << where + " has no " + a;
            const QString type = locator.getAttribute("regvaluetype");
            if (!type.isEmpty() && !isDecimal(type))
                problems << where + " regvaluetype \"" + type + "\" is not a number";
            if (method == "FileLink") {
                if (!target.startsWith('/'))
                    problems << where + " is not an absolute path";
            } else if (method == "RegRead" || method == "RegLink") {
                const QString root = target.section('\\', 0, 0);
                if (root != "HKEY_LOCAL_MACHINE" && root != "HKEY_CURRENT_USER")
                    problems << where + " has no known registry root";
                if (!target.contains('|') || target.indexOf('|') < target.indexOf('\\'))
                    problems << where + " names no registry value";
                if (method == "RegRead" && locator.getAttribute("filename").isEmpty())
                    problems << where + " reads a folder but has no filename";
            } else {
                problems << where + " has the unknown method \"" + method + "\"";
            }
        }
    }
    for (const char* method : {"FileLink", "RegRead", "RegLink"})
        if (!methods.contains(method))
            problems << QString("no locator uses ") + method;
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}
