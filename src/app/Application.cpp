#include "app/Application.h"

#include "look/ProgramLook.h"
#include "platform/ErrorBox.h"
#include "platform/ErrorReporter.h"
#include "platform/MessageBoxes.h"
#include "platform/QtLanguage.h"

#include <QFileInfo>
#include <QLocale>

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace {

QString className(const std::exception& error)
{
    const char* mangled = typeid(error).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    return QString::fromUtf8(status == 0 && demangled ? demangled.get() : mangled);
}

} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    // The program lives on in the tray with no window shown; only the main window's exits end it.
    setQuitOnLastWindowClosed(false);
    setApplicationName(ProgramLook::title());
    ProgramLook::applyTo(*this);
    QtLanguage::installRussian(*this, QLocale::system());
    ErrorReporter::setSink(&Application::showError);
    ServerWait::install(&m_serverWait);
}

Application::~Application()
{
    ServerWait::install(nullptr);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    ErrorReporter::guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void Application::showError(const std::exception& error)
{
    ErrorBox::show(activeWindow(), ProgramLook::title(), error);
}

QString Application::fatalErrorText(const std::exception& error, const QString& module, const void* address)
{
    return QStringLiteral("Exception %1 in module %2 at %3.\n%4\n")
        .arg(className(error), module,
             QStringLiteral("%1").arg(reinterpret_cast<quintptr>(address), 16, 16, QLatin1Char('0')).toUpper(),
             ErrorBox::withFullStop(QString::fromUtf8(error.what())));
}

void Application::showFatalError(const std::exception& error)
{
    const QString module = QFileInfo(applicationFilePath()).fileName();
    MessageBoxes::tell(nullptr, QStringLiteral("Application Error"),
                       fatalErrorText(error, module, __builtin_return_address(0)), MessageBoxes::Icon::Error);
}

void Application::tellAlreadyRunning()
{
    MessageBoxes::tell(nullptr, ProgramLook::title(),
                       QStringLiteral("Программа уже запущена для этого ежедневника, но не отвечает."),
                       MessageBoxes::Icon::Error);
}
