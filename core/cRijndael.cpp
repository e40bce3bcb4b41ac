#include "core/cRijndael.h"

#include "core/QvError.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

using std::uint32_t;
using std::uint8_t;

struct cRijndael::Tables {
    uint8_t S[256];
    uint8_t Si[256];
    uint32_t Te[4][256];
    uint32_t Td[4][256];
    uint32_t rcon[10];

    Tables() {
        // Field arithmetic in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, through powers of the
        // generator 3.
        uint8_t power[256];
        uint8_t lg[256] = {};
        uint8_t x = 1;
        for (int i = 0; i < 255; ++i) {
            power[i] = x;
            lg[x] = uint8_t(i);
            x = uint8_t(x ^ xtime(x)); // x * 3
        }
        power[255] = power[0];
        auto mul = [&](uint8_t a, uint8_t b) -> uint8_t {
            if (a == 0 || b == 0)
                return 0;
            return power[(lg[a] + lg[b]) % 255];
        };

        for (int i = 0; i < 256; ++i) {
            const uint8_t inv = i == 0 ? 0 : power[(255 - lg[i]) % 255];
            uint8_t s = inv;
            for (int r = 1; r <= 4; ++r)
                s ^= uint8_t((inv << r) | (inv >> (8 - r)));
            s ^= 0x63;
            S[i] = s;
            Si[s] = uint8_t(i);
        }

        for (int i = 0; i < 256; ++i) {
            const uint8_t s = S[i];
            const uint32_t e =
                uint32_t(mul(s, 2)) | uint32_t(s) << 8 | uint32_t(s) << 16 | uint32_t(mul(s, 3)) << 24;
            const uint8_t si = Si[i];
            const uint32_t d = uint32_t(mul(si, 0x0e)) | uint32_t(mul(si, 0x09)) << 8 |
                               uint32_t(mul(si, 0x0d)) << 16 | uint32_t(mul(si, 0x0b)) << 24;
            for (int t = 0; t < 4; ++t) {
                Te[t][i] = rotl(e, 8 * t);
                Td[t][i] = rotl(d, 8 * t);
            }
        }

        uint8_t rc = 1;
        for (int i = 0; i < 10; ++i) {
            rcon[i] = rc;
            rc = xtime(rc);
        }
    }

    static uint8_t xtime(uint8_t a) { return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1b : 0)); }
    static uint32_t rotl(uint32_t w, int bits) { return bits == 0 ? w : (w << bits) | (w >> (32 - bits)); }

    uint32_t subWord(uint32_t w) const {
        return uint32_t(S[w & 0xff]) | uint32_t(S[(w >> 8) & 0xff]) << 8 |
               uint32_t(S[(w >> 16) & 0xff]) << 16 | uint32_t(S[w >> 24]) << 24;
    }
};

namespace {

inline uint32_t load32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void store32(unsigned char* p, uint32_t w) {
    p[0] = uint8_t(w);
    p[1] = uint8_t(w >> 8);
    p[2] = uint8_t(w >> 16);
    p[3] = uint8_t(w >> 24);
}

// Below this many blocks per thread a worker costs more than it saves.
constexpr qsizetype MinBlocksPerThread = 8192;

// Runs fn(first, last) over [0, count) in a few slices, the first slice on the calling thread.
template <class Fn> void forSlices(qsizetype count, qsizetype minPerSlice, const Fn& fn) {
    const qsizetype hw = std::max(1u, std::thread::hardware_concurrency());
    const qsizetype slices = std::min<qsizetype>({hw, 8, count / minPerSlice});
    if (slices <= 1) {
        fn(qsizetype(0), count);
        return;
    }
    std::vector<std::thread> workers;
    const qsizetype per = count / slices;
    qsizetype next = per;
    for (qsizetype s = 1; s < slices; ++s) {
        const qsizetype first = next;
        const qsizetype last = s + 1 == slices ? count : first + per;
        try {
            workers.emplace_back([&fn, first, last] { fn(first, last); });
        } catch (const std::system_error&) {
            fn(first, last); // no thread to be had: do the slice here
        }
        next = last;
    }
    fn(qsizetype(0), per);
    for (std::thread& w : workers)
        w.join();
}

} // namespace

const cRijndael::Tables* cRijndael::sharedTables() {
    static const Tables tables;
    return &tables;
}

cRijndael::cRijndael() : mT(sharedTables()) {}

int cRijndael::SetCipherKey(const QByteArray& pass, int KeyBits) {
    if (KeyBits != 128 && KeyBits != 192 && KeyBits != 256)
        throw QvError(1, QStringLiteral("cRijndael.SetCipherKey - Illegal KeyBits Value"));
    const int nk = KeyBits / 32;
    if (pass.size() < nk * 4)
        throw QvError(QvErrors::InvalidArgument,
                      QStringLiteral("cRijndael.SetCipherKey - key shorter than %1 bytes").arg(nk * 4));

    const int nr = nk + 6;
    const int words = 4 * (nr + 1);
    const auto* key = reinterpret_cast<const unsigned char*>(pass.constData());
    uint32_t* w = mEncKey.data();
    for (int i = 0; i < nk; ++i)
        w[i] = load32(key + 4 * i);
    for (int i = nk; i < words; ++i) {
        uint32_t temp = w[i - 1];
        if (i % nk == 0)
            temp = mT->subWord((temp >> 8) | (temp << 24)) ^ mT->rcon[i / nk - 1];
        else if (nk > 6 && i % nk == 4)
            temp = mT->subWord(temp);
        w[i] = w[i - nk] ^ temp;
    }

    // Equivalent inverse cipher: round keys in reverse order, the inner ones through
    // InvMixColumns (Td[t][S[b]] is InvMixColumns applied to byte b alone).
    uint32_t* dk = mDecKey.data();
    for (int r = 0; r <= nr; ++r) {
        for (int c = 0; c < 4; ++c) {
            const uint32_t k = w[4 * (nr - r) + c];
            if (r == 0 || r == nr) {
                dk[4 * r + c] = k;
            } else {
                dk[4 * r + c] = mT->Td[0][mT->S[k & 0xff]] ^ mT->Td[1][mT->S[(k >> 8) & 0xff]] ^
                                mT->Td[2][mT->S[(k >> 16) & 0xff]] ^ mT->Td[3][mT->S[k >> 24]];
            }
        }
    }
    mRounds = nr;
    return 0;
}

void cRijndael::encryptBlock(const unsigned char* in, unsigned char* out) const {
    const auto& Te = mT->Te;
    const uint8_t* S = mT->S;
    const uint32_t* rk = mEncKey.data();
    uint32_t s0 = load32(in) ^ rk[0];
    uint32_t s1 = load32(in + 4) ^ rk[1];
    uint32_t s2 = load32(in + 8) ^ rk[2];
    uint32_t s3 = load32(in + 12) ^ rk[3];
    for (int r = 1; r < mRounds; ++r) {
        rk += 4;
        const uint32_t t0 =
            Te[0][s0 & 0xff] ^ Te[1][(s1 >> 8) & 0xff] ^ Te[2][(s2 >> 16) & 0xff] ^ Te[3][s3 >> 24] ^ rk[0];
        const uint32_t t1 =
            Te[0][s1 & 0xff] ^ Te[1][(s2 >> 8) & 0xff] ^ Te[2][(s3 >> 16) & 0xff] ^ Te[3][s0 >> 24] ^ rk[1];
        const uint32_t t2 =
            Te[0][s2 & 0xff] ^ Te[1][(s3 >> 8) & 0xff] ^ Te[2][(s0 >> 16) & 0xff] ^ Te[3][s1 >> 24] ^ rk[2];
        const uint32_t t3 =
            Te[0][s3 & 0xff] ^ Te[1][(s0 >> 8) & 0xff] ^ Te[2][(s1 >> 16) & 0xff] ^ Te[3][s2 >> 24] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    auto last = [S](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return uint32_t(S[a & 0xff]) | uint32_t(S[(b >> 8) & 0xff]) << 8 |
               uint32_t(S[(c >> 16) & 0xff]) << 16 | uint32_t(S[d >> 24]) << 24;
    };
    const uint32_t o0 = last(s0, s1, s2, s3) ^ rk[0];
    const uint32_t o1 = last(s1, s2, s3, s0) ^ rk[1];
    const uint32_t o2 = last(s2, s3, s0, s1) ^ rk[2];
    const uint32_t o3 = last(s3, s0, s1, s2) ^ rk[3];
    store32(out, o0);
    store32(out + 4, o1);
    store32(out + 8, o2);
    store32(out + 12, o3);
}

void cRijndael::decryptBlock(const unsigned char* in, unsigned char* out) const {
    const auto& Td = mT->Td;
    const uint8_t* Si = mT->Si;
    const uint32_t* rk = mDecKey.data();
    uint32_t s0 = load32(in) ^ rk[0];
    uint32_t s1 = load32(in + 4) ^ rk[1];
    uint32_t s2 = load32(in + 8) ^ rk[2];
    uint32_t s3 = load32(in + 12) ^ rk[3];
    for (int r = 1; r < mRounds; ++r) {
        rk += 4;
        const uint32_t t0 =
            Td[0][s0 & 0xff] ^ Td[1][(s3 >> 8) & 0xff] ^ Td[2][(s2 >> 16) & 0xff] ^ Td[3][s1 >> 24] ^ rk[0];
        const uint32_t t1 =
            Td[0][s1 & 0xff] ^ Td[1][(s0 >> 8) & 0xff] ^ Td[2][(s3 >> 16) & 0xff] ^ Td[3][s2 >> 24] ^ rk[1];
        const uint32_t t2 =
            Td[0][s2 & 0xff] ^ Td[1][(s1 >> 8) & 0xff] ^ Td[2][(s0 >> 16) & 0xff] ^ Td[3][s3 >> 24] ^ rk[2];
        const uint32_t t3 =
            Td[0][s3 & 0xff] ^ Td[1][(s2 >> 8) & 0xff] ^ Td[2][(s1 >> 16) & 0xff] ^ Td[3][s0 >> 24] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    auto last = [Si](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return uint32_t(Si[a & 0xff]) | uint32_t(Si[(b >> 8) & 0xff]) << 8 |
               uint32_t(Si[(c >> 16) & 0xff]) << 16 | uint32_t(Si[d >> 24]) << 24;
    };
    const uint32_t o0 = last(s0, s3, s2, s1) ^ rk[0];
    const uint32_t o1 = last(s1, s0, s3, s2) ^ rk[1];
    const uint32_t o2 = last(s2, s1, s0, s3) ^ rk[2];
    const uint32_t o3 = last(s3, s2, s1, s0) ^ rk[3];
    store32(out, o0);
    store32(out + 4, o1);
    store32(out + 8, o2);
    store32(out + 12, o3);
}

void cRijndael::encryptBlocks(const unsigned char* in, unsigned char* out, qsizetype blocks) const {
    forSlices(blocks, MinBlocksPerThread, [=, this](qsizetype first, qsizetype last) {
        for (qsizetype b = first; b < last; ++b)
            encryptBlock(in + b * BlockSize, out + b * BlockSize);
    });
}

void cRijndael::decryptBlocks(const unsigned char* in, unsigned char* out, qsizetype blocks) const {
    forSlices(blocks, MinBlocksPerThread, [=, this](qsizetype first, qsizetype last) {
        for (qsizetype b = first; b < last; ++b)
            decryptBlock(in + b * BlockSize, out + b * BlockSize);
    });
}

void cRijndael::requireKey(const char* operation) const {
    if (mRounds == 0)
        throw QvError(QvErrors::General, QStringLiteral("cRijndael.%1 - no cipher key set").arg(operation));
}

namespace {
void requireBlock(const QByteArray& array, qsizetype offset, const char* operation) {
    if (offset < 0 || offset > array.size() - cRijndael::BlockSize)
        throw QvError(9, QStringLiteral("cRijndael.%1 - Subscript out of range").arg(operation));
}
} // namespace

int cRijndael::BlockEncrypt(const QByteArray& plaintext, QByteArray& ciphertext, qsizetype p, qsizetype q) {
    requireKey("BlockEncrypt");
    requireBlock(plaintext, p, "BlockEncrypt");
    requireBlock(ciphertext, q, "BlockEncrypt");
    // Read the block before asking for a writable pointer: the two may be one array.
    unsigned char block[BlockSize];
    std::memcpy(block, plaintext.constData() + p, BlockSize);
    encryptBlock(block, reinterpret_cast<unsigned char*>(ciphertext.data()) + q);
    return 0;
}

int cRijndael::BlockDecrypt(QByteArray& plaintext, const QByteArray& ciphertext, qsizetype p, qsizetype q) {
    requireKey("BlockDecrypt");
    requireBlock(plaintext, p, "BlockDecrypt");
    requireBlock(ciphertext, q, "BlockDecrypt");
    unsigned char block[BlockSize];
    std::memcpy(block, ciphertext.constData() + q, BlockSize);
    decryptBlock(block, reinterpret_cast<unsigned char*>(plaintext.data()) + p);
    return 0;
}

int cRijndael::ArrayEncrypt(const QByteArray& plaintext, QByteArray& ciphertext, int appendsize) {
    requireKey("ArrayEncrypt");
    mLastMessage.clear();
    const qsizetype n = plaintext.size();
    const qsizetype whole = n / BlockSize;
    const qsizetype rest = n % BlockSize;
    const qsizetype outBlocks = appendsize == 0 ? whole + (rest ? 1 : 0) : whole + 1;

    QByteArray out(outBlocks * BlockSize, Qt::Uninitialized);
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    encryptBlocks(reinterpret_cast<const unsigned char*>(plaintext.constData()), dst, whole);
    if (outBlocks > whole) {
        unsigned char* tail = dst + whole * BlockSize;
        std::memset(tail, 0, BlockSize);
        std::memcpy(tail, plaintext.constData() + whole * BlockSize, size_t(rest));
        if (appendsize != 0)
            tail[BlockSize - 1] = static_cast<unsigned char>(rest);
        encryptBlock(tail, tail);
    }
    ciphertext = std::move(out);
    return 0;
}

int cRijndael::ArrayDecrypt(QByteArray& plaintext, const QByteArray& ciphertext, int appendsize) {
    requireKey("ArrayDecrypt");
    mLastMessage.clear();
    const qsizetype n = ciphertext.size();
    if (n % BlockSize != 0) {
        mLastMessage = QStringLiteral("ciphertext size not a multiple of block size");
        return -1;
    }
    QByteArray out(n, Qt::Uninitialized);
    decryptBlocks(reinterpret_cast<const unsigned char*>(ciphertext.constData()),
                  reinterpret_cast<unsigned char*>(out.data()), n / BlockSize);

    int status = 0;
    if (appendsize != 0) {
        // An empty array has no length field at all, which no ArrayEncrypt output can be.
        const int length = n == 0 ? BlockSize : static_cast<unsigned char>(out.at(n - 1));
        if (length > BlockSize - 1) {
            mLastMessage = QStringLiteral("warning - incorrect length field");
            status = 1;
        } else {
            // The cut may leave nothing: an empty plaintext encrypts to one block holding only
            // the length field, and it must come back empty.
            out.truncate(n - BlockSize + length);
        }
    }
    plaintext = std::move(out);
    return status;
}
