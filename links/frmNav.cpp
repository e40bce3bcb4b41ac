#include "links/frmNav.h"

#include "controls/PopupTip.h"
#include "controls/TreeView.h"
#include "core/QvError.h"
#include "core/clsData.h"
#include "core/modInitial.h"
#include "links/clsNavigate.h"
#include "links/modLinkTrees.h"

#include <QVBoxLayout>

#include <exception>

frmNav::frmNav(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmNav"));
    setWindowTitle(QStringLiteral("导航"));
    mTree = new TreeView(this);
    mTree->setObjectName(QStringLiteral("tvwNav"));
    mTree->setAccessibleName(QStringLiteral("导航"));
    mTree->SetIconStore(modInitial::gIconStore);
    QFont font = mTree->font();
    font.setPointSize(9);
    mTree->setFont(font);
    // Lines between nodes off; the expand arrows and the hover highlight of a full row on.
    mTree->setRootIsDecorated(true);
    mTree->setAllColumnsShowFocus(true);
    mTree->setIndentation(16);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(mTree);

    // A window of its own (a tool tip), owned here so it goes with the pane.
    mPopTip = new PopupTip(this);

    clsNavigate* navigate = modInitial::gData ? NavigateOf(modInitial::gData->CommonData()) : nullptr;
    mNavigate = navigate;
    if (!navigate)
        return;
    navigate->setTvwNav(mTree);
    navigate->SetPopTip(mPopTip);
    try {
        navigate->iniTreeView(nullptr);
    } catch (const QvError& e) {
        modLinkTrees::ReportError(e.number(), e.description(), QStringLiteral("Form_Load"),
                                  QStringLiteral("Form frmNav"));
    } catch (const std::exception& e) {
        modLinkTrees::ReportError(QvErrors::General, QString::fromLocal8Bit(e.what()),
                                  QStringLiteral("Form_Load"), QStringLiteral("Form frmNav"));
    }
}

frmNav::~frmNav() {
    if (mNavigate && mNavigate->tvwNav() == mTree) {
        mNavigate->setTvwNav(nullptr);
        mNavigate->SetPopTip(nullptr);
    }
}

void frmNav::hideEvent(QHideEvent* event) {
    // A tip never outlives the tree it belongs to on the screen.
    mPopTip->Close();
    QWidget::hideEvent(event);
}

clsNavigate* frmNav::navigate() const {
    return mNavigate;
}
