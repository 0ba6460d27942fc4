#include <QCoreApplication>
#include <QLocale>

#include <gtest/gtest.h>

// Logic tests run with a Czech station's regional settings, whatever the machine's locale is.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
