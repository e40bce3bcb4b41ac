#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

// AES block cipher (FIPS-197), table driven, with the whole-array helpers the data files use.
//
// The S-box, its inverse, the four forward and four inverse round tables and the round
// constants are computed once per process, on the first instance, and shared read-only by all
// instances (they depend on nothing but the field arithmetic). Words are laid out with the
// block's first byte in the lowest bits.
//
// An instance holds the key schedule of its last SetCipherKey. The array functions split large
// arrays over a few worker threads (blocks are independent in code-book mode); the instance is
// only read while they run. Byte arrays are QByteArrays and therefore always zero-based.
//
// Every operation returns a status: 0 for success. Programming errors (bad key size, block
// offsets outside the arrays, no key set) throw QvError.
class cRijndael {
public:
    static constexpr int BlockSize = 16;

    cRijndael();

    // Keys the cipher with the first KeyBits/8 bytes of `pass`; KeyBits is 128, 192 or 256
    // (10, 12 or 14 rounds). Builds the encryption schedule and the schedule of the equivalent
    // inverse cipher.
    int SetCipherKey(const QByteArray& pass, int KeyBits);

    // Enciphers the block at offset p of `plaintext` into offset q of `ciphertext`, which may be
    // the same array. `ciphertext` must already be long enough.
    int BlockEncrypt(const QByteArray& plaintext, QByteArray& ciphertext, qsizetype p, qsizetype q);
    // Deciphers the block at offset q of `ciphertext` into offset p of `plaintext`.
    int BlockDecrypt(QByteArray& plaintext, const QByteArray& ciphertext, qsizetype p, qsizetype q);

    // Enciphers all of `plaintext` into `ciphertext`. With appendsize 0 the plaintext is padded
    // with zero bytes to whole blocks (nothing added when it already fills them). Otherwise one
    // more byte is always reserved: the output has 16 * (n / 16 + 1) bytes and its last byte
    // before encryption is n % 16, so that ArrayDecrypt can restore the exact length.
    int ArrayEncrypt(const QByteArray& plaintext, QByteArray& ciphertext, int appendsize);
    // Deciphers all of `ciphertext` into `plaintext`. Returns -1 (output untouched) when the
    // length is not a multiple of the block size. With appendsize the output is cut to the
    // length in the length field; an impossible length field (above 15) leaves the full output
    // and returns 1. Either failure sets lastMessage().
    int ArrayDecrypt(QByteArray& plaintext, const QByteArray& ciphertext, int appendsize);

    // The message of the last array operation that did not fully succeed, else empty. The
    // cipher never shows it itself; the caller decides whether the user sees it.
    QString lastMessage() const { return mLastMessage; }

    int rounds() const { return mRounds; }

    // Raw block functions on 16-byte buffers (which may be the same buffer).
    void encryptBlock(const unsigned char* in, unsigned char* out) const;
    void decryptBlock(const unsigned char* in, unsigned char* out) const;

private:
    struct Tables;
    static const Tables* sharedTables();
    void requireKey(const char* operation) const;
    void encryptBlocks(const unsigned char* in, unsigned char* out, qsizetype blocks) const;
    void decryptBlocks(const unsigned char* in, unsigned char* out, qsizetype blocks) const;

    const Tables* mT;
    int mRounds = 0;
    std::array<std::uint32_t, 60> mEncKey{};
    std::array<std::uint32_t, 60> mDecKey{};
    QString mLastMessage;
};
