#include "support/TestApplication.h"

std::unique_ptr<QCoreApplication> makeTestApplication(int& argc, char** argv)
{
    return std::make_unique<QCoreApplication>(argc, argv);
}
