#pragma once
#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "controls/TaskDialog.h"
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
#include <memory>

// A program folder of its own with common data (links, definitions, one application button),
// user data with found programs and custom applications, and a window whose command bars hold
// the toolbar "本地工具". "$D" in the data stands for the folder, which holds the programs
// bin/writer and bin/calc.
class SoftwareFixture : public ::testing::Test {
protected:
    static constexpr const char* kCommon = R"(<data><version c="1" i="1"/>
<links>
  <link id="100" caption="Docs online" tip="" iconno="1201" openmethod="1" notshowadd="0"><get url="http://127.0.0.1:9/docs"/></link>
  <link id="101" caption="Sheets online" tip="" iconno="" openmethod="1" notshowadd="0"><get url="http://127.0.0.1:9/sheets"/></link>
</links>
<localsoftdefs>
  <def lsid="writer" caption="Writer" tip="writes"><l targettype="File" action="Link" targetfile="$D/bin/writer" regvaluetype=""/></def>
</localsoftdefs>
<appbtnlayout>
  <appbtn caption="办公" iconno="1240" tip="办公软件">
    <sp/><ls id="missing"/><weblink id="100"/><ls id="writer"/><txtbtn caption="在线"/><popbtn caption="x"/>
    <weblink id="101"/><weblink id="999"/><sp/><txtbtn caption="结束"/>
  </appbtn>
  <appbtn caption="工具" iconno="1247" tip="">
    <ls id="calc"/>
  </appbtn>
</appbtnlayout></data>)";

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        D = dir.path();
        modInitial::SetAppPath(D);
        QDir(D).mkpath("bin");
        QDir(D).mkpath("Data");
        for (const char* name : {"bin/writer", "bin/calc"})
            qvtest::writeFile(D + "/" + name, "#!/bin/sh\n");
        modDataFile::WriteEncryptedFile(D + "/Data/common.dat", QString(kCommon).replace("$D", D));
        common = std::make_unique<clsCommonData>(D + "/Data/common.dat");
        ASSERT_FALSE(common->XMLNode.isNull()) << common->LoadError().toStdString();
        icons = std::make_unique<IconStore>();
        ASSERT_TRUE(icons->LoadLibrary(qvtest::buildDir() + "/Data/icon.dat"));
        modInitial::gIconStore = icons.get();
        window = std::make_unique<QMainWindow>();
        bars = new CommandBars(window.get());
        bars->SetIconStore(icons.get());
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

    // The user data file with these sections after globalinfo, loaded; the buttons built over it.
    void start(const QString& sections) {
        modDataFile::WriteEncryptedFile(D + "/Data/User.dat", "<data><globalinfo userid=\"1\"/>" +
                                                                  QString(sections).replace("$D", D) +
                                                                  "</data>");
        user = std::make_unique<clsUserData>(D + "/Data/User.dat", nullptr);
        ASSERT_FALSE(user->XMLNode.isNull());
        software = clsLocalSoftware::Of(common.get());
        software->SetUserData(user.get());
        software->initialAppLocation(toolbar);
        window->show();
    }
    // Opens a button's drop-down as the bars do just before it shows, and lists its entries.
    QStringList open(CommandBarControl* button) {
        CommandBar* popup = button->CommandBar();
        emit bars->InitCommandsPopup(popup);
        QStringList out;
        for (CommandBarControl* c : popup->Controls())
            out << QString("%1%2:%3").arg(c->BeginGroup() ? "|" : "").arg(c->Id()).arg(c->Caption());
        return out;
    }
    // Whether the entry shows, from the store, the desktop's own icon of `path`.
    bool showsIconOf(CommandBarControl* entry, const QString& path) const {
        if (!icons->contains(entry->IconId()) || entry->action()->icon().isNull())
            return false;
        return icons->icon(entry->IconId()).pixmap(16).toImage() ==
               FileIcons::OfPath(path).pixmap(16).toImage();
    }

    QTemporaryDir dir;
    QString D;
    std::unique_ptr<clsCommonData> common;
    std::unique_ptr<clsUserData> user;
    std::unique_ptr<IconStore> icons;
    std::unique_ptr<QMainWindow> window;
    CommandBars* bars = nullptr;
    CommandBar* toolbar = nullptr;
    clsLocalSoftware* software = nullptr;
    QStringList messages;
    QStringList questions;
    int answer = 102;
};
