#include "export/XlsxLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace {

template <typename Function> bool resolve(void* handle, const char* name, Function& function, QString& error)
{
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!function)
        error = QString::fromLocal8Bit(dlerror());
    return function != nullptr;
}

} // namespace

const XlsxLibrary* XlsxLibrary::load(QString& error)
{
    static std::mutex mutex;
    static XlsxLibrary library;
    static bool loaded = false;
    std::lock_guard lock(mutex);
    if (loaded)
        return &library;

    // Never closed: a workbook may be freed at any later time, on any thread.
    void* handle = dlopen(XLSXWRITER_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        error = QString::fromLocal8Bit(dlerror());
        return nullptr;
    }
    XlsxLibrary& l = library;
    loaded = resolve(handle, "workbook_new_opt", l.workbook_new_opt, error) &&
             resolve(handle, "workbook_add_worksheet", l.workbook_add_worksheet, error) &&
             resolve(handle, "workbook_add_format", l.workbook_add_format, error) &&
             resolve(handle, "workbook_close", l.workbook_close, error) &&
             resolve(handle, "lxw_workbook_free", l.lxw_workbook_free, error) &&
             resolve(handle, "format_set_bold", l.format_set_bold, error) &&
             resolve(handle, "format_set_text_wrap", l.format_set_text_wrap, error) &&
             resolve(handle, "format_set_align", l.format_set_align, error) &&
             resolve(handle, "format_set_bottom", l.format_set_bottom, error) &&
             resolve(handle, "format_set_num_format", l.format_set_num_format, error) &&
             resolve(handle, "worksheet_set_column", l.worksheet_set_column, error) &&
             resolve(handle, "worksheet_set_row", l.worksheet_set_row, error) &&
             resolve(handle, "worksheet_write_string", l.worksheet_write_string, error) &&
             resolve(handle, "worksheet_write_number", l.worksheet_write_number, error) &&
             resolve(handle, "worksheet_freeze_panes", l.worksheet_freeze_panes, error) &&
             resolve(handle, "worksheet_autofilter", l.worksheet_autofilter, error) &&
             resolve(handle, "lxw_strerror", l.lxw_strerror, error);
    return loaded ? &library : nullptr;
}
