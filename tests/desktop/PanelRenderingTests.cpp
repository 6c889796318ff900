// Renders the panel the controller makes for a real flow, on the off-screen platform, and keeps
// the pictures as test artefacts (build/<preset>/artifacts/desktop/*.png).
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>

#include "kestrum/FloatingDropPanel.hpp"
#include "kestrum/KestrumController.hpp"
#include "kestrum/desktop/PanelContentWidget.hpp"
#include "kestrum/desktop/QtPanelWindow.hpp"
#include "kestrum/fakes/FakePlatform.hpp"
#include "kestrum/posix/PosixFileSystem.hpp"

namespace kestrum::desktop {
namespace {

class PanelRenderingTest : public ::testing::Test {
protected:
    PanelRenderingTest() {
        // Fakes everywhere but the panel windows (Qt) and the file system, through which the
        // library reads its string tables from the build tree.
        Platform ports = platform();
        ports.fileSystem = std::make_shared<PosixFileSystem>();
        ports.panelWindows = std::make_shared<QtPanelWindowFactory>();
        installPlatform(ports);
    }

    // Runs a flow and docks its panel below a System Settings window 900 points wide.
    QtPanelWindow& dockedPanel(const std::optional<std::string>& locale) {
        controller = KestrumController::create(
            KestrumConfiguration({URL::fileURL("/Applications/Tazel.app")}, false, locale));
        controller->authorize(KestrumPane::screenRecording, {URL::fileURL("/Applications/Tazel.app")},
                              Rect{484, 284, 32, 32});
        fake.mainLoop->runPendingTasks();
        EXPECT_NE(controller->panel(), nullptr);
        controller->panel()->snap(Rect{100, 500, 900, 600});
        return dynamic_cast<QtPanelWindow&>(controller->panel()->window());
    }

    static QImage save(const QtPanelWindow& window, const std::string& name) {
        const QImage image = window.widget()->grab().toImage();
        QDir().mkpath(QStringLiteral(KESTRUM_ARTIFACTS_DIR));
        image.save(QStringLiteral(KESTRUM_ARTIFACTS_DIR) + QLatin1Char('/') + QString::fromStdString(name));
        return image;
    }

    fakes::FakePlatform fake;
    std::shared_ptr<KestrumController> controller;
};

TEST_F(PanelRenderingTest, EnglishPanelIsItsFittingSize) {
    QtPanelWindow& window = dockedPanel("en");
    const QImage image = save(window, "panel_en.png");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width() / image.devicePixelRatio(), 670);
    EXPECT_EQ(image.height() / image.devicePixelRatio(), window.fittingHeight(670, 4096));
    EXPECT_TRUE(window.content()->titleView()->html().contains(QStringLiteral("<b>Tazel</b>")));
    EXPECT_TRUE(window.content()->titleView()->html().contains(QStringLiteral("<b>Screen Recording</b>")));
    // Not transparent everywhere: the material and the text were drawn.
    EXPECT_GT(image.pixelColor(image.width() / 2, image.height() / 2).alpha(), 0);
    controller->closePanel(false);
}

TEST_F(PanelRenderingTest, LongGermanTitleWrapsAndThePanelGrows) {
    const double englishHeight = dockedPanel("en").fittingHeight(300, 4096);
    controller->closePanel(false);

    QtPanelWindow& window = dockedPanel("de");
    // A narrow System Settings window leaves the panel its minimum width.
    controller->panel()->snap(Rect{100, 500, 400, 600});
    const QImage image = save(window, "panel_de_narrow.png");
    EXPECT_EQ(image.width() / image.devicePixelRatio(), 240);
    EXPECT_EQ(image.height() / image.devicePixelRatio(), window.fittingHeight(240, 4096));
    EXPECT_GT(window.fittingHeight(240, 4096), window.fittingHeight(670, 4096));
    EXPECT_GT(window.fittingHeight(300, 4096), englishHeight);
    EXPECT_TRUE(window.content()->titleView()->plainText().contains(QStringLiteral("Bildschirmaufnahme")));
    controller->closePanel(false);
}

}  // namespace
}  // namespace kestrum::desktop
