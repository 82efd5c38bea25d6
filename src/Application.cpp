#include "Application.h"

#include "Error.h"
#include "ErrorReporter.h"
#include "MessageBoxes.h"

#include <QFileInfo>
#include <QIcon>

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace {

QString errorText(const std::exception& error)
{
    if (const auto* own = dynamic_cast<const Error*>(&error))
        return own->text();
    return QString::fromUtf8(error.what());
}

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
    setApplicationName(title());
    setApplicationDisplayName(title());
    setWindowIcon(QIcon(QStringLiteral(":/icons/chronoteka.svg")));
    ErrorReporter::setSink(&Application::showError);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    ErrorReporter::guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

QString Application::title()
{
    return QStringLiteral("Хронотека");
}

QString Application::withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void Application::showError(const std::exception& error)
{
    MessageBoxes::tell(activeWindow(), title(), withFullStop(errorText(error)), MessageBoxes::Icon::Error);
}

QString Application::fatalErrorText(const std::exception& error, const QString& module, const void* address)
{
    return QStringLiteral("Exception %1 in module %2 at %3.\n%4\n")
        .arg(className(error), module,
             QStringLiteral("%1").arg(reinterpret_cast<quintptr>(address), 16, 16, QLatin1Char('0')).toUpper(),
             withFullStop(errorText(error)));
}

void Application::showFatalError(const std::exception& error)
{
    const QString module = QFileInfo(applicationFilePath()).fileName();
    MessageBoxes::tell(nullptr, QStringLiteral("Application Error"),
                       fatalErrorText(error, module, __builtin_return_address(0)), MessageBoxes::Icon::Error);
}
