#include "search/frmWebpageTranslate.h"

#include "core/QvError.h"
#include "core/XmlDocument.h"
#include "platform/PlainMessage.h"
#include "search/modAssistantPanels.h"
#include "search/modSearchQuery.h"

#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

const frmWebpageTranslate::Language frmWebpageTranslate::Languages[] = {
    {"sq", "阿尔巴尼亚文"}, {"ar", "阿拉伯文"},   {"et", "爱沙尼亚语"},   {"bg", "保加利亚文"},
    {"pl", "波兰语"},       {"ko", "朝鲜语"},     {"da", "丹麦语"},       {"de", "德语"},
    {"ru", "俄语"},         {"fr", "法语"},       {"tl", "菲律宾文"},     {"fi", "芬兰语"},
    {"nl", "荷兰语"},       {"gl", "加利西亚语"}, {"ca", "加泰罗尼亚语"}, {"cs", "捷克语"},
    {"hr", "克罗地亚文"},   {"lv", "拉脱维亚语"}, {"lt", "立陶宛语"},     {"ro", "罗马尼亚语"},
    {"mt", "马耳他文"},     {"no", "挪威语"},     {"pt", "葡萄牙语"},     {"ja", "日语"},
    {"sv", "瑞典语"},       {"sr", "塞尔维亚文"}, {"sk", "斯洛伐克文"},   {"sl", "斯洛文尼亚文"},
    {"th", "泰文"},         {"tr", "土耳其文"},   {"uk", "乌克兰文"},     {"es", "西班牙语"},
    {"iw", "希伯来语"},     {"el", "希腊语"},     {"hu", "匈牙利语"},     {"it", "意大利语"},
    {"hi", "印度文"},       {"id", "印尼文"},     {"en", "英语"},         {"vi", "越南文"},
    {"zh-CN", "中文"},
};
const int frmWebpageTranslate::LanguageCount = int(std::size(frmWebpageTranslate::Languages));

namespace {

// English into Chinese unless the user chooses otherwise.
constexpr int kDefaultSource = 38;
constexpr int kDefaultTarget = 40;

QString& serviceAddress() {
    static QString address = QStringLiteral("https://translate.google.com");
    return address;
}

QString attributeText(const QString& text) {
    return text.toHtmlEscaped();
}

QComboBox* languageList(QWidget* parent, const char* name, const QString& accessibleName, int selected) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setAccessibleName(accessibleName);
    for (int i = 0; i < frmWebpageTranslate::LanguageCount; ++i)
        combo->addItem(QString::fromUtf8(frmWebpageTranslate::Languages[i].name),
                       QString::fromLatin1(frmWebpageTranslate::Languages[i].code));
    combo->setCurrentIndex(selected);
    return combo;
}

// The `par` of the translation descriptor with that caption.
XmlNode parameter(const XmlDocument& doc, const QString& caption) {
    const XmlNode par = doc.selectSingleNode(
        QStringLiteral("pagetranslate/post/par[@caption=%1]").arg(XPathLiteral(caption)));
    if (par.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the translation request has no parameter %1").arg(caption));
    return par;
}

} // namespace

QString frmWebpageTranslate::ServiceAddress() {
    return serviceAddress();
}

void frmWebpageTranslate::SetServiceAddress(const QString& address) {
    serviceAddress() = address;
}

frmWebpageTranslate::frmWebpageTranslate(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmWebpageTranslate"));
    setAccessibleName(QStringLiteral("网页翻译"));

    Label1 = new QLabel(QStringLiteral("网页翻译"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label3 = new QLabel(QStringLiteral("网页全文翻译可以让你毫无困难的浏览国外各种网页"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    cbo_SourceLang = languageList(this, "cbo_SourceLang", QStringLiteral("源语言"), kDefaultSource);
    Label2 = new QLabel(QStringLiteral("--->"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    cbo_TargetLang = languageList(this, "cbo_TargetLang", QStringLiteral("目标语言"), kDefaultTarget);
    cmd_StartPageTranslate = new QPushButton(QStringLiteral("翻译"), this);
    cmd_StartPageTranslate->setObjectName(QStringLiteral("cmd_StartPageTranslate"));
    cmd_StartPageTranslate->setAccessibleName(QStringLiteral("翻译"));
    cmd_StartPageTranslate->setAutoDefault(false);

    auto* row = new QHBoxLayout;
    row->addWidget(cbo_SourceLang, 1);
    row->addWidget(Label2);
    row->addWidget(cbo_TargetLang, 1);
    row->addWidget(cmd_StartPageTranslate);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(Label1);
    layout->addWidget(Label3);
    layout->addLayout(row);
    // A menu gives the focus to an item's panel only when the panel takes focus itself.
    setFocusPolicy(Qt::TabFocus);
    setFocusProxy(cbo_SourceLang);

    connect(cmd_StartPageTranslate, &QPushButton::clicked, this, &frmWebpageTranslate::StartPageTranslate);
}

QString frmWebpageTranslate::DescriptorText() const {
    const QString url = ServiceAddress() + QStringLiteral("/translate");
    return QStringLiteral(
               "<pagetranslate openmethod=\"2\" name=\"\" notshowadd=\"0\">"
               "<post header=\"Content-Type: application/x-www-form-urlencoded\" url=\"%1\" "
               "targetframename=\"\" flags=\"\">"
               "<par caption=\"URL\" name=\"u\" value=\"\" isshow=\"\" ispwd=\"\" prefix=\"\" suffix=\"\"/>"
               "<par caption=\"sl\" name=\"sl\" value=\"\" isshow=\"\" ispwd=\"\" prefix=\"\" suffix=\"\"/>"
               "<par caption=\"tl\" name=\"tl\" value=\"\" isshow=\"\" ispwd=\"\" prefix=\"\" suffix=\"\"/>"
               "<par caption=\"hl\" name=\"hl\" value=\"zh-CN\" isshow=\"\" ispwd=\"\" prefix=\"\" "
               "suffix=\"\"/>"
               "<par caption=\"ie\" name=\"IE\" value=\"UTF-8\" isshow=\"\" ispwd=\"\" prefix=\"\" "
               "suffix=\"\"/>"
               "</post></pagetranslate>")
        .arg(attributeText(url));
}

void frmWebpageTranslate::StartPageTranslate() {
    try {
        XmlDocument doc;
        if (!doc.loadXML(DescriptorText()))
            throw QvError(QvErrors::General, doc.parseError());
        const XmlNode descriptor = doc.selectSingleNode(QStringLiteral("pagetranslate"));
        // The post body is form-encoded: the address is one value, whatever it holds.
        const modSearchQuery::Charset charset = modSearchQuery::RequestCharset(descriptor);
        parameter(doc, QStringLiteral("URL"))
            .setAttribute(QStringLiteral("value"), modSearchQuery::EncodeValue(LocationUrl, charset));
        parameter(doc, QStringLiteral("sl"))
            .setAttribute(QStringLiteral("value"),
                          modSearchQuery::EncodeValue(cbo_SourceLang->currentData().toString(), charset));
        parameter(doc, QStringLiteral("tl"))
            .setAttribute(QStringLiteral("value"),
                          modSearchQuery::EncodeValue(cbo_TargetLang->currentData().toString(), charset));
        emit RequestStarting();
        modSearchQuery::OpenDescriptor(descriptor);
    } catch (const QvError& e) {
        ShowPlainMessage(QStringLiteral("网页翻译没有完成：%1").arg(e.description()),
                         QStringLiteral("网页翻译"));
    }
}

bool frmWebpageTranslate::focusNextPrevChild(bool next) {
    return modAssistantPanels::FocusNextInPanel(this, next) || QWidget::focusNextPrevChild(next);
}
