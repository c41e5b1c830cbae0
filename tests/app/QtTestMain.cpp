// gtest main for tests of Qt widgets: one QApplication for the whole program.
#include "runtime/TextLookup.h"
#include "serial/CPort.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    InitTextLookup();
    InitComErrorMessages();
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
