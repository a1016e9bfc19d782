// A workbook of the library being made, owned: one given up (failed or
// cancelled) is freed with the scratch files its streamed sheets hold open.
#pragma once

#include <xlsxwriter.h>

#include <cstdio>
#include <memory>

namespace lumeno::scriptbuilder {

struct WorkbookCloser {
  void operator()(lxw_workbook* wb) const {
    // Streamed sheets keep a temporary file open until the workbook is
    // written; a workbook given up must close them itself.
    lxw_worksheet* ws = nullptr;
    STAILQ_FOREACH(ws, wb->worksheets, list_pointers) {
      if (ws->optimize_tmpfile) fclose(ws->optimize_tmpfile);
      ws->optimize_tmpfile = nullptr;
      ws->file = nullptr;
    }
    lxw_workbook_free(wb);
  }
};
using WorkbookHandle = std::unique_ptr<lxw_workbook, WorkbookCloser>;

}  // namespace lumeno::scriptbuilder
