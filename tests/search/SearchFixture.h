#pragma once
#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "core/XmlDocument.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <gtest/gtest.h>

// A program folder of its own whose common data is the real one, with every search engine's
// address moved to `base` + "/" + the engine's name (so a local server can answer them).
class SearchDataFixture : public ::testing::Test {
protected:
    void loadData(const QString& base, const std::function<void(XmlDocument&)>& edit = {}) {
        ASSERT_TRUE(dir.isValid());
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        XmlDocument doc;
        ASSERT_TRUE(doc.loadXMLUtf8(qvtest::readFile(qvtest::sourceDir() + "/data/common.xml")));
        for (XmlNode engine : doc.selectNodes("data/searchengines/searchengine")) {
            for (XmlNode method : engine.childElements())
                method.setAttribute("url", base + "/" + engine.getAttribute("name"));
        }
        if (edit)
            edit(doc);
        modDataFile::WriteEncryptedFile(dir.filePath("Data/common.dat"), doc.xml());
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
        modInitial::gData = new clsData;
        ASSERT_FALSE(modInitial::gData->CommonData()->XMLNode.isNull());
    }
    void TearDown() override {
        delete modInitial::gData;
        modInitial::gData = nullptr;
    }

    // The engine's descriptor in the loaded common data.
    static XmlNode engine(const QString& name) {
        return modInitial::gData->CommonData()->XMLNode.selectSingleNode(
            "searchengines/searchengine[@name='" + name + "']");
    }
    // A parameter value of a descriptor, by parameter name.
    static QString value(const XmlNode& descriptor, const QString& name) {
        return descriptor.selectSingleNode("*/par[@name='" + name + "']").getAttribute("value");
    }
    // A percent-encoded UTF-8 query value as text.
    static QString decoded(const QString& encoded) { return QUrl::fromPercentEncoding(encoded.toLatin1()); }

    QTemporaryDir dir;
};
