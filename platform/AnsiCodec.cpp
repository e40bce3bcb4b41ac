#include "platform/AnsiCodec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

constexpr const char* kAnsiCodePage = "GBK";

// One iconv conversion descriptor for the duration of a call; iconv_t is not safe to share.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : mCd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid())
            iconv_close(mCd);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return mCd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return mCd; }

private:
    iconv_t mCd;
};

// Runs `in` through the converter. On a sequence the target cannot hold, or the source does not
// allow, `replacement` is written and `skip` input bytes are passed over.
QByteArray convert(IconvHandle& cd, const QByteArray& in, const QByteArray& replacement, size_t skip) {
    QByteArray out;
    if (in.isEmpty())
        return out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    char buffer[1024];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t rc = iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<qsizetype>(dst - buffer));
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ: an unconvertible or invalid sequence; EINVAL: an incomplete one at the end.
        out.append(replacement);
        const size_t step = std::min(skip, srcLeft);
        src += step;
        srcLeft -= step;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

} // namespace

namespace AnsiCodec {

QByteArray fromUnicode(const QString& text) {
    IconvHandle cd(kAnsiCodePage, "UTF-16LE");
    if (!cd.valid())
        return text.toLatin1();
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return convert(cd, utf16, "?", 2);
}

QString toUnicode(const QByteArray& bytes) {
    IconvHandle cd("UTF-16LE", kAnsiCodePage);
    if (!cd.valid())
        return QString::fromLatin1(bytes);
    const QByteArray utf16 = convert(cd, bytes, QByteArray("?\0", 2), 1);
    return QString(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2);
}

bool isDoubleByte(QChar ch) {
    return fromUnicode(QString(ch)).size() == 2;
}

} // namespace AnsiCodec
