#include "core/modTools.h"
#include "update/modUpdateFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/TestSupport.h"

TEST(FileVersion, TheProgramsCarryTheirVersionAndOtherFilesHaveNone) {
    // The build's programs carry the project version; its number is the running program's.
    for (const char* program : {"QV", "QVUpdate", "qvdata"}) {
        SCOPED_TRACE(program);
        const QString path = qvtest::buildDir() + "/" + program;
        EXPECT_EQ(modUpdateFiles::GetFileVersionNumber(path), modTools::ProgramVersionNumber());
        EXPECT_EQ(modUpdateFiles::GetFileVersionText(path).count('.'), 3);
    }
    QTemporaryDir dir;
    const QByteArray program = qvtest::readFile(qvtest::buildDir() + "/QVUpdate");
    const QList<QPair<const char*, QByteArray>> without = {
        {"text", "FileVersion=1.2.3.4 Quorvel"},
        {"empty", QByteArray()},
        {"cut after the header", program.left(4096)},
        // Section headers pointing past the end of the file.
        {"bad section table", program.left(0x28) + QByteArray(8, '\xff') + program.mid(0x30, 4096)},
    };
    for (const auto& [name, bytes] : without) {
        SCOPED_TRACE(name);
        qvtest::writeFile(dir.filePath("f"), bytes);
        EXPECT_EQ(modUpdateFiles::GetFileVersionText(dir.filePath("f")), QString());
    }
    EXPECT_EQ(modUpdateFiles::GetFileVersionText(dir.filePath("missing")), QString());

    EXPECT_EQ(modUpdateFiles::VersionNumberOf("1.2.34.5"), "10020034");
    EXPECT_EQ(modUpdateFiles::VersionNumberOf("12.345.6789"), "123456789");
    EXPECT_EQ(modUpdateFiles::VersionNumberOf("1.2"), QString());
    EXPECT_EQ(modUpdateFiles::VersionNumberOf("1.x.3"), QString());
}
