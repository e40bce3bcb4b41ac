#include "platform/AnsiCodec.h"

#include <gtest/gtest.h>

namespace {

TEST(AnsiCodec, ChineseTextRoundTripsThroughGbk) {
    const QString text = QStringLiteral("中文 abc 123 €，丂齄");
    const QByteArray gbk = AnsiCodec::fromUnicode(text);
    // 中 is D6 D0, 文 is CE C4 in GBK; ASCII stays single bytes.
    EXPECT_TRUE(gbk.startsWith("\xD6\xD0\xCE\xC4 abc 123 "));
    EXPECT_EQ(AnsiCodec::toUnicode(gbk), text);
}

TEST(AnsiCodec, EdgesOfTheDoubleByteRange) {
    EXPECT_EQ(AnsiCodec::fromUnicode(QStringLiteral("丂")), QByteArray("\x81\x40"));
    EXPECT_EQ(AnsiCodec::fromUnicode(QStringLiteral("齄")), QByteArray("\xF7\xFE"));
    EXPECT_EQ(AnsiCodec::fromUnicode(QStringLiteral("€")), QByteArray("\x80"));
}

TEST(AnsiCodec, CharactersOutsideGbkBecomeQuestionMarks) {
    // Thai and Hangul are not in GBK; the text around them survives.
    EXPECT_EQ(AnsiCodec::fromUnicode(QStringLiteral("a\u0E01b\uD55Cc")), QByteArray("a?b?c"));
    // A character outside the BMP takes two UTF-16 units, and gives one "?" for each.
    EXPECT_EQ(AnsiCodec::fromUnicode(QStringLiteral("x\U0001F600y")), QByteArray("x??y"));
    // An unpaired surrogate is no character at all.
    QString lone = QStringLiteral("ab");
    lone.insert(1, QChar(0xD800));
    EXPECT_EQ(AnsiCodec::fromUnicode(lone), QByteArray("a?b"));
}

TEST(AnsiCodec, InvalidBytesDecodeAsQuestionMarks) {
    EXPECT_EQ(AnsiCodec::toUnicode(QByteArray("a\xFF"
                                              "b")),
              QStringLiteral("a?b"));
    // A lead byte cut off at the end.
    EXPECT_EQ(AnsiCodec::toUnicode(QByteArray("\xD6\xD0\xCE")), QStringLiteral("中?"));
    EXPECT_EQ(AnsiCodec::toUnicode(QByteArray()), QString());
}

TEST(AnsiCodec, LongTextConvertsCompletely) {
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("汉字x");
    const QByteArray gbk = AnsiCodec::fromUnicode(text);
    EXPECT_EQ(gbk.size(), 5000 * 5);
    EXPECT_EQ(AnsiCodec::toUnicode(gbk), text);
}

TEST(AnsiCodec, DoubleByteCharacters) {
    EXPECT_TRUE(AnsiCodec::isDoubleByte(QChar(0x4E2D))); // 中
    EXPECT_TRUE(AnsiCodec::isDoubleByte(QChar(0xFF0C))); // full-width comma
    EXPECT_FALSE(AnsiCodec::isDoubleByte(QChar('a')));
    EXPECT_FALSE(AnsiCodec::isDoubleByte(QChar(0x20AC))); // € is one byte in code page 936
    EXPECT_FALSE(AnsiCodec::isDoubleByte(QChar(0x0E01))); // not in GBK at all
}

} // namespace
