#pragma once
#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "controls/TaskDialog.h"
#include "core/QvIds.h"
#include "core/clsCommonData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "platform/FileIcons.h"
#include "platform/PlainMessage.h"
#include "software/clsLocalSoftware.h"

#include "TestSupport.h"

#include <QDir>
#include <QImage>
#include <QMainWindow>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A program folder with common data (two links, one definition, two application buttons), user
// data given by the test, and a window whose command bars hold the toolbar "本地工具". "$D" in
// the data stands for the folder, which holds the programs bin/writer and bin/calc.
class SoftwareFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(D);
        QDir(D).mkpath("bin");
        QDir(D).mkpath("Data");
        qvtest::writeFile(D + "/bin/writer", "#!/bin/sh\n");
        qvtest::writeFile(D + "/bin/calc", "#!/bin/sh\n");
        modDataFile::WriteEncryptedFile(D + "/Data/common.dat", QString(R"(<data><links>
<link id="100" caption="Docs" tip="" iconno="1201" openmethod="1" notshowadd="0"><get url="http://127.0.0.1:9/"/></link>
<link id="101" caption="Sheets" tip="" iconno="" openmethod="1" notshowadd="0"><get url="http://127.0.0.1:9/"/></link>
</links><localsoftdefs><def lsid="writer" caption="Writer" tip="writes">
<l targettype="File" action="Link" targetfile="$D/bin/writer" regvaluetype=""/></def></localsoftdefs>
<appbtnlayout><appbtn caption="办公" iconno="1240" tip="办公软件"><sp/><ls id="missing"/><weblink id="100"/>
<ls id="writer"/><txtbtn caption="在线"/><popbtn caption="x"/><weblink id="101"/><weblink id="999"/><sp/>
<txtbtn caption="结束"/></appbtn><appbtn caption="工具" iconno="1247" tip=""><ls id="calc"/></appbtn>
</appbtnlayout></data>)")
                                                                    .replace("$D", D));
        common = std::make_unique<clsCommonData>(D + "/Data/common.dat");
        ASSERT_TRUE(icons.LoadLibrary(qvtest::buildDir() + "/Data/icon.dat"));
        modInitial::gIconStore = &icons;
        bars = new CommandBars(window.get());
        bars->SetIconStore(&icons);
        toolbar = bars->Add("本地工具");
        SetPlainMessageHandler([this](const QString& text, const QString&) { messages << text; });
        TaskDialog::SetAnswerer([this](const TaskDialog& d) -> std::optional<int> {
            questions << d.MainInstructionText;
            return answer;
        });
    }
    void TearDown() override {
        window.reset();
        SetPlainMessageHandler({});
        TaskDialog::SetAnswerer({});
        modInitial::gIconStore = nullptr;
    }
    // The user data file with these sections, loaded, and the buttons built over it.
    void start(const QString& sections) {
        modDataFile::WriteEncryptedFile(D + "/Data/User.dat", "<data><globalinfo userid=\"1\"/>" +
                                                                  QString(sections).replace("$D", D) +
                                                                  "</data>");
        user = std::make_unique<clsUserData>(D + "/Data/User.dat", nullptr);
        software = clsLocalSoftware::Of(common.get());
        software->SetUserData(user.get());
        software->initialAppLocation(toolbar);
        window->show();
    }
    // Fills a button's drop-down as the bars do before it shows; "|" marks a group start.
    QStringList open(CommandBarControl* button) {
        emit bars->InitCommandsPopup(button->CommandBar());
        QStringList out;
        for (CommandBarControl* c : button->CommandBar()->Controls())
            out << QString("%1%2:%3").arg(c->BeginGroup() ? "|" : "").arg(c->Id()).arg(c->Caption());
        return out;
    }
    // An entry as open() lists it.
    static QString entry(int id, const QString& caption, bool beginsGroup = false) {
        return QString("%1%2:%3").arg(beginsGroup ? "|" : "").arg(id).arg(caption);
    }
    // Whether the entry shows, from the store, the desktop's own icon of `path`.
    bool showsIconOf(CommandBarControl* entry, const QString& path) {
        return icons.contains(entry->IconId()) && !entry->action()->icon().isNull() &&
               icons.icon(entry->IconId()).pixmap(16).toImage() ==
                   FileIcons::OfPath(path).pixmap(16).toImage();
    }

    QTemporaryDir dir;
    const QString D = dir.path();
    std::unique_ptr<clsCommonData> common;
    std::unique_ptr<clsUserData> user;
    IconStore icons;
    std::unique_ptr<QMainWindow> window = std::make_unique<QMainWindow>();
    CommandBars* bars = nullptr;
    CommandBar* toolbar = nullptr;
    clsLocalSoftware* software = nullptr;
    QStringList messages, questions;
    int answer = Answer::Cancel;
};
