#include "Application.h"
#include "Connection.h"
#include "MessageBoxes.h"

int main(int argc, char** argv)
{
    Application app(argc, argv);
    try {
        Connection connection(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=db1.mdb;Persist Security Info=False"));
        MessageBoxes::tell(nullptr, Application::title(),
                           QStringLiteral("База данных %1 открыта.").arg(connection.filePath()));
    } catch (const std::exception& error) {
        Application::showFatalError(error);
        return 1;
    }
    return 0;
}
