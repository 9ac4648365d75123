#pragma once
// List columns as the panels insert them: left-aligned, widths in pixels, full-row selection.

#include <cstddef>

#include "ui/wnd.h"

namespace sw::app {

struct ColumnSpec {
  const char* heading;
  int width;
};

template <std::size_t N>
void InsertColumns(ui::CListCtrl& list, const ColumnSpec (&columns)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    list.InsertColumn(static_cast<int>(i), columns[i].heading, ui::kLvcfmtLeft, columns[i].width);
  }
  list.SetExtendedStyle(list.GetExtendedStyle() | ui::kLvsExFullRowSelect);
}

}  // namespace sw::app
