#pragma once

#include <QString>

#include <xlsxwriter.h>

// The functions of libxlsxwriter the exporter calls. The library is opened at the first export instead of being
// linked: it brings libcrypto and minizip with it, and loading those would slow every start of the program for a
// menu item most sessions never use.
struct XlsxLibrary
{
    decltype(&::workbook_new_opt) workbook_new_opt;
    decltype(&::workbook_add_worksheet) workbook_add_worksheet;
    decltype(&::workbook_add_format) workbook_add_format;
    decltype(&::workbook_close) workbook_close;
    decltype(&::lxw_workbook_free) lxw_workbook_free;
    decltype(&::format_set_bold) format_set_bold;
    decltype(&::format_set_text_wrap) format_set_text_wrap;
    decltype(&::format_set_align) format_set_align;
    decltype(&::format_set_bottom) format_set_bottom;
    decltype(&::format_set_num_format) format_set_num_format;
    decltype(&::worksheet_set_column) worksheet_set_column;
    decltype(&::worksheet_set_row) worksheet_set_row;
    decltype(&::worksheet_write_string) worksheet_write_string;
    decltype(&::worksheet_write_number) worksheet_write_number;
    decltype(&::worksheet_freeze_panes) worksheet_freeze_panes;
    decltype(&::worksheet_autofilter) worksheet_autofilter;
    decltype(&::lxw_strerror) lxw_strerror;

    // The library, opened once and kept for the rest of the process; null with the loader's reason in error when it
    // can't be opened or lacks a function.
    static const XlsxLibrary* load(QString& error);
};
