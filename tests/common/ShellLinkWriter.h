#pragma once
#include "platform/AnsiCodec.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QtEndian>

// Writes Windows shortcut files (.lnk) for tests and benchmarks, following the published Shell
// Link binary file format (MS-SHLLINK): a 76-byte ShellLinkHeader, an optional LinkTargetIDList,
// an optional LinkInfo structure with VolumeID + LocalBasePath or CommonNetworkRelativeLink +
// CommonPathSuffix, optional StringData and the terminal block.
namespace shelllink {

struct Shortcut {
    // Local target (LocalBasePath, written in the ANSI code page and, with `unicode`, also as
    // LocalBasePathUnicode).
    QString localPath;
    bool unicode = true;
    // Network target: share name ("\\server\share") and the path below it.
    QString netName;
    QString commonPathSuffix;
    // The target is a folder (FILE_ATTRIBUTE_DIRECTORY in the header).
    bool directory = false;
    // A shortcut to a virtual item: only an ID list naming a control-panel item, no LinkInfo.
    bool virtualItem = false;
    // StringData NAME_STRING, when set.
    QString description;
};

// The usual kinds of shortcut.
inline Shortcut local(const QString& path, bool unicode = true) {
    Shortcut s;
    s.localPath = path;
    s.unicode = unicode;
    return s;
}
inline Shortcut folder(const QString& path) {
    Shortcut s = local(path);
    s.directory = true;
    return s;
}
inline Shortcut network(const QString& netName, const QString& suffix) {
    Shortcut s;
    s.netName = netName;
    s.commonPathSuffix = suffix;
    return s;
}
inline Shortcut virtualItem() {
    Shortcut s;
    s.virtualItem = true;
    return s;
}

namespace detail {

inline void u16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

inline void u32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

inline void u32At(QByteArray& out, qsizetype at, quint32 v) {
    qToLittleEndian(v, out.data() + at);
}

inline QByteArray utf16z(const QString& s) {
    QByteArray out;
    for (QChar c : s)
        u16(out, c.unicode());
    u16(out, 0);
    return out;
}

inline QByteArray ansiz(const QString& s) {
    return AnsiCodec::fromUnicode(s) + QByteArray(1, '\0');
}

// VolumeID of a fixed drive without a label.
inline QByteArray volumeId() {
    QByteArray v;
    u32(v, 0x11); // VolumeIDSize: 16 bytes of fields + the empty label
    u32(v, 3);    // DRIVE_FIXED
    u32(v, 0x1234ABCD);
    u32(v, 0x10); // VolumeLabelOffset
    v.append('\0');
    return v;
}

inline QByteArray commonNetworkRelativeLink(const QString& netName) {
    QByteArray l;
    const QByteArray name = ansiz(netName);
    u32(l, 0);          // CommonNetworkRelativeLinkSize, patched below
    u32(l, 0x2);        // ValidNetType
    u32(l, 0x14);       // NetNameOffset
    u32(l, 0);          // DeviceNameOffset (no device)
    u32(l, 0x00020000); // WNNC_NET_LANMAN
    l.append(name);
    u32At(l, 0, quint32(l.size()));
    return l;
}

inline QByteArray linkInfo(const Shortcut& link) {
    const bool local = !link.localPath.isEmpty();
    const bool unicode = local && link.unicode;
    const quint32 headerSize = unicode ? 0x24 : 0x1C;
    QByteArray body;
    quint32 volumeOffset = 0, localOffset = 0, netOffset = 0, suffixOffset = 0;
    quint32 localUnicodeOffset = 0, suffixUnicodeOffset = 0;
    auto here = [&] { return quint32(headerSize + body.size()); };
    if (local) {
        volumeOffset = here();
        body.append(volumeId());
        localOffset = here();
        body.append(ansiz(link.localPath));
    } else {
        netOffset = here();
        body.append(commonNetworkRelativeLink(link.netName));
    }
    suffixOffset = here();
    body.append(ansiz(local ? QString() : link.commonPathSuffix));
    if (unicode) {
        localUnicodeOffset = here();
        body.append(utf16z(link.localPath));
        suffixUnicodeOffset = here();
        body.append(utf16z(QString()));
    }
    QByteArray info;
    u32(info, headerSize + quint32(body.size())); // LinkInfoSize
    u32(info, headerSize);
    u32(info, local ? 0x1 : 0x2); // VolumeIDAndLocalBasePath / CommonNetworkRelativeLinkAndPathSuffix
    u32(info, volumeOffset);
    u32(info, localOffset);
    u32(info, netOffset);
    u32(info, suffixOffset);
    if (unicode) {
        u32(info, localUnicodeOffset);
        u32(info, suffixUnicodeOffset);
    }
    return info + body;
}

// An ID list with one root item: the control panel's class identifier.
inline QByteArray virtualIdList() {
    QByteArray item;
    u16(item, 20); // ItemIDSize
    item.append(char(0x1F));
    item.append(char(0x50));
    const unsigned char clsid[16] = {0x20, 0xEC, 0xDA, 0x21, 0xEA, 0x3A, 0x10, 0x69,
                                     0xA2, 0xDD, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
    item.append(reinterpret_cast<const char*>(clsid), 16);
    QByteArray list;
    u16(list, quint16(item.size() + 2)); // IDListSize: the items and the terminal ID
    list.append(item);
    u16(list, 0);
    return list;
}

} // namespace detail

inline QByteArray bytes(const Shortcut& link) {
    using namespace detail;
    quint32 flags = 0x80; // IsUnicode: StringData in UTF-16
    if (link.virtualItem)
        flags |= 0x1; // HasLinkTargetIDList
    else
        flags |= 0x2; // HasLinkInfo
    if (!link.description.isEmpty())
        flags |= 0x4; // HasName

    QByteArray out;
    u32(out, 0x4C);
    const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    out.append(reinterpret_cast<const char*>(clsid), 16);
    u32(out, flags);
    u32(out, link.directory ? 0x10 : 0x20);         // FILE_ATTRIBUTE_DIRECTORY / ARCHIVE
    const quint64 filetime = 129000000000000000ULL; // 2009-10-11, any valid FILETIME will do
    for (int i = 0; i < 3; ++i) {
        u32(out, quint32(filetime & 0xFFFFFFFF));
        u32(out, quint32(filetime >> 32));
    }
    u32(out, 1024); // FileSize
    u32(out, 0);    // IconIndex
    u32(out, 1);    // SW_SHOWNORMAL
    u16(out, 0);    // HotKey
    u16(out, 0);
    u32(out, 0);
    u32(out, 0);

    if (link.virtualItem)
        out.append(virtualIdList());
    else
        out.append(linkInfo(link));
    if (!link.description.isEmpty()) {
        u16(out, quint16(link.description.size()));
        for (QChar c : link.description)
            u16(out, c.unicode());
    }
    u32(out, 0); // TerminalBlock
    return out;
}

// Writes the shortcut and sets its last-write time (local time).
inline bool write(const QString& path, const Shortcut& link, const QDateTime& lastWrite) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray data = bytes(link);
    if (f.write(data) != data.size() || !f.flush())
        return false;
    return f.setFileTime(lastWrite, QFileDevice::FileModificationTime);
}

} // namespace shelllink
