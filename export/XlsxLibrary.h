#pragma once
// The libxlsxwriter functions the workbook export calls, each found in the library at its first
// call: only an export to a workbook loads it (and zlib and minizip with it).

#include "platform/LazyLibrary.h"

#include <xlsxwriter.h>

namespace xlsx {

inline constexpr const char* kLibrary = VELLACORD_XLSXWRITER_SONAME;

inline constinit const LazyFunction<decltype(&::format_set_bold)> format_set_bold{kLibrary, "format_set_bold"};
inline constinit const LazyFunction<decltype(&::format_set_num_format_index)> format_set_num_format_index{kLibrary, "format_set_num_format_index"};
inline constinit const LazyFunction<decltype(&::lxw_strerror)> lxw_strerror{kLibrary, "lxw_strerror"};
inline constinit const LazyFunction<decltype(&::lxw_workbook_free)> lxw_workbook_free{kLibrary, "lxw_workbook_free"};
inline constinit const LazyFunction<decltype(&::workbook_add_format)> workbook_add_format{kLibrary, "workbook_add_format"};
inline constinit const LazyFunction<decltype(&::workbook_add_worksheet)> workbook_add_worksheet{kLibrary, "workbook_add_worksheet"};
inline constinit const LazyFunction<decltype(&::workbook_close)> workbook_close{kLibrary, "workbook_close"};
inline constinit const LazyFunction<decltype(&::workbook_new_opt)> workbook_new_opt{kLibrary, "workbook_new_opt"};
inline constinit const LazyFunction<decltype(&::worksheet_freeze_panes)> worksheet_freeze_panes{kLibrary, "worksheet_freeze_panes"};
inline constinit const LazyFunction<decltype(&::worksheet_set_column_pixels)> worksheet_set_column_pixels{kLibrary, "worksheet_set_column_pixels"};
inline constinit const LazyFunction<decltype(&::worksheet_write_number)> worksheet_write_number{kLibrary, "worksheet_write_number"};
inline constinit const LazyFunction<decltype(&::worksheet_write_string)> worksheet_write_string{kLibrary, "worksheet_write_string"};

} // namespace xlsx
