#include "scriptbuilder/scripts/voice_script_layout.h"

#include <cstring>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

void ScriptBody::line_end(std::string_view bytes) {
  if (!full_) {
    out_.append(bytes);
    return;
  }
  text_row_done();
  // At most two line ends in a row: one empty row between two rows.
  if (++line_ends_in_a_row_ > 2) return;
  out_.append(bytes);
  ++line_ends_since_text_;
  ++block_.rows_after;
  advance(page_, row_, 1);
  row_begin_ = out_.size();
}

void ScriptBody::write(std::string_view bytes) {
  split_at_line_ends(bytes, [&](std::string_view text) { append(text); }, [&](std::string_view end) { line_end(end); });
}

// The current row's text is complete: a block may start with it, and the
// block may have to move.
void ScriptBody::text_row_done() {
  if (!full_ || out_.size() == row_begin_) return;
  line_ends_in_a_row_ = 0;
  if (line_ends_since_text_ >= 2) {
    auto byte = [&](std::size_t k) { return row_begin_ + k < out_.size() ? out_[row_begin_ + k] : '\0'; };
    auto start_block = [&](Kind kind) {
      protected_ = true;
      block_ = Block{page_, row_, row_begin_, kind, 0};
    };
    if (byte(0) == '\t' && byte(1) == ' ') {
      if (byte(2) == '\t' && options_.keep_direction) {
        start_block(Kind::direction);
      } else {
        protected_ = false;
      }
    } else if (byte(0) == '\t') {
      if (options_.keep_other_dialogue) start_block(Kind::other);
    } else if (options_.keep_dialogue) {
      start_block(Kind::own);
    }
  }
  line_ends_since_text_ = 0;
  while (protected_ && must_move()) move_block();
  row_begin_ = out_.size();
}

bool ScriptBody::must_move() const {
  if (row_ < block_.row) return true;  // a page break came inside the block
  if (block_.kind != Kind::own) return false;
  return row_ == 1 || (row_ == rows_on_page(page_) && block_.row > 1);
}

// Moving a block one empty row at a time until it fits, worked out at once:
// rows further down the same page cannot help (the rows that did not fit
// only come later), so a direction or another character's dialogue goes to
// row 1 of the next page, where nothing moves it again, and own dialogue to
// row 2 of that page (from row 1 of a page: to row 2 of the same page).
// Own dialogue that does not fit from row 2 would come back to row 2 of the
// next page without end: it stays where it is.
void ScriptBody::move_block() {
  if (block_.kind == Kind::own && block_.row == 2) {
    protected_ = false;
    return;
  }
  const int last = rows_on_page(block_.page);
  int empty_rows = last - block_.row + 1;
  if (block_.kind == Kind::own) empty_rows = block_.row == 1 ? 1 : empty_rows + 1;

  const std::size_t inserted = 2 * static_cast<std::size_t>(empty_rows);
  const std::size_t old_size = out_.size();
  out_.resize(old_size + inserted);
  char* const at = out_.data() + block_.at;
  std::memmove(at + inserted, at, old_size - block_.at);
  for (std::size_t k = 0; k < inserted; k += 2) {
    at[k] = '\r';
    at[k + 1] = '\n';
  }
  block_.at += inserted;
  row_begin_ += inserted;
  advance(block_.page, block_.row, empty_rows);
  page_ = block_.page;
  row_ = block_.row;
  advance(page_, row_, block_.rows_after);
}

void ScriptBody::advance(int& page, int& row, int count) {
  while (count > 0) {
    const int room = rows_on_page(page) - row;
    if (count <= room) {
      row += count;
      return;
    }
    count -= room + 1;
    ++page;
    row = 1;
  }
}

std::string lay_out_script_rows(std::string_view rows, PageOptions options) {
  std::string out;
  out.reserve(rows.size() + rows.size() / 8 + 64);
  ScriptBody body(out, options);
  body.write(rows);
  body.finish();
  return out;
}

}  // namespace lumeno::scriptbuilder
