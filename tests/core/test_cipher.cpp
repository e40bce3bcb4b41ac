#include "core/QvError.h"
#include "core/cRijndael.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);
}

const QByteArray kKey256 = hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const QByteArray kBlock = hex("00112233445566778899aabbccddeeff");

QByteArray randomBytes(qsizetype n, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray bytes(n, Qt::Uninitialized);
    for (char& c : bytes)
        c = static_cast<char>(gen.bounded(256));
    return bytes;
}

cRijndael keyed(int bits = 128) {
    cRijndael c;
    c.SetCipherKey(kKey256, bits);
    return c;
}

} // namespace

// --- Known answers of the AES standard ---

struct KnownAnswer {
    int bits;
    int rounds;
    const char* cipher;
};

class CipherKnownAnswer : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(CipherKnownAnswer, EncryptsAndDecryptsTheStandardVector) {
    const KnownAnswer& ka = GetParam();
    cRijndael c;
    ASSERT_EQ(c.SetCipherKey(kKey256.left(ka.bits / 8), ka.bits), 0);
    EXPECT_EQ(c.rounds(), ka.rounds);

    QByteArray out(16, '\0');
    ASSERT_EQ(c.BlockEncrypt(kBlock, out, 0, 0), 0);
    EXPECT_EQ(out.toHex(), QByteArray(ka.cipher));

    QByteArray back(16, '\0');
    ASSERT_EQ(c.BlockDecrypt(back, out, 0, 0), 0);
    EXPECT_EQ(back, kBlock);
}

INSTANTIATE_TEST_SUITE_P(Fips197, CipherKnownAnswer,
                         ::testing::Values(KnownAnswer{128, 10, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                                           KnownAnswer{192, 12, "dda97ca4864cdfe06eaf70a0ec0d7191"},
                                           KnownAnswer{256, 14, "8ea2b7ca516745bfeafc49904b496089"}),
                         [](const auto& info) { return "Key" + std::to_string(info.param.bits); });

TEST(CipherStandardExample, EncryptsInPlace) {
    cRijndael c;
    c.SetCipherKey(hex("2b7e151628aed2a6abf7158809cf4f3c"), 128);
    QByteArray block = hex("3243f6a8885a308d313198a2e0370734");
    c.BlockEncrypt(block, block, 0, 0); // in place: the system passes one array for both
    EXPECT_EQ(block.toHex(), QByteArray("3925841d02dc09fbdc118597196a0b32"));
}

TEST(CipherKey, OnlyTheFirstKeyBitsOfThePassCount) {
    cRijndael longPass;
    longPass.SetCipherKey(kKey256, 128);
    cRijndael exactPass;
    exactPass.SetCipherKey(kKey256.left(16), 128);
    QByteArray a(16, '\0'), b(16, '\0');
    longPass.BlockEncrypt(kBlock, a, 0, 0);
    exactPass.BlockEncrypt(kBlock, b, 0, 0);
    EXPECT_EQ(a, b);
}

TEST(CipherKey, RekeyingReplacesTheWholeSchedule) {
    cRijndael c;
    c.SetCipherKey(kKey256, 256);
    c.SetCipherKey(kKey256, 128);
    QByteArray out(16, '\0');
    c.BlockEncrypt(kBlock, out, 0, 0);
    EXPECT_EQ(out.toHex(), QByteArray("69c4e0d86a7b0430d8cdb78070b4c55a"));
    EXPECT_EQ(c.rounds(), 10);
}

// --- Failures of the key and block functions ---

TEST(CipherErrors, IllegalKeyBitsRaiseErrorOne) {
    for (int bits : {0, 64, 127, 129, 160, 512, -128}) {
        cRijndael c;
        try {
            c.SetCipherKey(kKey256, bits);
            ADD_FAILURE() << "no error for " << bits;
        } catch (const QvError& e) {
            EXPECT_EQ(e.number(), 1);
            EXPECT_EQ(e.description(), "cRijndael.SetCipherKey - Illegal KeyBits Value");
        }
    }
}

TEST(CipherErrors, KeyShorterThanKeyBitsIsRefused) {
    cRijndael c;
    EXPECT_THROW(c.SetCipherKey(kKey256.left(15), 128), QvError);
    EXPECT_THROW(c.SetCipherKey(kKey256.left(31), 256), QvError);
}

TEST(CipherErrors, UnkeyedCipherRefusesToWork) {
    cRijndael c;
    QByteArray out(16, '\0');
    EXPECT_THROW(c.BlockEncrypt(kBlock, out, 0, 0), QvError);
    EXPECT_THROW(c.ArrayEncrypt(kBlock, out, 0), QvError);
    EXPECT_THROW(c.ArrayDecrypt(out, kBlock, 0), QvError);
}

TEST(CipherErrors, BlockOutsideTheArrayIsRefused) {
    cRijndael c = keyed();
    QByteArray data(32, 'x');
    EXPECT_THROW(c.BlockEncrypt(data, data, 17, 17), QvError);
    EXPECT_THROW(c.BlockEncrypt(data, data, -1, 0), QvError);
    QByteArray small(8, '\0');
    EXPECT_THROW(c.BlockEncrypt(data, small, 0, 0), QvError);
    EXPECT_THROW(c.BlockDecrypt(small, data, 0, 0), QvError);
    EXPECT_EQ(data, QByteArray(32, 'x'));
}

// --- Block functions on a position inside larger arrays ---

TEST(CipherBlocks, WorkOnTheGivenOffsetOnly) {
    cRijndael c = keyed();
    QByteArray data = randomBytes(48, 1);
    const QByteArray original = data;
    c.BlockEncrypt(data, data, 16, 16);
    EXPECT_EQ(data.left(16), original.left(16));
    EXPECT_EQ(data.mid(32), original.mid(32));
    EXPECT_NE(data.mid(16, 16), original.mid(16, 16));

    QByteArray single(16, '\0');
    c.BlockEncrypt(original.mid(16, 16), single, 0, 0);
    EXPECT_EQ(data.mid(16, 16), single);

    c.BlockDecrypt(data, data, 16, 16);
    EXPECT_EQ(data, original);
}

TEST(CipherBlocks, SharedArrayCopiesAreNotChanged) {
    cRijndael c = keyed();
    QByteArray data = randomBytes(16, 2);
    const QByteArray copy = data; // implicitly shared with data
    c.BlockEncrypt(data, data, 0, 0);
    EXPECT_NE(data, copy);
    EXPECT_EQ(copy, randomBytes(16, 2));
}

// --- Whole arrays, code-book mode, padding ---

TEST(CipherArrays, PadsWithZerosToWholeBlocks) {
    cRijndael c = keyed();
    for (int n : {0, 1, 2, 15, 16, 17, 31, 32, 33}) {
        const QByteArray plain = randomBytes(n, n + 10);
        QByteArray cipher;
        ASSERT_EQ(c.ArrayEncrypt(plain, cipher, 0), 0);
        EXPECT_EQ(cipher.size(), (n + 15) / 16 * 16) << n;

        QByteArray back;
        ASSERT_EQ(c.ArrayDecrypt(back, cipher, 0), 0);
        EXPECT_EQ(back, plain + QByteArray(cipher.size() - n, '\0')) << n;
    }
}

TEST(CipherArrays, EqualBlocksGiveEqualCipherBlocks) {
    cRijndael c = keyed();
    const QByteArray block = randomBytes(16, 3);
    QByteArray cipher;
    c.ArrayEncrypt(block + randomBytes(16, 4) + block, cipher, 0);
    EXPECT_EQ(cipher.left(16), cipher.mid(32, 16));
    EXPECT_NE(cipher.left(16), cipher.mid(16, 16));
}

TEST(CipherArrays, LargeArraysMatchBlockByBlockEncryption) {
    // Big enough to be split over several threads, with a partial block at the end.
    cRijndael c = keyed(192);
    const QByteArray plain = randomBytes(3 * 1024 * 1024 + 5, 5);
    QByteArray cipher;
    c.ArrayEncrypt(plain, cipher, 0);
    ASSERT_EQ(cipher.size(), plain.size() + 11);

    QByteArray padded = plain + QByteArray(11, '\0');
    for (qsizetype p = 0; p < padded.size(); p += 16)
        c.BlockEncrypt(padded, padded, p, p);
    EXPECT_TRUE(cipher == padded);

    QByteArray back;
    c.ArrayDecrypt(back, cipher, 0);
    EXPECT_TRUE(back.left(plain.size()) == plain);
    EXPECT_EQ(back.mid(plain.size()), QByteArray(11, '\0'));
}

TEST(CipherArrays, SameArrayAsInputAndOutput) {
    cRijndael c = keyed();
    const QByteArray plain = randomBytes(40, 6);
    QByteArray data = plain;
    c.ArrayEncrypt(data, data, 0);
    EXPECT_EQ(data.size(), 48);
    c.ArrayDecrypt(data, data, 0);
    EXPECT_EQ(data.left(40), plain);
}

TEST(CipherArrays, CipherSizeNotWholeBlocksLeavesOutputUntouched) {
    cRijndael c = keyed();
    for (int n : {1, 15, 17, 40}) {
        QByteArray out("previous contents");
        EXPECT_EQ(c.ArrayDecrypt(out, randomBytes(n, 7), 0), -1) << n;
        EXPECT_EQ(out, QByteArray("previous contents"));
        EXPECT_EQ(c.lastMessage(), "ciphertext size not a multiple of block size");
    }
    QByteArray out;
    EXPECT_EQ(c.ArrayDecrypt(out, randomBytes(32, 7), 0), 0);
    EXPECT_TRUE(c.lastMessage().isEmpty()) << "a success clears the message";
}

TEST(CipherArrays, EmptyArrayGivesEmptyArray) {
    cRijndael c = keyed();
    QByteArray out("x");
    EXPECT_EQ(c.ArrayEncrypt(QByteArray(), out, 0), 0);
    EXPECT_TRUE(out.isEmpty());
    out = "x";
    EXPECT_EQ(c.ArrayDecrypt(out, QByteArray(), 0), 0);
    EXPECT_TRUE(out.isEmpty());
}

// --- The length field of appendsize ---

TEST(CipherLengthField, AlwaysReservesTheLastByte) {
    cRijndael c = keyed();
    for (int n : {0, 1, 14, 15, 16, 17, 31, 32, 47}) {
        const QByteArray plain = randomBytes(n, n + 20);
        QByteArray cipher;
        ASSERT_EQ(c.ArrayEncrypt(plain, cipher, 1), 0);
        EXPECT_EQ(cipher.size(), 16 * (n / 16 + 1)) << n;

        // Raw decryption shows the layout: plaintext, zeros, length field.
        QByteArray raw;
        c.ArrayDecrypt(raw, cipher, 0);
        EXPECT_EQ(raw.left(n), plain);
        EXPECT_EQ(static_cast<unsigned char>(raw.back()), n % 16) << n;
        EXPECT_EQ(raw.mid(n, raw.size() - n - 1), QByteArray(raw.size() - n - 1, '\0')) << n;
    }
}

TEST(CipherLengthField, RestoresTheExactLength) {
    cRijndael c = keyed(256);
    for (int n : {0, 1, 7, 15, 16, 17, 100, 128}) {
        const QByteArray plain = randomBytes(n, n + 30);
        QByteArray cipher;
        c.ArrayEncrypt(plain, cipher, 16);
        QByteArray back("garbage");
        ASSERT_EQ(c.ArrayDecrypt(back, cipher, 16), 0) << n;
        EXPECT_EQ(back, plain) << n;
        EXPECT_TRUE(c.lastMessage().isEmpty());
    }
}

TEST(CipherLengthField, LengthAboveFifteenIsReportedAndKeepsFullLength) {
    cRijndael c = keyed();
    QByteArray plain = randomBytes(32, 8);
    plain[31] = char(16);
    QByteArray cipher;
    c.ArrayEncrypt(plain, cipher, 0);

    QByteArray back;
    EXPECT_EQ(c.ArrayDecrypt(back, cipher, 1), 1);
    EXPECT_EQ(c.lastMessage(), "warning - incorrect length field");
    EXPECT_EQ(back, plain);
}

TEST(CipherLengthField, EmptyCipherHasNoLengthField) {
    cRijndael c = keyed();
    QByteArray back;
    EXPECT_EQ(c.ArrayDecrypt(back, QByteArray(), 1), 1);
    EXPECT_EQ(c.lastMessage(), "warning - incorrect length field");
    EXPECT_TRUE(back.isEmpty());
}
