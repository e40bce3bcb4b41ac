#include "TestSupport.h"
#include "core/modDataFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    bool crashed = true;
    QByteArray out;
    QByteArray err;
};

ToolRun qvdata(const QStringList& args, int timeoutMs = 60000) {
    QProcess p;
    p.start(qvtest::buildDir() + "/qvdata", args);
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
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

TEST_F(Qvdata, CheckRefusesDocumentTypesAndFilesThatAreNoDataFilesAtOnce) {
    modDataFile::WriteEncryptedFile(path("laughs.dat"), qvtest::entityExpansionDocument());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.dat")).constData(), 0600), 0);
    {
        QFile sparse(path("sparse.dat"));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(qint64(3) << 30));
    }
    const struct {
        QString file;
        const char* why;
    } cases[] = {{path("laughs.dat"), "DOCTYPE"},
                 {path("fifo.dat"), "not a regular file"},
                 {"/dev/zero", "not a regular file"},
                 {path("sparse.dat"), "larger than 256 MiB"}};
    for (const auto& c : cases) {
        QElapsedTimer timer;
        timer.start();
        const ToolRun r = qvdata({"check", c.file}, 5000);
        EXPECT_LT(timer.elapsed(), 2000) << c.file.toStdString();
        EXPECT_FALSE(r.crashed) << c.file.toStdString();
        EXPECT_EQ(r.exitCode, 1) << c.file.toStdString();
        EXPECT_TRUE(r.err.contains(c.why)) << r.err.constData();
    }
}

TEST_F(Qvdata, EncryptWritesOnlyToRegularFilesOrStandardOutput) {
    qvtest::writeFile(path("common.xml"), kDocument);
    const QByteArray expected =
        modDataFile::EncryptTextToHex(QString::fromUtf8(kDocument), modDataFile::DataFileKey());
    auto kindOf = [](const QString& p) {
        struct stat st = {};
        return ::lstat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0u;
    };

    QStringList refused;
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    refused << path("fifo");
    const bool haveDevice =
        ::mknod(QFile::encodeName(path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (haveDevice)
        refused << path("null");
    ASSERT_TRUE(QFile::link("/dev/null", path("to-null")));
    refused << path("to-null") << "/dev/null" << dir.path();
    for (const QString& out : refused) {
        const unsigned kind = kindOf(out);
        const ToolRun r = qvdata({"encrypt", path("common.xml"), out});
        EXPECT_EQ(r.exitCode, 2) << out.toStdString();
        EXPECT_TRUE(r.err.contains("not a regular file")) << r.err.constData();
        EXPECT_EQ(kindOf(out), kind) << out.toStdString() << " was replaced";
    }
    EXPECT_EQ(kindOf("/dev/null"), unsigned(S_IFCHR));
    if (!haveDevice)
        std::cout << "[  NOTE    ] mknod is not permitted here; the device-node case was left out\n";

    for (const char* out : {"-", "/dev/stdout"}) {
        const ToolRun r = qvdata({"encrypt", path("common.xml"), out});
        EXPECT_EQ(r.exitCode, 0) << out;
        EXPECT_EQ(r.out, expected) << out;
    }

    // A link to a regular file is followed; the link stays.
    qvtest::writeFile(path("real.dat"), "old");
    ASSERT_TRUE(QFile::link(path("real.dat"), path("link.dat")));
    EXPECT_EQ(qvdata({"encrypt", path("common.xml"), path("link.dat")}).exitCode, 0);
    EXPECT_EQ(qvtest::readFile(path("real.dat")), expected);
    EXPECT_TRUE(QFileInfo(path("link.dat")).isSymLink());
}
