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

// Scans of definitions over a folder ("$D") holding bin/writer and win/app.exe, with a registry
// file for both roots.
class ScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(D).mkpath("bin");
        QDir(D).mkpath("win");
        qvtest::writeFile(D + "/bin/writer", "x");
        qvtest::writeFile(D + "/win/app.exe", "x");
        QString expandable; // "%QV_SCAN_DIR%/bin/;" as the registry editor writes REG_EXPAND_SZ
        for (char b : RegistryView::textData("%QV_SCAN_DIR%/bin/;"))
            expandable += QString::asprintf("%02x,", static_cast<uchar>(b));
        expandable.chop(1);
        qvtest::writeFile(D + "/test.reg", QString(R"(Windows Registry Editor Version 5.00
[HKEY_LOCAL_MACHINE\Software\QV\Writer]
"Path"="$D/bin/"
"Expand"=hex(2):)" + expandable + R"(
"Quoted"="\"$D/bin/writer\""
"Missing"="$D/bin/nothing"
[HKEY_CURRENT_USER\Software\QV\User]
@="$D/bin/writer"
)")
                                               .replace("$D", D)
                                               .toUtf8());
        RegistryView::instance().setRegistryFile(HKEY_LOCAL_MACHINE, D + "/test.reg");
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, D + "/test.reg");
        user.LoadText("<data><globalinfo/><localsofts><localsoft lsid='old' "
                      "file='/old'/></localsofts><customsapp/></data>");
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
    void define(const QString& programs) {
        ASSERT_TRUE(definitions.loadXML("<defs>" + QString(programs).replace("$D", D) + "</defs>"));
        software.Load(definitions.documentElement());
    }
    QMap<QString, QString> found() {
        QMap<QString, QString> out;
        for (const XmlNode& n : user.LocalSoftsXMLNode().childElements())
            out.insert(n.getAttribute("lsid"), n.getAttribute("file"));
        return out;
    }

    QTemporaryDir dir;
    const QString D = dir.path();
    ScopedEnv windir{"Windir", (D + "/win").toUtf8()};
    ScopedEnv scanDir{"QV_SCAN_DIR", D.toUtf8()};
    XmlDocument definitions;
    clsUserData user{QString(), nullptr};
    clsLocalSoftware software;
    QStringList messages;
};

// A locator: method, target, value type and (for RegRead) file name.
QString loc(const QString& method, const QString& target, const QString& type = "1",
            const QString& file = {}) {
    return QString("<l targettype='%1' action='%2' targetfile='%3' regvaluetype='%4' filename='%5'/>")
        .arg(method.left(method.size() - 4), method.right(4), target, type, file);
}

const QString kKey = "HKEY_LOCAL_MACHINE\\Software\\QV\\Writer|";

} // namespace

TEST_F(ScanTest, EachMethodFindsItsFileTheFirstFoundWinsAndTheResultKeepsEveryCharacter) {
    const QList<std::pair<QString, QString>> rows = {
        // lsid and locators -> expected file ("" when not found)
        {"<d lsid='2nd'>" + loc("FileLink", "$D/none", "") + loc("FileLink", "$D/bin/writer", "") +
             loc("FileLink", "$D/never-tried", "") + "</d>",
         "$D/bin/writer"},
        {"<d lsid='root'>" + loc("FileLink", "%SystemRoot%/app.exe", "") + "</d>", "$D/win/app.exe"},
        {"<d lsid='lower'>" + loc("FileLink", "%systemroot%/app.exe", "") + "</d>", ""},
        {"<d lsid='read'>" + loc("RegRead", kKey + "Path", "1", "writer") + "</d>", "$D/bin/writer"},
        // "$D/bin/;" loses the ";" before the file name is appended.
        {"<d lsid='type2'>" + loc("RegRead", kKey + "Expand", "2", "writer") + "</d>", "$D/bin/writer"},
        // After a type-2 locator an empty type reads "$D/bin/" whole.
        {"<d lsid='type0'>" + loc("RegRead", kKey + "Expand", "2", "none") +
             loc("RegRead", kKey + "Path", "", "writer") + "</d>",
         "$D/bin/writer"},
        {"<d lsid='quoted'>" + loc("RegLink", kKey + "Quoted") + "</d>", "$D/bin/writer"},
        {"<d lsid='gone'>" + loc("RegLink", kKey + "Missing") + loc("RegLink", kKey + "Nothing") + "</d>",
         ""},
        {"<d lsid='user'>" + loc("RegLink", "HKEY_CURRENT_USER\\Software\\QV\\User|") + "</d>",
         "$D/bin/writer"},
        {"<d lsid='hkcu'>" + loc("RegLink", "HKCU\\Software\\QV\\User|") + loc("FileOpen", "$D/bin/writer") +
             "</d>",
         ""},
        {"<d lsid='a &amp; &quot;b&quot;' caption='Say &quot;hi&quot; &amp; &lt;bye>' tip='it&apos;s'>" +
             loc("FileLink", "$D/bin/writer", "") + "</d>",
         "$D/bin/writer"},
    };
    QString programs;
    for (const auto& [definition, file] : rows)
        programs += definition;
    define(programs);
    modInitial::SetAppPath(D);
    modInitial::gIsDevelopMode = true;
    modInitial::gDevLog = std::make_unique<QStringList>();
    ASSERT_TRUE(software.ScanLocalSoft()) << messages.join('\n').toStdString();

    QMap<QString, QString> expected;
    for (const auto& [definition, file] : rows) {
        XmlDocument d;
        d.loadXML(definition);
        if (!file.isEmpty())
            expected.insert(d.documentElement().getAttribute("lsid"), QString(file).replace("$D", D));
    }
    EXPECT_EQ(found(), expected) << "the old result is replaced";
    // Stored as markup that reads back with every value as defined, in definition order.
    XmlDocument reread;
    ASSERT_TRUE(reread.loadXML(user.Document().xml()));
    const XmlNode odd = reread.selectSingleNode("data/localsofts/localsoft[last()]");
    EXPECT_EQ(odd.attributeNames(), QStringList({"lsid", "caption", "file", "tip"}));
    EXPECT_EQ(odd.getAttribute("caption"), "Say \"hi\" & <bye>");
    EXPECT_EQ(odd.getAttribute("tip"), "it's");
    EXPECT_EQ(reread.selectSingleNode("data/*[2]").nodeName(), "localsofts") << "in the old section's place";

    const QString log = modInitial::gDevLog->join('\n') + '\n';
    for (const QString& line :
         QStringList{"扫描本地软件\n", "生成联接" + D + "/none\n", "找到文件" + D + "/bin/writer\n",
                     "生成联接%systemroot%/app.exe\n", "注册表路径:" + D + "/bin/nothing\n",
                     "找不到这个文件\n", "注册表路径无效:" + kKey + "Nothing\n"})
        EXPECT_TRUE(log.contains(" " + line)) << line.toStdString() << log.toStdString();
    EXPECT_FALSE(log.contains("never-tried"));
}

TEST_F(ScanTest, AFailingScanKeepsTheEarlierResultAndSaysWhatFailed) {
    const QString good = "<d lsid='w'>" + loc("FileLink", "$D/bin/writer", "") + "</d>";
    for (const QString& broken :
         {QString("<d><l targettype='File' action='Link' regvaluetype=''/></d>"),
          QString("<d><l targettype='File' action='Link' targetfile='$D/bin/writer'/></d>"),
          "<d>" + loc("RegLink", kKey + "Quoted", "one") + "</d>", QString()}) {
        messages.clear();
        if (broken.isEmpty())
            software.Load(XmlNode());
        else
            define(good + broken);
        EXPECT_FALSE(software.ScanLocalSoft()) << broken.toStdString();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith("扫描本地软件失败")) << messages[0].toStdString();
        EXPECT_EQ(found().keys(), QStringList({"old"}));
    }
}
