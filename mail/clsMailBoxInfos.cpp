#include "mail/clsMailBoxInfos.h"

#include "controls/IconStore.h"
#include "controls/MarkupLabel.h"
#include "core/QvError.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"

#include <QComboBox>

namespace {

// Text for markup: element text and single-quoted attribute values alike.
QString markupEscaped(const QString& text) {
    QString out = text.toHtmlEscaped();
    out.replace(QLatin1Char('\''), QLatin1String("&apos;"));
    return out;
}

} // namespace

XmlNodeList clsMailBoxInfos::services() const {
    return mNode.isNull() ? XmlNodeList() : mNode.selectNodes(QStringLiteral("mailboxinfo"));
}

int clsMailBoxInfos::Count() const {
    return services().length();
}

clsMailboxinfo clsMailBoxInfos::Item(int vntIndexKey) const {
    const XmlNodeList list = services();
    if (vntIndexKey < 1 || vntIndexKey > list.length())
        throw QvError(QvErrors::InvalidArgument,
                      QStringLiteral("there is no mail service at position %1 (the list has %2)")
                          .arg(vntIndexKey)
                          .arg(list.length()));
    clsMailboxinfo info;
    info.Parent = const_cast<clsMailBoxInfos*>(this);
    info.Load(list.item(vntIndexKey - 1));
    return info;
}

QString clsMailBoxInfos::MailboxList() const {
    QStringList pairs;
    for (const XmlNode& node : services()) {
        clsMailboxinfo info;
        info.Load(node);
        pairs << info.MailBoxName() + QLatin1Char('|') + info.MailBoxID();
    }
    return pairs.join(QLatin1Char(','));
}

XmlNode clsMailBoxInfos::getCMailboxInfoNodeByID(int CMailboxID) const {
    if (mNode.isNull())
        return XmlNode();
    return mNode.selectSingleNode(QStringLiteral("mailboxinfo[@id=") +
                                  XPathLiteral(QString::number(CMailboxID)) + QLatin1Char(']'));
}

QString clsMailBoxInfos::ItemMarkup(const clsMailboxinfo& info) {
    // Names and icon numbers are data: escaped, a name such as "A<B" shows as written instead of
    // breaking the item.
    return QStringLiteral("<StackPanel Orientation='Horizontal'>") +
           QStringLiteral("<Image VerticalAlignment='Center' Source='") + markupEscaped(info.IconNo()) +
           QStringLiteral("'/>") + QStringLiteral("<TextBlock Padding = '2' VerticalAlignment='Center'>") +
           markupEscaped(info.MailBoxName()) + QStringLiteral("</TextBlock></StackPanel>");
}

void clsMailBoxInfos::MailboxInfoBindToSuiteComboboxControlByMarkup(QComboBox* box) const {
    if (!box)
        return;
    box->clear();
    const int count = Count();
    for (int position = 1; position <= count; ++position) {
        const clsMailboxinfo info = Item(position);
        bool isNumber = false;
        const int id = info.MailBoxID().trimmed().toInt(&isNumber);
        if (!isNumber) {
            if (modInitial::gIsDevelopMode)
                modDevelopeFunction::WriteLog(
                    QStringLiteral("mail service \"%1\" has no numeric id (\"%2\"); not listed")
                        .arg(info.MailBoxName(), info.MailBoxID()));
            continue;
        }
        const QString markup = ItemMarkup(info);
        const Markup::Item item = Markup::ParseItem(markup);
        const QIcon icon = item.iconNumber >= 0 && modInitial::gIconStore
                               ? modInitial::gIconStore->icon(item.iconNumber)
                               : QIcon();
        box->addItem(icon, item.text, id);
        box->setItemData(box->count() - 1, markup, MarkupRole);
    }
}
