#include "core/modDataFile.h"

#include "core/QvError.h"
#include "core/cRijndael.h"
#include "core/modSafeFile.h"

#include <QDate>
#include <QTime>
#include <QtEndian>
#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace modDataFile {

namespace {

// Hex work on a multi-megabyte document is split over a few threads; small texts stay on the
// calling thread.
constexpr qsizetype MinCharsPerSlice = 1 << 20;

template <class Fn> void forSlices(qsizetype slices, const Fn& fn) {
    if (slices <= 1) {
        fn(qsizetype(0));
        return;
    }
    std::vector<std::thread> workers;
    for (qsizetype s = 1; s < slices; ++s) {
        try {
            workers.emplace_back([&fn, s] { fn(s); });
        } catch (const std::system_error&) {
            fn(s); // no thread to be had: do the slice here
        }
    }
    fn(qsizetype(0));
    for (std::thread& w : workers)
        w.join();
}

qsizetype sliceCount(qsizetype work) {
    const qsizetype hw = std::max(1u, std::thread::hardware_concurrency());
    return std::clamp<qsizetype>(work / MinCharsPerSlice, 1, std::min<qsizetype>(hw, 8));
}

struct HexDigits {
    signed char value[256];
    constexpr HexDigits() : value() {
        for (int c = 0; c < 256; ++c)
            value[c] = -1;
        for (int c = '0'; c <= '9'; ++c)
            value[c] = static_cast<signed char>(c - '0');
        for (int c = 'A'; c <= 'F'; ++c) {
            value[c] = static_cast<signed char>(c - 'A' + 10);
            value[c - 'A' + 'a'] = static_cast<signed char>(c - 'A' + 10);
        }
    }
};
constexpr HexDigits kHexDigits;
constexpr char kUpperDigits[] = "0123456789ABCDEF";

// The cipher keyed for the data files: the key text's 8-bit characters at the start of a
// 32-byte zero buffer, of which a 128-bit key uses the first 16 bytes.
cRijndael keyedCipher(const QString& keyText) {
    QByteArray key = keyText.toLatin1().left(32);
    key.append(QByteArray(32 - key.size(), '\0'));
    cRijndael cipher;
    cipher.SetCipherKey(key, 128);
    return cipher;
}

QByteArray utf16leBytes(const QString& text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return bytes;
}

QString textFromUtf16le(const QByteArray& bytes) {
    const qsizetype units = bytes.size() / 2;
    QString text(units, Qt::Uninitialized);
    qFromLittleEndian<char16_t>(bytes.constData(), units, text.data());
    return text;
}

QString decryptBytes(const QByteArray& cipherBytes, const QString& keyText, QString* message) {
    cRijndael cipher = keyedCipher(keyText);
    QByteArray plain;
    const int status = cipher.ArrayDecrypt(plain, cipherBytes, 0);
    if (message)
        *message = cipher.lastMessage();
    if (status != 0)
        return QString();
    return textFromUtf16le(plain);
}

// The text as this program writes it: 32-digit groups, two spaces apart, nothing else. Then
// every byte's digits sit at a known place and the text decodes without a counting pass. Any
// deviation (other separators, stray characters) returns false before `bytes` is touched.
bool decodeCanonical(const unsigned char* src, qsizetype length, QByteArray& bytes) {
    constexpr qsizetype GroupChars = 34; // 32 digits and the two spaces that follow
    const qsizetype tail = length % GroupChars;
    if (tail == 0 || tail % 2 != 0)
        return false;
    const qsizetype count = 16 * (length / GroupChars) + tail / 2;
    const qsizetype groups = (count + 15) / 16;

    QByteArray out(count, Qt::Uninitialized);
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    const qsizetype slices = sliceCount(length);
    std::vector<char> sliceOk(static_cast<size_t>(slices), 0);
    forSlices(slices, [&](qsizetype s) {
        int bad = 0;
        for (qsizetype g = groups * s / slices, end = groups * (s + 1) / slices; g < end; ++g) {
            const unsigned char* in = src + g * GroupChars;
            unsigned char* o = dst + g * 16;
            const qsizetype n = std::min<qsizetype>(16, count - g * 16);
            for (qsizetype i = 0; i < n; ++i) {
                const int hi = kHexDigits.value[in[2 * i]];
                const int lo = kHexDigits.value[in[2 * i + 1]];
                bad |= hi | lo; // negative when either is no digit
                o[i] = static_cast<unsigned char>(hi << 4 | (lo & 0x0f));
            }
            if (g + 1 < groups && (in[32] != ' ' || in[33] != ' '))
                bad = -1;
        }
        sliceOk[static_cast<size_t>(s)] = bad >= 0;
    });
    if (std::find(sliceOk.begin(), sliceOk.end(), 0) != sliceOk.end())
        return false;
    bytes = std::move(out);
    return true;
}
} // namespace

QByteArray BytesToHexLatin1(const QByteArray& bytes, qsizetype count, qsizetype groupSize) {
    if (count > bytes.size())
        throw QvError(9, QStringLiteral("BytesToHex - Subscript out of range"));
    if (count <= 0)
        return QByteArray();
    const qsizetype group = groupSize > 0 ? groupSize : count;
    QByteArray hex(2 * count + 2 * ((count - 1) / group), Qt::Uninitialized);
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.constData());
    char* dst = hex.data();

    // Every byte's place in the text is known up front, so slices can be written independently.
    const qsizetype slices = sliceCount(count * 2);
    forSlices(slices, [=](qsizetype s) {
        const qsizetype first = count * s / slices;
        const qsizetype last = count * (s + 1) / slices;
        // Right after the previous byte's digits; a separator, if due, comes first.
        char* out = dst + (first == 0 ? 0 : 2 * first + 2 * ((first - 1) / group));
        for (qsizetype i = first; i < last; ++i) {
            if (i > 0 && i % group == 0) {
                *out++ = ' ';
                *out++ = ' ';
            }
            *out++ = kUpperDigits[src[i] >> 4];
            *out++ = kUpperDigits[src[i] & 0x0f];
        }
    });
    return hex;
}

QString BytesToHex(const QByteArray& bytes, qsizetype count, qsizetype groupSize) {
    return QString::fromLatin1(BytesToHexLatin1(bytes, count, groupSize));
}

qsizetype HexLatin1ToBytes(QByteArrayView hexText, QByteArray& bytes) {
    const auto* src = reinterpret_cast<const unsigned char*>(hexText.data());
    const qsizetype length = hexText.size();
    if (decodeCanonical(src, length, bytes))
        return bytes.size();
    const qsizetype slices = sliceCount(length);

    // First pass: digits per slice, so that every slice knows the index of its first digit.
    std::vector<qsizetype> digitsBefore(static_cast<size_t>(slices) + 1, 0);
    auto sliceBounds = [=](qsizetype s) { return std::pair(length * s / slices, length * (s + 1) / slices); };
    forSlices(slices, [&](qsizetype s) {
        const auto [first, last] = sliceBounds(s);
        qsizetype digits = 0;
        for (qsizetype i = first; i < last; ++i)
            digits += kHexDigits.value[src[i]] >= 0;
        digitsBefore[size_t(s) + 1] = digits;
    });
    for (size_t s = 1; s < digitsBefore.size(); ++s)
        digitsBefore[s] += digitsBefore[s - 1];
    const qsizetype count = digitsBefore.back() / 2;

    // Second pass: each slice writes the bytes whose two digits it holds. A byte whose digits
    // fall into two slices is put together afterwards from the leading low nibble of the one
    // and the trailing high nibble of the other.
    struct Edge {
        int lowNibble = -1;
        qsizetype lowIndex = 0;
        int highNibble = -1;
        qsizetype highIndex = 0;
    };
    std::vector<Edge> edges(static_cast<size_t>(slices));
    QByteArray out(count, Qt::Uninitialized);
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    forSlices(slices, [&](qsizetype s) {
        const auto [first, last] = sliceBounds(s);
        qsizetype digit = digitsBefore[size_t(s)];
        int high = -1;
        Edge edge;
        for (qsizetype i = first; i < last; ++i) {
            const int v = kHexDigits.value[src[i]];
            if (v < 0)
                continue;
            if ((digit & 1) == 0) {
                high = v;
            } else if (high >= 0) {
                dst[digit >> 1] = static_cast<unsigned char>(high << 4 | v);
                high = -1;
            } else {
                edge.lowNibble = v;
                edge.lowIndex = digit >> 1;
            }
            ++digit;
        }
        if (high >= 0) {
            edge.highNibble = high;
            edge.highIndex = digit >> 1;
        }
        edges[size_t(s)] = edge;
    });
    for (const Edge& e : edges) {
        if (e.lowNibble >= 0)
            dst[e.lowIndex] = static_cast<unsigned char>(e.lowNibble);
    }
    for (const Edge& e : edges) {
        if (e.highNibble >= 0 && e.highIndex < count) // else: the odd digit at the very end
            dst[e.highIndex] |= static_cast<unsigned char>(e.highNibble << 4);
    }
    bytes = std::move(out);
    return count;
}

qsizetype HexToBytes(const QString& hexText, QByteArray& bytes) {
    // Characters outside Latin-1 become '?', which is skipped like any other non-digit.
    return HexLatin1ToBytes(hexText.toLatin1(), bytes);
}

QByteArray EncryptTextToHex(const QString& plaintext, const QString& keyText) {
    cRijndael cipher = keyedCipher(keyText);
    QByteArray cipherBytes;
    cipher.ArrayEncrypt(utf16leBytes(plaintext), cipherBytes, 0);
    return BytesToHexLatin1(cipherBytes, cipherBytes.size(), 16);
}

QString EncryptText(const QString& plaintext, const QString& keyText) {
    return QString::fromLatin1(EncryptTextToHex(plaintext, keyText));
}

QString DecryptHex(QByteArrayView hexText, const QString& keyText, QString* message) {
    QByteArray cipherBytes;
    HexLatin1ToBytes(hexText, cipherBytes);
    return decryptBytes(cipherBytes, keyText, message);
}

QString DecryptText(const QString& hexText, const QString& keyText, QString* message) {
    return DecryptHex(hexText.toLatin1(), keyText, message);
}

QString DataFileKey() {
    // The key is the time serial of 2008-08-08 20:08:00: whole seconds since 2005-01-01
    // 00:00:00, counted on the calendar so that no time zone or daylight-saving rule of the
    // machine can change it.
    const QDate reference(2005, 1, 1);
    const QDate keyDate(2008, 8, 8);
    const QTime keyTime(20, 8, 0);
    const qint64 seconds = reference.daysTo(keyDate) * 86400 + QTime(0, 0).secsTo(keyTime);
    return QString::number(seconds);
}

void WriteEncryptedFile(const QString& path, const QString& text) {
    const QByteArray hex = EncryptTextToHex(text, DataFileKey());
    // A file the next start would refuse to read is not written at all: the old one stays.
    if (hex.size() > modSafeFile::MaxDataFileSize)
        throw QvError(modSafeFile::FileTooLarge,
                      QStringLiteral("Path/File access error: %1 (the data would exceed %2 MiB)")
                          .arg(path)
                          .arg(modSafeFile::MaxDataFileSize / (1024 * 1024)));
    modSafeFile::WriteFileAtomically(path, hex);
}

QString ReadEncryptedFile(const QString& path, QString* message) {
    QByteArray cipherBytes;
    {
        const QByteArray hex = modSafeFile::ReadRegularFile(path);
        HexLatin1ToBytes(hex, cipherBytes);
    }
    if (cipherBytes.isEmpty())
        throw QvError(QvErrors::General, QStringLiteral("ReadEncryptedFile - no data in %1").arg(path));
    return decryptBytes(cipherBytes, DataFileKey(), message);
}

} // namespace modDataFile
