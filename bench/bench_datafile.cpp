// Data-file benchmark: saving and loading a document through the encrypted data-file format,
// against reading and parsing the same document as a plain UTF-8 XML file.
//
//   write  serialise the document + encrypt + atomic write
//   read   ReadEncryptedFile + loadXML
//   plain  read the UTF-8 file + loadXMLUtf8 (the reference, measured in the same run)

#include "core/XmlDocument.h"
#include "core/modDataFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QStringList kChinese = {"会议记录", "明天上午十点", "请带上报告", "网址导航", "新浪网", "百度搜索",
                              "便笺",     "最近文档",     "办公软件",   "邮箱登录", "翻译",   "收藏夹"};
const QStringList kAscii = {"Quarterly report",
                            "http://www.example.com/path?q=1&amp;x=2",
                            "notes",
                            "Meeting at 10:00",
                            "Microsoft Office Word 2007",
                            "C:\\Program Files\\Office"};

// A user-data-like document: sections of records with attributes, nested items and mixed text.
QString makeDocument(qsizetype targetChars, quint32 seed) {
    QRandomGenerator gen(seed);
    auto pick = [&](const QStringList& list) { return list.at(gen.bounded(int(list.size()))); };
    QString xml;
    xml.reserve(targetChars + 4096);
    xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QVUser version=\"1.0\" userid=\"U20080808\">";
    int section = 0;
    while (xml.size() < targetChars) {
        xml += QStringLiteral("<section name=\"s%1\" title=\"%2\">").arg(section).arg(pick(kChinese));
        for (int r = 0; r < 40 && xml.size() < targetChars; ++r) {
            xml += QStringLiteral("<record id=\"%1-%2\" CreateTime=\"%3\" Top=\"%4\" caption=\"%5\">")
                       .arg(section)
                       .arg(r)
                       .arg(113688480 + gen.bounded(100000))
                       .arg(gen.bounded(800))
                       .arg(pick(kChinese));
            const int items = 1 + gen.bounded(4);
            for (int i = 0; i < items; ++i) {
                xml += QStringLiteral("<item kind=\"%1\" url=\"%2\">%3 %4 %5</item>")
                           .arg(gen.bounded(9))
                           .arg(pick(kAscii), pick(kChinese), pick(kAscii), pick(kChinese));
            }
            xml +=
                "<text>" + pick(kChinese) + "，" + pick(kAscii) + "。" + pick(kChinese) + "</text></record>";
        }
        xml += "</section>";
        ++section;
    }
    xml += "</QVUser>";
    return xml;
}

double medianMs(int repetitions, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void fail(const char* what) {
    std::fprintf(stderr, "bench_datafile: %s\n", what);
    std::exit(1);
}

void benchSize(const char* label, qsizetype targetChars, int repetitions, const QString& folder) {
    XmlDocument doc;
    if (!doc.loadXML(makeDocument(targetChars, 2008)))
        fail("generated document does not parse");
    const QString datPath = folder + "/bench.dat";
    const QString xmlPath = folder + "/bench.xml";
    doc.save(xmlPath);

    const double writeMs =
        medianMs(repetitions, [&] { modDataFile::WriteEncryptedFile(datPath, doc.xml()); });

    const double readMs = medianMs(repetitions, [&] {
        XmlDocument loaded;
        if (!loaded.loadXML(modDataFile::ReadEncryptedFile(datPath)))
            fail("data file does not parse");
    });

    const double plainMs = medianMs(repetitions, [&] {
        QFile file(xmlPath);
        if (!file.open(QIODevice::ReadOnly))
            fail("cannot read the plain file");
        XmlDocument loaded;
        if (!loaded.loadXMLUtf8(file.readAll()))
            fail("plain file does not parse");
    });

    const qsizetype chars = doc.xml().size();
    std::printf("%-8s %10.1f %10.1f %10.2f %10.2f %10.2f %12.2f\n", label, double(chars) / 1024.0,
                double(QFile(datPath).size()) / 1024.0, writeMs, readMs, plainMs, readMs / plainMs);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");

    std::printf("Data files: median of several runs, times in ms\n");
    std::printf("%-8s %10s %10s %10s %10s %10s %12s\n", "doc", "KiChars", "file KiB", "write", "read",
                "plain", "read/plain");
    benchSize("64 KiB", 64 * 1024, 101, dir.path());
    benchSize("4 MiB", 4 * 1024 * 1024, 7, dir.path());
    return 0;
}
