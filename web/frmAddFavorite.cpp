#include "web/frmAddFavorite.h"

#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/modFolders.h"
#include "core/modInitial.h"
#include "platform/PlainMessage.h"
#include "web/modFavorites.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

frmAddFavorite::frmAddFavorite(const QString& favoritesRoot, const QString& title, const QString& url,
                               QWidget* parent)
    : QDialog(parent), mRoot(favoritesRoot), mUrl(url) {
    setWindowTitle(QStringLiteral("添加到收藏夹"));
    setObjectName(QStringLiteral("frmAddFavorite"));

    mName = new QLineEdit(modFavorites::ShortcutNameFromTitle(title.isEmpty() ? url : title), this);
    mName->setAccessibleName(QStringLiteral("名称"));
    mName->selectAll();

    mFolder = new QComboBox(this);
    mFolder->setAccessibleName(QStringLiteral("创建位置"));
    for (const QString& relative : modFavorites::SubfolderTree(favoritesRoot)) {
        const QString shown =
            relative.isEmpty() ? QStringLiteral("收藏夹") : QStringLiteral("收藏夹/") + relative;
        mFolder->addItem(QIcon(), shown, relative);
    }

    auto* address = new QLineEdit(url, this);
    address->setReadOnly(true);
    address->setAccessibleName(QStringLiteral("网址"));

    mError = new QLabel(this);
    mError->setStyleSheet(QStringLiteral("color: #b00000"));
    mError->setWordWrap(true);
    mError->hide();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("名称(&N):"), mName);
    form->addRow(QStringLiteral("创建位置(&I):"), mFolder);
    form->addRow(QStringLiteral("网址:"), address);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("添加"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &frmAddFavorite::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &frmAddFavorite::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(mError);
    layout->addWidget(buttons);
    setMinimumWidth(380);
    mName->setFocus();
}

void frmAddFavorite::accept() {
    QString why;
    if (!modFavorites::IsValidShortcutName(mName->text(), &why)) {
        mError->setText(why);
        mError->show();
        mName->setFocus();
        return;
    }
    const QString folder = QDir(mRoot).filePath(mFolder->currentData().toString());
    QString written;
    modFavorites::WriteResult result =
        modFavorites::WriteShortcut(mRoot, folder, mName->text(), mUrl, false, &written);
    if (result == modFavorites::WriteResult::Exists) {
        TaskDialog question;
        question.WindowTitle = QStringLiteral("确认");
        question.MainInstructionText = QStringLiteral("收藏夹中已有“%1”").arg(mName->text().trimmed());
        question.ContentText = QStringLiteral("要用当前网页替换它吗？");
        question.AddButton(QStringLiteral("替换(&Y)"), Answer::Yes);
        question.AddButton(QStringLiteral("取消(&N)"), Answer::No);
        question.DefaultButton = Answer::No;
        if (question.ShowDialog(this) != Answer::Yes) {
            mName->setFocus();
            mName->selectAll();
            return;
        }
        result = modFavorites::WriteShortcut(mRoot, folder, mName->text(), mUrl, true, &written);
    }
    switch (result) {
    case modFavorites::WriteResult::Written:
        mWritten = written;
        QDialog::accept();
        return;
    case modFavorites::WriteResult::OutsideFolder:
        mError->setText(QStringLiteral("该位置不在收藏夹中。"));
        break;
    case modFavorites::WriteResult::InvalidName:
        mError->setText(QStringLiteral("名称无效。"));
        break;
    default:
        mError->setText(QStringLiteral("无法写入收藏文件。"));
        break;
    }
    mError->show();
}

bool frmAddFavorite::CanBeFavorite(const QString& url) {
    const QUrl address(url.trimmed());
    if (url.trimmed().isEmpty() || !address.isValid() || address.scheme().isEmpty())
        return false;
    const QString scheme = address.scheme().toLower();
    if (scheme == QLatin1String("about") || scheme == QLatin1String("data") ||
        scheme == QLatin1String("javascript"))
        return false;
    // The program's own pages are written into its data folder's address; they are no sites.
    const QUrl inner = QUrl::fromLocalFile(modFolders::LocalPageFolder() + QLatin1Char('/'));
    return !(address.isLocalFile() && address.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment) == inner);
}

QString frmAddFavorite::AddFavorite(QWidget* parent, const QString& title, const QString& url) {
    if (!CanBeFavorite(url)) {
        ShowPlainMessage(QStringLiteral("这个网页不能添加到收藏夹。"));
        return QString();
    }
    QString root;
    if (!modFavorites::FavoritesFolder(root))
        return QString();
    frmAddFavorite dialog(root, title, url, parent);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.WrittenPath();
}
