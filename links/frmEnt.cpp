#include "links/frmEnt.h"

#include "controls/TreeView.h"
#include "core/QvError.h"
#include "core/clsData.h"
#include "core/modInitial.h"
#include "links/clsEntertainment.h"
#include "links/modLinkTrees.h"

#include <QVBoxLayout>

#include <exception>

frmEnt::frmEnt(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmEnt"));
    setWindowTitle(QStringLiteral("娱乐"));
    mTree = new TreeView(this);
    mTree->setObjectName(QStringLiteral("tvwEnt"));
    mTree->setAccessibleName(QStringLiteral("娱乐"));
    mTree->SetIconStore(modInitial::gIconStore);
    QFont font = mTree->font();
    font.setPointSize(9);
    mTree->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(mTree);

    clsEntertainment* entertainment =
        modInitial::gData ? EntertainmentOf(modInitial::gData->CommonData()) : nullptr;
    mEntertainment = entertainment;
    if (!entertainment)
        return;
    entertainment->setTvwNav(mTree);
    try {
        entertainment->iniTreeView(nullptr);
    } catch (const QvError& e) {
        modLinkTrees::ReportError(e.number(), e.description(), QStringLiteral("Form_Load"),
                                  QStringLiteral("Form frmEnt"));
    } catch (const std::exception& e) {
        modLinkTrees::ReportError(QvErrors::General, QString::fromLocal8Bit(e.what()),
                                  QStringLiteral("Form_Load"), QStringLiteral("Form frmEnt"));
    }
}

frmEnt::~frmEnt() {
    if (mEntertainment && mEntertainment->tvwNav() == mTree)
        mEntertainment->setTvwNav(nullptr);
}
