#include "controls/IconStore.h"
#include "controls/MarkupLabel.h"

#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

const QString kMailMarkup = QStringLiteral(
    "<TextBlock>Email: <Hyperlink Click='Mail_Click'>maker@example.org</Hyperlink></TextBlock>");
const QString kQQMarkup =
    QStringLiteral("<TextBlock>QQ    :<Hyperlink Click='QQ_Click'>12345</Hyperlink></TextBlock>");

QString listItem(const QString& icon, const QString& name) {
    return QStringLiteral("<StackPanel Orientation='Horizontal'><Image VerticalAlignment='Center' Source='") +
           icon + QStringLiteral("'/><TextBlock Padding = '2' VerticalAlignment='Center'>") + name +
           QStringLiteral("</TextBlock></StackPanel>");
}

// What a reader sees of the rich text.
QString visibleText(const QString& html) {
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText();
}

// Each hyperlink of the rich text: its target and the text it shows.
QList<std::pair<QString, QString>> links(const QString& html) {
    QTextDocument doc;
    doc.setHtml(html);
    QList<std::pair<QString, QString>> found;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor())
                found.append({fragment.charFormat().anchorHref(), fragment.text()});
        }
    }
    return found;
}

QIcon solidIcon(QColor colour) {
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

int countPixels(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++n;
    return n;
}

// ---- Markup to rich text --------------------------------------------------------------------

TEST(MarkupRichText, TextAndHyperlinkReadAsWritten) {
    const QString html = Markup::ToRichText(kMailMarkup);
    EXPECT_EQ(visibleText(html), QStringLiteral("Email: maker@example.org"));
    const auto found = links(html);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].first, QStringLiteral("handler:Mail_Click"));
    EXPECT_EQ(found[0].second, QStringLiteral("maker@example.org"));
}

TEST(MarkupRichText, RunsOfBlanksStayVisible) {
    const QString html = Markup::ToRichText(kQQMarkup);
    EXPECT_EQ(visibleText(html), QStringLiteral("QQ    :12345"));
    EXPECT_EQ(visibleText(Markup::ToRichText(QStringLiteral("<TextBlock> a  b </TextBlock>"))),
              QStringLiteral(" a  b "));
}

TEST(MarkupRichText, HorizontalPanelsStayOnOneLineVerticalOnesStack) {
    const QString row = Markup::ToRichText(
        QStringLiteral("<StackPanel Orientation='Horizontal'><TextBlock>a</TextBlock><TextBlock>b</TextBlock>"
                       "</StackPanel>"));
    EXPECT_EQ(visibleText(row), QStringLiteral("ab"));
    const QString column = Markup::ToRichText(QStringLiteral(
        "<StackPanel>\n  <TextBlock>a</TextBlock>\n  <TextBlock>b</TextBlock>\n</StackPanel>"));
    EXPECT_EQ(visibleText(column), QStringLiteral("a\nb"));
}

TEST(MarkupRichText, ImagesReferToIconNumbers) {
    const QString html = Markup::ToRichText(listItem(QStringLiteral("42"), QStringLiteral("Mail")));
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"icon:42\""))) << html.toStdString();
    EXPECT_EQ(visibleText(html), QString(QChar::ObjectReplacementCharacter) + QStringLiteral("Mail"));
}

TEST(MarkupRichText, TextThatLooksLikeHtmlIsShownLiterally) {
    EXPECT_EQ(visibleText(Markup::ToRichText(QStringLiteral("<TextBlock>&lt;b&gt;x&lt;/b&gt;</TextBlock>"))),
              QStringLiteral("<b>x</b>"));
    EXPECT_EQ(visibleText(Markup::ToRichText(QStringLiteral("<b>not markup"))),
              QStringLiteral("<b>not markup"));
    EXPECT_EQ(visibleText(Markup::ToRichText(QStringLiteral("plain & simple"))),
              QStringLiteral("plain & simple"));
}

TEST(MarkupRichText, ABareAmpersandInsideMarkupIsText) {
    EXPECT_EQ(visibleText(Markup::ToRichText(QStringLiteral("<TextBlock>A&B &amp; C</TextBlock>"))),
              QStringLiteral("A&B & C"));
}

// ---- List items -----------------------------------------------------------------------------

TEST(MarkupItem, IconNumberAndTextOfAListItem) {
    const Markup::Item item = Markup::ParseItem(listItem(QStringLiteral("1083"), QStringLiteral("网易 163")));
    EXPECT_EQ(item.iconNumber, 1083);
    EXPECT_EQ(item.text, QStringLiteral("网易 163"));
}

TEST(MarkupItem, NamesWithAmpersandsOrWithoutIcons) {
    const Markup::Item named = Markup::ParseItem(listItem(QStringLiteral("7"), QStringLiteral("A&B Mail")));
    EXPECT_EQ(named.iconNumber, 7);
    EXPECT_EQ(named.text, QStringLiteral("A&B Mail"));
    const Markup::Item noIcon = Markup::ParseItem(listItem(QString(), QStringLiteral("x")));
    EXPECT_EQ(noIcon.iconNumber, -1);
    EXPECT_EQ(noIcon.text, QStringLiteral("x"));
    const Markup::Item plain = Markup::ParseItem(QStringLiteral("just text"));
    EXPECT_EQ(plain.iconNumber, -1);
    EXPECT_EQ(plain.text, QStringLiteral("just text"));
}

// ---- The label ------------------------------------------------------------------------------

TEST(MarkupLabelTest, HyperlinkClicksNameTheirHandler) {
    MarkupLabel label;
    label.setMarkup(kMailMarkup + kQQMarkup);
    QSignalSpy spy(&label, &MarkupLabel::HyperlinkClick);
    EXPECT_TRUE(label.clickHyperlink(QStringLiteral("QQ_Click")));
    EXPECT_TRUE(label.clickHyperlink(QStringLiteral("Mail_Click")));
    EXPECT_FALSE(label.clickHyperlink(QStringLiteral("Other_Click")));
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("QQ_Click"));
    EXPECT_EQ(spy.at(1).at(0).toString(), QStringLiteral("Mail_Click"));
    EXPECT_FALSE(label.openExternalLinks());
}

TEST(MarkupLabelTest, KeyboardActivatesTheHyperlink) {
    MarkupLabel label;
    label.setMarkup(kMailMarkup);
    label.show();
    label.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&label));
    QSignalSpy spy(&label, &MarkupLabel::HyperlinkClick);
    label.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&label, Qt::Key_Tab); // onto the link
    QTest::keyClick(&label, Qt::Key_Return);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("Mail_Click"));
}

TEST(MarkupLabelTest, LinksToAddressesReachNoHandler) {
    MarkupLabel label;
    label.setMarkup(kMailMarkup);
    QSignalSpy spy(&label, &MarkupLabel::HyperlinkClick);
    emit label.linkActivated(QStringLiteral("https://example.org/"));
    EXPECT_EQ(spy.count(), 0);
}

TEST(MarkupLabelTest, ImagesComeFromTheIconStore) {
    IconStore icons;
    icons.SetIcon(42, solidIcon(QColor(255, 0, 0)));
    icons.SetIcon(43, solidIcon(QColor(0, 0, 255)));
    MarkupLabel label(nullptr, &icons);
    label.setMarkup(listItem(QStringLiteral("42"), QStringLiteral("Mail")));
    label.resize(label.sizeHint());
    const QImage image = label.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_GE(countPixels(image, QColor(255, 0, 0)), 16 * 16 - 8);
    EXPECT_EQ(countPixels(image, QColor(0, 0, 255)), 0);
    EXPECT_EQ(label.markup(), listItem(QStringLiteral("42"), QStringLiteral("Mail")));
}

TEST(MarkupLabelTest, AnUnknownIconLeavesNoBrokenImage) {
    IconStore icons;
    MarkupLabel label(nullptr, &icons);
    label.setMarkup(listItem(QStringLiteral("42"), QStringLiteral("Mail")));
    EXPECT_FALSE(label.text().contains(QStringLiteral("<img")));
    EXPECT_EQ(visibleText(label.text()), QStringLiteral("Mail"));
}

} // namespace
