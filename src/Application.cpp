#include "Application.h"

#include "Error.h"
#include "ErrorReporter.h"
#include "MessageBoxes.h"
#include "ProgramIcon.h"
#include "ProgramStyle.h"

#include <QFileInfo>
#include <QFont>
#include <QWidget>
#include <QWindow>

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
    // The program lives on in the tray with no window shown; only the main window's exits end it.
    setQuitOnLastWindowClosed(false);
    setApplicationName(title());
    // The windows are laid out in pixels for an 8-point dialog font at 96 dpi: Liberation Sans at 11 pixels has
    // the same character height and close widths, and carries Cyrillic.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    setFont(font);
    setWindowIcon(ProgramIcon::icon());
    setStyle(new ProgramStyle);
    ErrorReporter::setSink(&Application::showError);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    ErrorReporter::guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void Application::quitWhenShown(QWidget& window)
{
    // The window's first expose comes after it is mapped and laid out; quitting then measures a full start-up.
    class ExposeWatch : public QObject
    {
    public:
        using QObject::QObject;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
                QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            return false;
        }
    };
    window.winId();
    window.windowHandle()->installEventFilter(new ExposeWatch(window.windowHandle()));
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
