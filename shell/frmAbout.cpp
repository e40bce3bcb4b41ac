#include "shell/frmAbout.h"

#include "controls/IconStore.h"
#include "controls/MarkupLabel.h"
#include "core/QvError.h"
#include "core/cRegistry.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modInitial.h"
#include "core/modTools.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kAboutIcon = 105;
constexpr int kLogoSize = 64;

QLineEdit* readOnlyField(const QString& name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFrame(false);
    field->setFocusPolicy(Qt::ClickFocus);
    return field;
}

QIcon programIcon() {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull() && modInitial::gMainWindow)
        icon = modInitial::gMainWindow->windowIcon();
    if (icon.isNull() && modInitial::gIconStore)
        icon = modInitial::gIconStore->icon(kAboutIcon);
    return icon;
}

QPointer<frmAbout>& openBox() {
    static QPointer<frmAbout> box;
    return box;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 Quorvel Quorvel"));
    setModal(false);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("Image1"));
    const QIcon icon = programIcon();
    if (!icon.isNull()) {
        logo->setPixmap(icon.pixmap(kLogoSize, kLogoSize));
        setWindowIcon(icon);
    }
    logo->setFixedSize(kLogoSize, kLogoSize);

    auto* title = new QLabel(QStringLiteral("Quorvel"), this);
    title->setObjectName(QStringLiteral("lbl_Title"));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    if (titleFont.pointSizeF() > 0)
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    title->setFont(titleFont);

    txt_MainVer = readOnlyField(QStringLiteral("txt_MainVer"), this);
    txt_CommonVer = readOnlyField(QStringLiteral("txt_CommonVer"), this);
    txt_IconVer = readOnlyField(QStringLiteral("txt_IconVer"), this);
    txt_IEVersion = readOnlyField(QStringLiteral("txt_IEVersion"), this);

    auto* fields = new QFormLayout;
    fields->setLabelAlignment(Qt::AlignRight);
    fields->addRow(QStringLiteral("程序版本:"), txt_MainVer);
    fields->addRow(QStringLiteral("公共数据版本:"), txt_CommonVer);
    fields->addRow(QStringLiteral("图标库版本:"), txt_IconVer);
    fields->addRow(QStringLiteral("浏览器内核版本:"), txt_IEVersion);

    Label10 = new MarkupLabel(this, modInitial::gIconStore);
    Label10->setObjectName(QStringLiteral("Label10"));
    Label8 = new MarkupLabel(this, modInitial::gIconStore);
    Label8->setObjectName(QStringLiteral("Label8"));

    auto* right = new QVBoxLayout;
    right->addWidget(title);
    right->addSpacing(6);
    right->addLayout(fields);
    right->addSpacing(6);
    right->addWidget(Label10);
    right->addWidget(Label8);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(logo, 0, Qt::AlignTop);
    body->addLayout(right, 1);

    btn_Close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    btn_Close->setObjectName(QStringLiteral("btn_Close"));
    btn_Close->setDefault(true);
    connect(btn_Close, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btn_Close);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(18, 18, 18, 12);
    outer->addLayout(body);
    outer->addSpacing(8);
    outer->addLayout(buttons);

    connect(Label10, &MarkupLabel::HyperlinkClick, this, &frmAbout::HyperlinkClick);
    connect(Label8, &MarkupLabel::HyperlinkClick, this, &frmAbout::HyperlinkClick);
    setMinimumWidth(400);
}

void frmAbout::Form_Load() {
    txt_MainVer->setText(QStringLiteral("%1.%2.%3")
                             .arg(modInitial::VersionMajor())
                             .arg(modInitial::VersionMinor())
                             .arg(modInitial::VersionRevision()));
    if (!modInitial::gData)
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the data stores are not loaded"));
    clsCommonData* common = modInitial::gData->CommonData();
    txt_CommonVer->setText(QString::number(common->CommonVer()));
    txt_IconVer->setText(QString::number(common->IconVer()));

    cRegistry registry;
    registry.ClassKey = HKEY_LOCAL_MACHINE;
    registry.SectionKey = QStringLiteral("SOFTWARE\\Microsoft\\Internet Explorer");
    registry.ValueKey = QStringLiteral("Version");
    registry.ValueType = REG_SZ;
    registry.Default = QString();
    txt_IEVersion->setText(registry.Value().toString());

    Label10->setMarkup(QStringLiteral("<TextBlock>Email: <Hyperlink Click='Mail_Click'>") +
                       QLatin1String(modTools::MakerMailAddress) +
                       QStringLiteral("</Hyperlink></TextBlock>"));
    Label8->setMarkup(QStringLiteral("<TextBlock>QQ    :<Hyperlink Click='QQ_Click'>") +
                      QLatin1String(modTools::MakerQQNumber) + QStringLiteral("</Hyperlink></TextBlock>"));
}

frmAbout* frmAbout::ShowModeless(QWidget* parent) {
    QPointer<frmAbout>& box = openBox();
    if (!box) {
        auto* created = new frmAbout(parent ? parent : modInitial::gMainWindow.data());
        created->setAttribute(Qt::WA_DeleteOnClose);
        try {
            created->Form_Load();
        } catch (...) {
            delete created;
            throw;
        }
        box = created;
    }
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}

void frmAbout::HyperlinkClick(const QString& handler) {
    if (handler == QLatin1String("Mail_Click"))
        Mail_Click();
    else if (handler == QLatin1String("QQ_Click"))
        QQ_Click();
}

void frmAbout::Mail_Click() {
    modTools::MailToMaker();
}

void frmAbout::QQ_Click() {
    modTools::OpenQQInquiry();
}
