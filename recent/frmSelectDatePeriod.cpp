#include "recent/frmSelectDatePeriod.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmSelectDatePeriod::frmSelectDatePeriod(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSelectDatePeriod"));
    setWindowTitle(QStringLiteral("选择时间"));
    setModal(true);

    mKind = new QGroupBox(QStringLiteral("选择时间类型"), this);
    mPeriod = new QRadioButton(QStringLiteral("时间段"), mKind);
    mOneDay = new QRadioButton(QStringLiteral("某天"), mKind);
    auto* kindLayout = new QHBoxLayout(mKind);
    kindLayout->addWidget(mPeriod);
    kindLayout->addWidget(mOneDay);
    kindLayout->addStretch();

    const QDate today = QDate::currentDate();
    mStart = new QDateEdit(today, this);
    mEnd = new QDateEdit(today, this);
    for (QDateEdit* picker : {mStart, mEnd}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    mStart->setAccessibleName(QStringLiteral("从"));
    mEnd->setAccessibleName(QStringLiteral("到"));
    mFrom = new QLabel(QStringLiteral("从"), this);
    mTo = new QLabel(QStringLiteral("到"), this);
    mFrom->setBuddy(mStart);
    mTo->setBuddy(mEnd);

    mOK = new QPushButton(QStringLiteral("确定"), this);
    mCancel = new QPushButton(QStringLiteral("取消"), this);
    mOK->setDefault(true);

    auto* dates = new QGridLayout;
    dates->addWidget(mFrom, 0, 0);
    dates->addWidget(mStart, 0, 1);
    dates->addWidget(mTo, 1, 0);
    dates->addWidget(mEnd, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(mOK);
    buttons->addWidget(mCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mKind);
    layout->addLayout(dates);
    layout->addLayout(buttons);
    setTabOrder(mPeriod, mOneDay);
    setTabOrder(mOneDay, mStart);
    setTabOrder(mStart, mEnd);
    setTabOrder(mEnd, mOK);
    setTabOrder(mOK, mCancel);

    connect(mPeriod, &QRadioButton::toggled, this, [this](bool on) { setPeriodMode(on); });
    // A new start date moves the end date along, so a single day needs one pick.
    connect(mStart, &QDateEdit::dateChanged, mEnd, &QDateEdit::setDate);
    connect(mOK, &QPushButton::clicked, this, &frmSelectDatePeriod::confirm);
    connect(mCancel, &QPushButton::clicked, this, &frmSelectDatePeriod::reject);

    mPeriod->setChecked(true);
    setPeriodMode(true);
    isCancel = false;
    setMinimumWidth(280);
}

void frmSelectDatePeriod::setPeriodMode(bool period) {
    mFrom->setEnabled(period);
    mTo->setEnabled(period);
    mEnd->setEnabled(period);
}

void frmSelectDatePeriod::confirm() {
    startDate = mStart->date();
    endDate = mEnd->date();
    isCancel = false;
    accept();
}

void frmSelectDatePeriod::reject() {
    isCancel = true;
    QDialog::reject();
}
