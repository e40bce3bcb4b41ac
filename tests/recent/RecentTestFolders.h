#pragma once
#include "platform/KdeRecentFolder.h"
#include "platform/LnkRecentFolder.h"
#include "platform/XbelRecentList.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include "ShellLinkWriter.h"
#include "TestSupport.h"

// A temporary set of recent sources: a Recent folder of real .lnk files, KDE's folder of link
// entries and a recently-used.xbel list, with times relative to today.
struct RecentTestFolders {
    QTemporaryDir dir;
    QString recent = dir.path() + "/Recent";
    QString kde = dir.path() + "/RecentDocuments";
    QString xbel = dir.path() + "/recently-used.xbel";
    QList<std::pair<QString, QDateTime>> xbelEntries;

    RecentTestFolders() {
        QDir().mkpath(recent);
        QDir().mkpath(kde);
    }

    static QDateTime at(int dayOffset, int h = 12, int m = 0, int s = 0) {
        return QDateTime(QDate::currentDate().addDays(dayOffset), QTime(h, m, s));
    }

    static void touch(const QString& path, const QDateTime& time) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(time, QFileDevice::FileModificationTime));
    }

    std::vector<std::unique_ptr<RecentSource>> sources() const {
        std::vector<std::unique_ptr<RecentSource>> s;
        s.push_back(std::make_unique<LnkRecentFolder>(recent));
        s.push_back(std::make_unique<KdeRecentFolder>(kde));
        s.push_back(std::make_unique<XbelRecentList>(xbel));
        return s;
    }

    // A shortcut in the Recent folder; returns its path.
    QString lnk(const QString& name, const QString& target, const QDateTime& time,
                bool folder = false) const {
        const QString path = recent + '/' + name;
        EXPECT_TRUE(
            shelllink::write(path, folder ? shelllink::folder(target) : shelllink::local(target), time));
        return path;
    }

    // An entry of the xbel list (the file is written again each time).
    QString addXbel(const QString& path, const QDateTime& time) {
        xbelEntries.append({path, time});
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\" "
                         "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\" "
                         "xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
        for (const auto& [file, when] : std::as_const(xbelEntries)) {
            const QByteArray stamp = when.toUTC().toString(Qt::ISODate).toUtf8();
            xml += "<bookmark href=\"" + QUrl::fromLocalFile(file).toEncoded() + "\" added=\"" + stamp +
                   "\" modified=\"" + stamp + "\" visited=\"" + stamp +
                   "\"><info><metadata owner=\"http://freedesktop.org\"><bookmark:applications>"
                   "<bookmark:application name=\"app\" exec=\"app %u\" modified=\"" +
                   stamp + "\" count=\"1\"/></bookmark:applications></metadata></info></bookmark>\n";
        }
        xml += "</xbel>\n";
        qvtest::writeFile(xbel, xml);
        return xbel + '#' + QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
    }
};
