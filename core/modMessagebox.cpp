#include "core/modMessagebox.h"

#include "core/QvIds.h"
#include "core/frmMsgbox.h"

namespace {

// Every question lives on its own host window, released as soon as it has been answered.
qint32 ask(const QString& mainInstruction, const QString& content, const QString& note,
           const QList<TaskDialog::Button>& buttons, int defaultButton) {
    frmMsgbox host;
    return host.Ask(mainInstruction, content, note, buttons, defaultButton);
}

QList<TaskDialog::Button> okCancel() {
    return {{Answer::Yes, QStringLiteral("确定(&Y)")}, {Answer::Cancel, QStringLiteral("取消(&N)")}};
}

} // namespace

namespace modMessagebox {

qint32 ConfirmExit() {
    return ask(QStringLiteral("真的要退出Quorvel？"),
               QStringLiteral("如果您现在退出, 所有打开的网页将被关闭！"), QString(),
               {{Answer::Yes, QStringLiteral("是(&Y)")}, {Answer::No, QStringLiteral("否(&N)")}}, Answer::No);
}

qint32 ConfirmDeleteNote() {
    return ask(QStringLiteral("真的要删除该便签？"),
               QStringLiteral("删除后无法恢复,请确认你的资料已经保存！"), QString(),
               {{Answer::Yes, QStringLiteral("删除(&Y)")}, {Answer::No, QStringLiteral("稍后(&N)")}},
               Answer::No);
}

qint32 ConfirmDeleteAllNotes() {
    return ask(QStringLiteral("真的要删除所有便签？"),
               QStringLiteral("删除后无法恢复,请确认你所需要的资料已经保存！"), QString(),
               {{Answer::Yes, QStringLiteral("全部删除(&Y)")}, {Answer::No, QStringLiteral("稍后(&N)")}},
               Answer::No);
}

qint32 NotifyRestartForUpdate() {
    return ask(QStringLiteral("Quorvel需要更新！"), QStringLiteral("Quorvel将重新启动以安装更新！"),
               QString(), {{Answer::Yes, QStringLiteral("确定(&Y)")}}, Answer::Yes);
}

qint32 ConfirmRemoveRecentDocument(const QString& text) {
    return ask(
        QStringLiteral("从\"最近打开文档\"的记录中删除"), text,
        QStringLiteral("删除最近打开的文档记录不会删除原文件,仅仅使其不在出现在\"最近打开文档\"的列表中 "),
        okCancel(), Answer::Cancel);
}

qint32 ConfirmDeleteShortcut() {
    return ask(QStringLiteral("删除当前快捷方式"), QString(),
               QStringLiteral("删除当前快捷方不会删除原文件！"), okCancel(), Answer::Cancel);
}

qint32 ConfirmRemovePage() {
    return ask(QStringLiteral("删除这个页面记录"), QString(), QString(), okCancel(), Answer::Cancel);
}

// The same question as ConfirmRemovePage; only the caller differs.
qint32 ConfirmRemoveAllPages() {
    return ConfirmRemovePage();
}

} // namespace modMessagebox
