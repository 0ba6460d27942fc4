#include "FrameUnit.h"

#include <QLocale>

#include <gtest/gtest.h>

// Window tests run in the program's own application object (key preview, error handler) with a Czech
// station's regional settings.
int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
