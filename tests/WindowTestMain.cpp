#include "FrameUnit.h"
#include "WindowTestSupport.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

// A dialog step that a test set but whose window never opened fails that test, fixture or not.
// gtest tells the listeners added last first that a test ended, so the failure still counts for it.
class TPendingModalsCheck final : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override { CancelPendingModals(); }
};

}  // namespace

// Window tests run in the program's own application object (key preview, error handler) with a Czech
// station's regional settings.
int main(int argc, char** argv)
{
    // Headless unless a platform is asked for; test discovery runs this without the test environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new TPendingModalsCheck);
    return RUN_ALL_TESTS();
}
