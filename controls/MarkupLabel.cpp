#include "controls/MarkupLabel.h"

#include "controls/IconStore.h"

#include <QBuffer>
#include <QPixmap>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

const QString kHandlerScheme = QStringLiteral("handler:");
constexpr int kImageSize = 16;

// Markup made by string concatenation may carry a bare "&" (a mail service named "A&B"); such
// ampersands are taken literally instead of failing the whole text.
QString escapeBareAmpersands(const QString& markup) {
    static const QRegularExpression bare(QStringLiteral("&(?!#[0-9]+;|#x[0-9A-Fa-f]+;|[A-Za-z_][\\w.-]*;)"));
    QString text = markup;
    text.replace(bare, QStringLiteral("&amp;"));
    return text;
}

// HTML for a run of text. Blanks that HTML would collapse or drop (runs of blanks, blanks at
// either end of the run, as in "QQ    :") become non-breaking spaces so they stay visible.
QString textToHtml(const QString& text) {
    QString html;
    html.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(' ')) {
            const bool keep = i == 0 || i == text.size() - 1 || text.at(i - 1) == QLatin1Char(' ');
            html += keep ? QStringLiteral("&nbsp;") : QStringLiteral(" ");
        } else if (c == QLatin1Char('\n')) {
            html += QStringLiteral("<br/>");
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\t')) {
            html += QStringLiteral("&nbsp;");
        } else if (c == QLatin1Char('<')) {
            html += QStringLiteral("&lt;");
        } else if (c == QLatin1Char('>')) {
            html += QStringLiteral("&gt;");
        } else if (c == QLatin1Char('&')) {
            html += QStringLiteral("&amp;");
        } else if (c == QLatin1Char('"')) {
            html += QStringLiteral("&quot;");
        } else {
            html += c;
        }
    }
    return html;
}

QString attribute(const QXmlStreamReader& reader, const char* name) {
    for (const QXmlStreamAttribute& a : reader.attributes()) {
        if (a.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return a.value().toString().trimmed();
    }
    return QString();
}

// The style a TextBlock (or Run) asks for with its font and colour attributes.
QString textStyle(const QXmlStreamReader& reader) {
    QStringList css;
    const QString weight = attribute(reader, "FontWeight");
    if (!weight.isEmpty() && weight.compare(QLatin1String("Normal"), Qt::CaseInsensitive) != 0)
        css << QStringLiteral("font-weight:bold");
    if (attribute(reader, "FontStyle").compare(QLatin1String("Italic"), Qt::CaseInsensitive) == 0)
        css << QStringLiteral("font-style:italic");
    static const QRegularExpression colour(QStringLiteral("^(#[0-9A-Fa-f]{3,8}|[A-Za-z]+)$"));
    const QString foreground = attribute(reader, "Foreground");
    if (colour.match(foreground).hasMatch())
        css << QStringLiteral("color:") + foreground;
    bool ok = false;
    const double size = attribute(reader, "FontSize").toDouble(&ok);
    if (ok && size > 0 && size < 200)
        css << QStringLiteral("font-size:%1px").arg(size);
    return css.join(QLatin1Char(';'));
}

int iconNumber(const QString& source) {
    bool ok = false;
    const int number = source.toInt(&ok);
    return ok ? number : -1;
}

} // namespace

namespace Markup {

QString ToRichText(const QString& markup) {
    if (!markup.trimmed().startsWith(QLatin1Char('<')))
        return textToHtml(markup);

    QXmlStreamReader reader(QStringLiteral("<markup>") + escapeBareAmpersands(markup) +
                            QStringLiteral("</markup>"));
    // One entry per open element: what closes it, and whether its children are laid out in a
    // row (horizontal StackPanel, and everything inside a text) or one below the other.
    struct Open {
        QString closing;
        bool inRow;
        int children = 0;
    };
    QList<Open> open;
    QString html;

    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QString name = reader.name().toString();
            if (!open.isEmpty()) {
                Open& parent = open.last();
                if (!parent.inRow && parent.children > 0)
                    html += QStringLiteral("<br/>");
                ++parent.children;
            }
            Open element{QString(), true};
            if (name == QLatin1String("markup")) {
                element.inRow = false;
            } else if (name == QLatin1String("StackPanel")) {
                element.inRow = attribute(reader, "Orientation")
                                    .compare(QLatin1String("Horizontal"), Qt::CaseInsensitive) == 0;
            } else if (name == QLatin1String("TextBlock") || name == QLatin1String("Run") ||
                       name == QLatin1String("Span")) {
                const QString style = textStyle(reader);
                html += style.isEmpty() ? QStringLiteral("<span>")
                                        : QStringLiteral("<span style=\"%1\">").arg(style);
                element.closing = QStringLiteral("</span>");
            } else if (name == QLatin1String("Bold")) {
                html += QStringLiteral("<b>");
                element.closing = QStringLiteral("</b>");
            } else if (name == QLatin1String("Italic")) {
                html += QStringLiteral("<i>");
                element.closing = QStringLiteral("</i>");
            } else if (name == QLatin1String("Underline")) {
                html += QStringLiteral("<u>");
                element.closing = QStringLiteral("</u>");
            } else if (name == QLatin1String("LineBreak")) {
                html += QStringLiteral("<br/>");
            } else if (name == QLatin1String("Hyperlink")) {
                const QString handler = attribute(reader, "Click");
                if (!handler.isEmpty()) {
                    html += QStringLiteral("<a href=\"%1\">").arg((kHandlerScheme + handler).toHtmlEscaped());
                    element.closing = QStringLiteral("</a>");
                }
            } else if (name == QLatin1String("Image")) {
                const int number = iconNumber(attribute(reader, "Source"));
                if (number >= 0)
                    html += QStringLiteral("<img src=\"icon:%1\" width=\"%2\" height=\"%2\" "
                                           "style=\"vertical-align:middle\"/>")
                                .arg(number)
                                .arg(kImageSize);
            }
            open.append(element);
        } else if (token == QXmlStreamReader::EndElement) {
            if (!open.isEmpty())
                html += open.takeLast().closing;
        } else if (token == QXmlStreamReader::Characters) {
            // Indentation between elements is not text; text inside a text element is.
            if (reader.isWhitespace() && (open.isEmpty() || open.last().closing.isEmpty()))
                continue;
            html += textToHtml(reader.text().toString());
        }
    }
    if (reader.hasError())
        return textToHtml(markup);
    return html;
}

Item ParseItem(const QString& markup) {
    Item item;
    if (!markup.trimmed().startsWith(QLatin1Char('<'))) {
        item.text = markup;
        return item;
    }
    QXmlStreamReader reader(QStringLiteral("<markup>") + escapeBareAmpersands(markup) +
                            QStringLiteral("</markup>"));
    int textDepth = 0;
    bool sawTextBlock = false;
    QString allText;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (reader.name() == QLatin1String("TextBlock")) {
                ++textDepth;
                sawTextBlock = true;
            } else if (reader.name() == QLatin1String("Image") && item.iconNumber < 0) {
                item.iconNumber = iconNumber(attribute(reader, "Source"));
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (reader.name() == QLatin1String("TextBlock"))
                --textDepth;
        } else if (token == QXmlStreamReader::Characters) {
            if (textDepth > 0)
                item.text += reader.text();
            else if (!reader.isWhitespace())
                allText += reader.text();
        }
    }
    if (reader.hasError())
        return Item{-1, markup};
    if (!sawTextBlock)
        item.text = allText;
    return item;
}

} // namespace Markup

MarkupLabel::MarkupLabel(QWidget* parent, IconStore* icons) : QLabel(parent), mIcons(icons) {
    setTextFormat(Qt::RichText);
    // Links name handlers of the window, never addresses to open.
    setOpenExternalLinks(false);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(this, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link.startsWith(kHandlerScheme))
            emit HyperlinkClick(link.mid(kHandlerScheme.size()));
    });
}

void MarkupLabel::setMarkup(const QString& markup) {
    mMarkup = markup;
    QString html = Markup::ToRichText(markup);
    // The label's document cannot reach the icon store, so each image travels inside the text.
    static const QRegularExpression image(QStringLiteral("<img src=\"icon:(\\d+)\"[^>]*>"));
    QString resolved;
    qsizetype last = 0;
    for (QRegularExpressionMatchIterator it = image.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        resolved += QStringView(html).mid(last, m.capturedStart() - last);
        last = m.capturedEnd();
        const int number = m.captured(1).toInt();
        if (!mIcons || !mIcons->contains(number))
            continue;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        mIcons->icon(number).pixmap(kImageSize, kImageSize).save(&buffer, "PNG");
        resolved +=
            QString(m.captured(0))
                .replace(QStringLiteral("icon:%1").arg(number),
                         QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));
    }
    resolved += QStringView(html).mid(last);
    setText(resolved);
}

bool MarkupLabel::clickHyperlink(const QString& handler) {
    const QString href = QStringLiteral("href=\"%1\"").arg((kHandlerScheme + handler).toHtmlEscaped());
    if (!text().contains(href))
        return false;
    emit linkActivated(kHandlerScheme + handler);
    return true;
}
