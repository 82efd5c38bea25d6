#pragma once

#include <QString>

#include <dlfcn.h>

// A library opened with dlopen when it is first needed rather than linked, and its functions looked up by name.
// It is never closed: what it made may be freed at any later time, on any thread. The target that uses it gets the
// library's soname and the loader from chronoteka_opened_at_run_time (OpenedAtRunTime.cmake).
class SharedLibrary
{
public:
    explicit SharedLibrary(const char* soname) : m_handle(dlopen(soname, RTLD_NOW | RTLD_LOCAL))
    {
        if (!m_handle)
            m_error = QString::fromLocal8Bit(dlerror());
    }

    // Looks the function up; false, with error() saying why, when the library isn't open or lacks it.
    template <typename Function> bool resolve(const char* name, Function& function)
    {
        function = m_handle ? reinterpret_cast<Function>(dlsym(m_handle, name)) : nullptr;
        if (!function && m_handle)
            m_error = QString::fromLocal8Bit(dlerror());
        return function != nullptr;
    }

    // The loader's reason for the last failure to open or to look up.
    const QString& error() const { return m_error; }

private:
    void* m_handle;
    QString m_error;
};
