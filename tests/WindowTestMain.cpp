#include "FrameUnit.h"

#include <QLocale>

#include <gtest/gtest.h>

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
    return RUN_ALL_TESTS();
}
