#include "export/XlsxLibrary.h"

#include "base/SharedLibrary.h"

#include <mutex>

const XlsxLibrary* XlsxLibrary::load(QString& error)
{
    static std::mutex mutex;
    static XlsxLibrary library;
    static bool loaded = false;
    std::lock_guard lock(mutex);
    if (loaded)
        return &library;

    SharedLibrary opened(XLSXWRITER_SONAME);
    XlsxLibrary& l = library;
    loaded = opened.resolve("workbook_new_opt", l.workbook_new_opt) &&
             opened.resolve("workbook_add_worksheet", l.workbook_add_worksheet) &&
             opened.resolve("workbook_add_format", l.workbook_add_format) &&
             opened.resolve("workbook_close", l.workbook_close) &&
             opened.resolve("lxw_workbook_free", l.lxw_workbook_free) &&
             opened.resolve("format_set_bold", l.format_set_bold) &&
             opened.resolve("format_set_text_wrap", l.format_set_text_wrap) &&
             opened.resolve("format_set_align", l.format_set_align) &&
             opened.resolve("format_set_bottom", l.format_set_bottom) &&
             opened.resolve("format_set_num_format", l.format_set_num_format) &&
             opened.resolve("worksheet_set_column", l.worksheet_set_column) &&
             opened.resolve("worksheet_set_row", l.worksheet_set_row) &&
             opened.resolve("worksheet_write_string", l.worksheet_write_string) &&
             opened.resolve("worksheet_write_number", l.worksheet_write_number) &&
             opened.resolve("worksheet_freeze_panes", l.worksheet_freeze_panes) &&
             opened.resolve("worksheet_autofilter", l.worksheet_autofilter) &&
             opened.resolve("lxw_strerror", l.lxw_strerror);
    if (!loaded)
        error = opened.error();
    return loaded ? &library : nullptr;
}
