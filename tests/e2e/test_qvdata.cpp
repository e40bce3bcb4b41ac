#include "TestSupport.h"
#include "core/modDataFile.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    bool crashed = true;
    QByteArray out;
    QByteArray err;
};

ToolRun qvdata(const QStringList& args) {
    QProcess p;
    p.start(qvtest::buildDir() + "/qvdata", args);
    ToolRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

const QByteArray kDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<common>\n  <global><HostDomain>example.org</HostDomain></global>\n"
    "  <links><link id=\"1\" caption=\"新浪网\"/><link id=\"2\" caption=\"百度\"/></links>\n"
    "</common>\n";

class Qvdata : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo::exists(qvtest::buildDir() + "/qvdata")) << "qvdata is not built";
        ASSERT_TRUE(dir.isValid());
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(Qvdata, EncryptWritesTheDataFileFormat) {
    qvtest::writeFile(path("common.xml"), kDocument);
    const ToolRun r = qvdata({"encrypt", path("common.xml"), path("common.dat")});
    ASSERT_FALSE(r.crashed);
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();

    const QString text = QString::fromUtf8(kDocument);
    EXPECT_EQ(qvtest::readFile(path("common.dat")),
              modDataFile::EncryptTextToHex(text, modDataFile::DataFileKey()));
}

TEST_F(Qvdata, DecryptGivesBackTheUtf8TextWithoutPadding) {
    qvtest::writeFile(path("common.xml"), kDocument);
    ASSERT_EQ(qvdata({"encrypt", path("common.xml"), path("common.dat")}).exitCode, 0);
    const ToolRun r = qvdata({"decrypt", path("common.dat")});
    ASSERT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, kDocument);
}

TEST_F(Qvdata, EncryptDropsAByteOrderMark) {
    qvtest::writeFile(path("bom.xml"), "\xEF\xBB\xBF" + kDocument);
    ASSERT_EQ(qvdata({"encrypt", path("bom.xml"), path("bom.dat")}).exitCode, 0);
    EXPECT_EQ(qvdata({"decrypt", path("bom.dat")}).out, kDocument);
}

TEST_F(Qvdata, DecryptReadsFilesWrittenByTheProgram) {
    modDataFile::WriteEncryptedFile(path("User.dat"), QStringLiteral("<user id=\"用户\"/>"));
    const ToolRun r = qvdata({"decrypt", path("User.dat")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("<user id=\"用户\"/>"));
}

TEST_F(Qvdata, CheckAcceptsWellFormedData) {
    qvtest::writeFile(path("common.xml"), kDocument);
    ASSERT_EQ(qvdata({"encrypt", path("common.xml"), path("common.dat")}).exitCode, 0);
    const ToolRun r = qvdata({"check", path("common.dat")});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
}

TEST_F(Qvdata, CheckRejectsMalformedXml) {
    modDataFile::WriteEncryptedFile(path("bad.dat"), QStringLiteral("<common><links></common>"));
    const ToolRun r = qvdata({"check", path("bad.dat")});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("bad.dat")) << r.err.constData();
}

TEST_F(Qvdata, CheckRejectsAPlainXmlFile) {
    // A plain file's few hex-looking letters do not make whole blocks, or decrypt to rubbish.
    qvtest::writeFile(path("plain.dat"), kDocument);
    const ToolRun r = qvdata({"check", path("plain.dat")});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.isEmpty());
}

TEST_F(Qvdata, IncompleteBlocksAreAnErrorNotEmptyText) {
    const QByteArray hex =
        modDataFile::EncryptTextToHex(QStringLiteral("<a>1234</a>"), modDataFile::DataFileKey());
    qvtest::writeFile(path("cut.dat"), hex.left(hex.size() - 3));
    for (const char* command : {"decrypt", "check"}) {
        const ToolRun r = qvdata({command, path("cut.dat")});
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_TRUE(r.out.isEmpty()) << command;
        EXPECT_TRUE(r.err.contains("ciphertext size not a multiple of block size")) << r.err.constData();
    }
}

TEST_F(Qvdata, MissingFilesFailCleanly) {
    for (const QStringList& args :
         {QStringList{"decrypt", path("none.dat")}, QStringList{"check", path("none.dat")},
          QStringList{"encrypt", path("none.xml"), path("out.dat")}}) {
        const ToolRun r = qvdata(args);
        EXPECT_FALSE(r.crashed) << qPrintable(args.join(' '));
        EXPECT_EQ(r.exitCode, 1) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.err.contains("none.")) << r.err.constData();
    }
    EXPECT_FALSE(QFileInfo::exists(path("out.dat")));
}

TEST_F(Qvdata, UnwritableOutputFailsCleanly) {
    qvtest::writeFile(path("common.xml"), kDocument);
    const ToolRun r = qvdata({"encrypt", path("common.xml"), path("no/folder/out.dat")});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.isEmpty());
}

TEST_F(Qvdata, InvalidUtf8InputIsRefused) {
    qvtest::writeFile(path("latin1.xml"), "<a>caf\xe9</a>");
    const ToolRun r = qvdata({"encrypt", path("latin1.xml"), path("out.dat")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(path("out.dat")));
}

TEST_F(Qvdata, BadArgumentsPrintUsage) {
    for (const QStringList& args :
         {QStringList{}, QStringList{"encrypt"}, QStringList{"encrypt", path("a.xml")},
          QStringList{"decrypt"}, QStringList{"check", "a", "b"}, QStringList{"frobnicate"},
          QStringList{"decrypt", "a.dat", "b.dat"}}) {
        const ToolRun r = qvdata(args);
        EXPECT_FALSE(r.crashed);
        EXPECT_NE(r.exitCode, 0) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.err.contains("usage: qvdata")) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(Qvdata, HelpGoesToStandardOutput) {
    const ToolRun r = qvdata({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("usage: qvdata"));
}
