// Sticky-note save benchmark: what one change of a note costs when it is written to a User.dat of
// about 100 KB (and of 1 MB), against a plain atomic write of the same bytes.
//
//   note save   change the note's text, then the notes' save: the docking layout is not
//               involved here; the whole document is serialised, encrypted and written atomically
//   plain write QSaveFile write + commit of the bytes that save produced (the reference, same run)
//   encode      serialising and encrypting the document alone, the part of the save that is not I/O
//   typing      one second of typing at 20 keys a second with the 200 ms gathering: writes made

#include "core/XmlDocument.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "notes/clsPostNote.h"
#include "notes/clsPostNotes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "bench_notes_save: %s\n", what);
    std::exit(1);
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A user data document whose encrypted file is about `fileBytes` long: found software, recently
// closed pages and a few notes, as a long-used installation has them.
QString makeUserData(qsizetype fileBytes) {
    // The file holds four hex digits (and a little spacing) per character of the document.
    const qsizetype chars = fileBytes * 32 / 136;
    QString xml = "<data><globalinfo userid=\"20080808\"/><postnotes>";
    for (int i = 1; i <= 5; ++i)
        xml += QStringLiteral("<postnote psid='%1' createtime='2024/5/%1 9:05:03' visible='1' top='1500' "
                              "left='1500' width='4500' height='3000'>电话留言 %1：下午三点前回电</postnote>")
                   .arg(i);
    xml += "</postnotes><localsofts>";
    int n = 0;
    while (xml.size() < chars - 40)
        xml += QStringLiteral("<soft caption=\"办公软件 %1\" file=\"/opt/office%1/bin/app\" tip=\"说明\"/>")
                   .arg(n++);
    xml += "</localsofts></data>";
    return xml;
}

void benchSize(const char* label, qsizetype fileBytes, int repetitions, const QString& folder) {
    const QString path = folder + "/User.dat";
    modDataFile::WriteEncryptedFile(path, makeUserData(fileBytes));
    clsUserData userData(path, nullptr);
    if (!userData.LoadError().isEmpty())
        fail("user data does not load");
    clsPostNotes* notes = clsPostNotes::Of(&userData);
    notes->SetSaveInterval(0);
    clsPostNote* note = notes->GetPostNote(0);

    // The two writes take turns, so that both meet the same disk (other programs' syncs make a
    // single fsync vary a lot).
    const QString plainPath = folder + "/plain.dat";
    std::vector<double> saves, plains, encodes;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        note->setText(QStringLiteral("电话留言：") + QString::number(i));
        notes->RequestSave();
        saves.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (notes->SavePending())
            fail("a save was left pending");

        QFile saved(path);
        if (!saved.open(QIODevice::ReadOnly))
            fail("cannot read the saved file");
        const QByteArray bytes = saved.readAll();
        timer.restart();
        QSaveFile file(plainPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            fail("plain write failed");
        plains.push_back(double(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        if (modDataFile::EncryptTextToHex(userData.Document().xml(), modDataFile::DataFileKey()).size() !=
            bytes.size())
            fail("the saved file is not the encrypted document");
        encodes.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double saveMs = median(saves);
    const double plainMs = median(plains);
    const double encodeMs = median(encodes);
    const qint64 fileSize = QFile(path).size();

    // One second of typing at 20 keys a second, with the gathering the program uses.
    notes->SetSaveInterval(200);
    notes->FlushSave();
    const int before = notes->SaveCount();
    int typed = 0;
    QTimer keys;
    QObject::connect(&keys, &QTimer::timeout, [&] {
        note->setText(note->Text() + QLatin1Char('x'));
        notes->RequestSave();
        if (++typed == 20)
            keys.stop();
    });
    keys.start(50);
    QElapsedTimer wait;
    wait.start();
    while ((keys.isActive() || notes->SavePending()) && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const int writes = notes->SaveCount() - before;

    std::printf("%-8s %9.1f %10.2f %12.2f %8.2f %10.2f %6d %7d\n", label, double(fileSize) / 1024.0, saveMs,
                plainMs, saveMs / plainMs, encodeMs, typed, writes);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 51;

    std::printf("Sticky-note save: median of %d runs, times in ms\n", runs);
    std::printf("%-8s %9s %10s %12s %8s %10s %6s %7s\n", "User.dat", "file KiB", "note save", "plain write",
                "ratio", "encode", "keys", "writes");
    benchSize("100 KB", 100 * 1000, runs, dir.path());
    benchSize("1 MB", 1000 * 1000, std::max(1, runs / 5), dir.path());
    return 0;
}
