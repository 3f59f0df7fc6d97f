// The open panel's typed names: several quoted names typed into the name field all come back,
// in the dialog itself and through the test seam, whatever the dialog's file list has loaded.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <string>
#include <vector>

#include "platform/panel_platform.h"
#include "platform/tests/platform_fixture.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

class Panels : public PlatformTest {
protected:
    void TearDown() override {
        TestResetFilePanels();
        PlatformTest::TearDown();
    }
    TempDir dir_;
};

TEST_F(Panels, TypedNamesAreReadQuotedOrWhole) {
    const std::string at = dir_.path();
    struct Case {
        std::string typed;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"\"a.SCM\" \"b c.SCM\" \"/abs/d.SCM\"", {at + "/a.SCM", at + "/b c.SCM", "/abs/d.SCM"}},
        {"one name.SCM", {at + "/one name.SCM"}},
        {"\"a.SCM\"\"b.SCM\"  \"\" \"c", {at + "/a.SCM", at + "/b.SCM", at + "/c"}},
        {"  ", {}},
        {"\"sub/../e.SCM\"", {at + "/e.SCM"}},
    };
    for (const Case& c : cases) EXPECT_EQ(PlatformTypedPanelNames(c.typed, at), c.names) << c.typed;
}

// The request of the converter's panel: several files, an enable procedure (so the dialog's own
// list, filtered, is used), names that end in ".SCM".
PlatformFilePanelRequest OpenSeveral(const std::string& folder) {
    PlatformFilePanelRequest request;
    request.kind = PlatformPanelKind::kOpen;
    request.folder = folder;
    request.multiple = true;
    request.enable = [](const std::string& path, bool isFolder, void*) {
        return isFolder || (path.size() > 4 && path.compare(path.size() - 4, 4, ".SCM") == 0);
    };
    return request;
}

TEST_F(Panels, EveryTypedNameComesBackFromTheDialog) {
    for (const char* name : {"A.SCM", "B two.SCM", "C.SCM", "notes.txt"}) ASSERT_TRUE(WriteFile(dir_.file(name), "x"));
    for (int attempt = 0; attempt < 5; ++attempt) {
        SCOPED_TRACE(attempt);
        // Typed at once, before the dialog's list may have loaded, and accepted with Return.
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(field, nullptr);
            field->setText("\"A.SCM\" \"B two.SCM\" \"C.SCM\" \"notes.txt\" \"Missing.SCM\"");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTimer::singleShot(20'000, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        const PlatformFilePanelResult result = PlatformRunFilePanel(OpenSeveral(dir_.path()));
        ASSERT_TRUE(result.accepted);
        EXPECT_EQ(result.paths, (std::vector<std::string>{dir_.file("A.SCM"), dir_.file("B two.SCM"), dir_.file("C.SCM")}));
    }
}

TEST_F(Panels, TypedAnswersOfTheSeamGoThroughTheSameReading) {
    for (const char* name : {"A.SCM", "B two.SCM", "notes.txt"}) ASSERT_TRUE(WriteFile(dir_.file(name), "x"));
    TestQueueFilePanelTypedAnswer("\"A.SCM\" \"notes.txt\" \"B two.SCM\" \"A.SCM\"", dir_.path());
    PlatformFilePanelResult result = PlatformRunFilePanel(OpenSeveral(dir_.path()));
    EXPECT_EQ(result.paths, (std::vector<std::string>{dir_.file("A.SCM"), dir_.file("B two.SCM")}));
    EXPECT_EQ(result.folder, dir_.path());
    // A panel of one file takes the first.
    TestQueueFilePanelTypedAnswer("\"B two.SCM\" \"A.SCM\"", dir_.path());
    PlatformFilePanelRequest single = OpenSeveral(dir_.path());
    single.multiple = false;
    result = PlatformRunFilePanel(single);
    EXPECT_EQ(result.paths, std::vector<std::string>{dir_.file("B two.SCM")});
}

}  // namespace
}  // namespace plexa::test
