#include "core/XmlDocument.h"
#include "core/clsUserData.h"
#include "core/modInitial.h"
#include "platform/PlainMessage.h"
#include "platform/RegistryView.h"
#include "software/clsLocalSoftware.h"

#include "ScopedEnv.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Registry text data as the registry editor exports it: "hex(2):61,00,...,00,00".
QString hexText(const QString& text) {
    QStringList bytes;
    const QByteArray data = RegistryView::textData(text);
    for (char b : data)
        bytes << QString::asprintf("%02x", static_cast<uchar>(b));
    return bytes.join(',');
}

// A scan over definitions and registry files in a folder of its own: "$D" in a definition or
// registry line stands for that folder, which holds the programs bin/writer and win/app.exe.
class ScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        D = dir.path();
        QDir(D).mkpath("bin");
        QDir(D).mkpath("win");
        qvtest::writeFile(D + "/bin/writer", "#!/bin/sh\n");
        qvtest::writeFile(D + "/win/app.exe", "MZ");
        const QString reg = D + "/test.reg";
        // Both roots read the one file; each keeps only its own keys.
        RegistryView::instance().setRegistryFile(HKEY_LOCAL_MACHINE, reg);
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, reg);
        qvtest::writeFile(reg, QString("Windows Registry Editor Version 5.00\n\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\QV Test\\Writer]\n"
                                       "\"Path\"=\"$D/bin/\"\n\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\QV Test\\Expand]\n"
                                       "\"Path\"=hex(2):" +
                                       hexText("%QV_SCAN_DIR%/bin/;") +
                                       "\n\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\QV Test\\Quoted]\n"
                                       "@=\"\\\"$D/bin/writer\\\"\"\n\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\QV Test\\Missing]\n"
                                       "@=\"$D/bin/nothing\"\n\n"
                                       "[HKEY_CURRENT_USER\\Software\\QV Test\\User]\n"
                                       "@=\"$D/bin/writer\"\n")
                                   .replace("$D", D)
                                   .toUtf8());
        user.LoadText("<data><globalinfo userid=\"1\"/><localsofts><localsoft lsid=\"old\" caption=\"Old\" "
                      "file=\"/old\" tip=\"\"/></localsofts><customsapp/></data>");
        software.SetUserData(&user);
        SetPlainMessageHandler([this](const QString& text, const QString&) { messages << text; });
    }
    void TearDown() override {
        RegistryView::instance().setRegistryFile(HKEY_LOCAL_MACHINE, {});
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, {});
        SetPlainMessageHandler({});
        modInitial::gIsDevelopMode = false;
        modInitial::gDevLog.reset();
    }
    // Loads `programs` (children of localsoftdefs) as the definitions.
    void define(const QString& programs) {
        ASSERT_TRUE(
            definitions.loadXML("<localsoftdefs>" + QString(programs).replace("$D", D) + "</localsoftdefs>"));
        software.Load(definitions.documentElement());
    }
    // lsid -> file of the stored scan result.
    QMap<QString, QString> found() {
        QMap<QString, QString> out;
        for (const XmlNode& n : user.LocalSoftsXMLNode().childElements())
            out.insert(n.getAttribute("lsid"), n.getAttribute("file"));
        return out;
    }

    QTemporaryDir dir;
    QString D;
    ScopedEnv windir{"Windir", QByteArray()};
    ScopedEnv scanDir{"QV_SCAN_DIR", QByteArray()};
    XmlDocument definitions;
    clsUserData user{QString(), nullptr};
    clsLocalSoftware software;
    QStringList messages;
};

QString locator(const QString& type, const QString& action, const QString& target, const QString& valueType,
                const QString& fileName = {}) {
    return QString(
               "<l targettype=\"%1\" action=\"%2\" targetfile=\"%3\" regvaluetype=\"%4\" filename=\"%5\"/>")
        .arg(type, action, target, valueType, fileName);
}

} // namespace

TEST_F(ScanTest, EachLocatorMethodFindsItsFileAndTheFirstFoundWins) {
    qputenv("Windir", (D + "/win").toUtf8());
    qputenv("QV_SCAN_DIR", D.toUtf8());
    const QString key = "HKEY_LOCAL_MACHINE\\Software\\QV Test\\";
    struct Row {
        const char* lsid;
        QString locators;
        QString expected; // empty: not found
    };
    const QList<Row> rows = {
        {"second-after-missing-first",
         locator("File", "Link", "$D/bin/none", "") + locator("File", "Link", "$D/bin/writer", "") +
             locator("File", "Link", "$D/win/never-tried", ""),
         "$D/bin/writer"},
        {"systemroot", locator("File", "Link", "%SystemRoot%/app.exe", ""), "$D/win/app.exe"},
        {"systemroot-lower-case", locator("File", "Link", "%systemroot%/app.exe", ""), ""},
        {"folder-and-file-name", locator("Reg", "Read", key + "Writer|Path", "1", "writer"), "$D/bin/writer"},
        // "$D/bin/;" expanded loses the ";" before the file name is appended.
        {"expandable-loses-last-character", locator("Reg", "Read", key + "Expand|Path", "2", "writer"),
         "$D/bin/writer"},
        // After a type-2 locator, an empty type reads a plain text whole: "$D/bin/" + "writer".
        {"empty-type-after-type-2",
         locator("Reg", "Read", key + "Expand|Path", "2", "none") +
             locator("Reg", "Read", key + "Writer|Path", "", "writer"),
         "$D/bin/writer"},
        {"quoted-path", locator("Reg", "Link", key + "Quoted|", "1"), "$D/bin/writer"},
        {"path-to-missing-file", locator("Reg", "Link", key + "Missing|", "1"), ""},
        {"missing-value", locator("Reg", "Link", key + "Nothing|", "1"), ""},
        {"current-user", locator("Reg", "Link", "HKEY_CURRENT_USER\\Software\\QV Test\\User|", "1"),
         "$D/bin/writer"},
        {"unknown-root", locator("Reg", "Link", "HKCU\\Software\\QV Test\\User|", "1"), ""},
        {"unknown-method", locator("File", "Open", "$D/bin/writer", ""), ""},
    };
    QString programs;
    for (const Row& row : rows)
        programs += QString("<def lsid=\"%1\" caption=\"c\" tip=\"t\">%2</def>").arg(row.lsid, row.locators);
    define(programs);
    modInitial::SetAppPath(D);
    modInitial::gIsDevelopMode = true;
    modInitial::gDevLog = std::make_unique<QStringList>();

    ASSERT_TRUE(software.ScanLocalSoft()) << messages.join('\n').toStdString();
    const QMap<QString, QString> result = found();
    for (const Row& row : rows) {
        const QString expected = QString(row.expected).replace("$D", D);
        EXPECT_EQ(result.value(row.lsid), expected) << row.lsid;
        EXPECT_EQ(result.contains(row.lsid), !expected.isEmpty()) << row.lsid;
    }
    EXPECT_FALSE(result.contains("old")) << "the scan replaces the section";

    // The developer log follows the scan, each line after its date-time.
    const QString log = modInitial::gDevLog->join('\n');
    for (const QString& line :
         QStringList{QString("扫描本地软件"), "生成联接" + D + "/bin/none", "找到文件" + D + "/bin/writer",
                     QString("生成联接%systemroot%/app.exe"), "注册表路径:" + D + "/bin/writer",
                     "注册表路径:" + D + "/bin/nothing\n", QString("找不到这个文件"),
                     "注册表路径无效:" + key + "Nothing|"})
        EXPECT_TRUE(log.contains(" " + line)) << line.toStdString() << "\n" << log.toStdString();
    EXPECT_FALSE(log.contains("never-tried")) << "no locator after the first found";
}

TEST_F(ScanTest, TheResultKeepsQuotesAndMarkupCharactersInOrderAndInPlace) {
    const QString odd = D + "/bin/it's \"a\" & <b>";
    qvtest::writeFile(odd, "x");
    define("<def lsid='one &amp; &quot;only&quot;' caption='Say &quot;hi&quot; &amp; &lt;bye&gt;' "
           "tip='it&apos;s &lt;fine&gt;'>" +
           locator("File", "Link", "$D/bin/it&apos;s &quot;a&quot; &amp; &lt;b&gt;", "") +
           "</def><def lsid='two' caption='Writer' tip=''>" + locator("File", "Link", "$D/bin/writer", "") +
           "</def>");
    ASSERT_TRUE(software.ScanLocalSoft());

    // The document still reads back, and every value is as defined.
    XmlDocument reread;
    ASSERT_TRUE(reread.loadXML(user.Document().xml()));
    const XmlNodeList softs = reread.selectNodes("data/localsofts/localsoft");
    ASSERT_EQ(softs.length(), 2);
    EXPECT_EQ(softs.item(0).attributeNames(), QStringList({"lsid", "caption", "file", "tip"}));
    EXPECT_EQ(softs.item(0).getAttribute("lsid"), "one & \"only\"");
    EXPECT_EQ(softs.item(0).getAttribute("caption"), "Say \"hi\" & <bye>");
    EXPECT_EQ(softs.item(0).getAttribute("file"), odd);
    EXPECT_EQ(softs.item(0).getAttribute("tip"), "it's <fine>");
    EXPECT_EQ(softs.item(1).getAttribute("lsid"), "two");
    // The new section takes the old one's place among the sections.
    QStringList sections;
    for (const XmlNode& n : reread.selectNodes("data/*"))
        sections << n.nodeName();
    EXPECT_EQ(sections, QStringList({"globalinfo", "localsofts", "customsapp"}));
}

TEST_F(ScanTest, AFailingScanKeepsTheEarlierResultAndSaysWhatFailed) {
    const QString good =
        "<def lsid='w' caption='W' tip=''>" + locator("File", "Link", "$D/bin/writer", "") + "</def>";
    const QStringList broken = {
        "<def lsid='x' caption='X' tip=''><l targettype='File' action='Link' regvaluetype=''/></def>",
        "<def lsid='x' caption='X' tip=''><l targettype='File' action='Link' "
        "targetfile='$D/bin/writer'/></def>",
        "<def lsid='x' caption='X' tip=''>" +
            locator("Reg", "Link", "HKEY_CURRENT_USER\\Software\\QV Test\\User|", "text") + "</def>",
    };
    for (const QString& definition : broken) {
        messages.clear();
        define(good + definition);
        EXPECT_FALSE(software.ScanLocalSoft()) << definition.toStdString();
        ASSERT_EQ(messages.size(), 1) << definition.toStdString();
        EXPECT_TRUE(messages[0].startsWith("扫描本地软件失败")) << messages[0].toStdString();
        EXPECT_EQ(found(), (QMap<QString, QString>{{"old", "/old"}})) << definition.toStdString();
    }

    // Without definitions at all, likewise.
    messages.clear();
    software.Load(XmlNode());
    EXPECT_FALSE(software.ScanLocalSoft());
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(found().keys(), QStringList({"old"}));
}
