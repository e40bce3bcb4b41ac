#pragma once
#include <QIcon>
#include <QLabel>
#include <QString>

class IconStore;

// The suite's small markup language (TextBlock, Hyperlink Click='Handler', StackPanel,
// Image Source='icon number') shown with Qt rich text.
namespace Markup {
// Rich text (HTML) for a markup text; hyperlinks link to "handler:<name>", images to the
// icon store's numbers ("icon:<number>").
QString ToRichText(const QString& markup);
// The icon number and plain text of a markup list item
// ("<StackPanel><Image Source='n'/><TextBlock>text</TextBlock></StackPanel>").
struct Item {
    int iconNumber = -1;
    QString text;
};
Item ParseItem(const QString& markup);
} // namespace Markup

// A label that shows markup; a click on a hyperlink reports the handler's name.
class MarkupLabel : public QLabel {
    Q_OBJECT
public:
    explicit MarkupLabel(QWidget* parent = nullptr, IconStore* icons = nullptr);
    void setMarkup(const QString& markup);
    QString markup() const { return mMarkup; }
    // Clicks a hyperlink by its handler's name, as a user would (false when there is none).
    bool clickHyperlink(const QString& handler);

signals:
    void HyperlinkClick(const QString& handler);

private:
    QString mMarkup;
    IconStore* mIcons;
};
