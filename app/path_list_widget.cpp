// File list widget over byte-string paths.
#include "app/path_list_widget.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <memory>

#include "app/japanese_ui.h"
#include "conversion/file_list.h"

namespace ostrevin::app {
namespace {

// An entry's row: the path as shown, and again as its tooltip, since the list
// may be too narrow for the part a person looks for, the file name.
QListWidgetItem* NewItem(const std::string& path) {
  auto* item = new QListWidgetItem(DisplayPath(path));
  item->setToolTip(item->text());
  return item;
}

}  // namespace

PathListWidget::PathListWidget(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSortingEnabled(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  // Every row takes the size of one sample row, which RefreshListExtent
  // sets: that is how the extent reaches the horizontal scroll bar.
  setUniformItemSizes(true);
}

void PathListWidget::AddEntry(std::string path) {
  const auto at = std::upper_bound(
      entries_.begin(), entries_.end(), path,
      [](const std::string& a, const std::string& b) { return FileListLess(a, b); });
  const int row = static_cast<int>(at - entries_.begin());
  insertItem(row, NewItem(path));
  entries_.insert(at, std::move(path));
}

void PathListWidget::SetEntries(std::vector<std::string> paths) {
  SortFileList(paths);
  clear();
  entries_ = std::move(paths);
  for (const std::string& path : entries_) addItem(NewItem(path));
}

void PathListWidget::RemoveAt(int row) {
  if (row < 0 || row >= static_cast<int>(entries_.size())) return;
  const std::unique_ptr<QListWidgetItem> removed(takeItem(row));
  entries_.erase(entries_.begin() + row);
}

bool PathListWidget::RemoveSelected() {
  bool any = false;
  // Walk from the first entry to the last; removing shifts the later rows up.
  for (int row = 0; row < count();) {
    if (item(row)->isSelected()) {
      RemoveAt(row);
      any = true;
    } else {
      ++row;
    }
  }
  return any;
}

void PathListWidget::RemoveAll() {
  clear();
  entries_.clear();
}

void PathListWidget::RefreshListExtent() {
  const QFontMetrics metrics(font());
  int widest = 0;
  for (int row = 0; row < count(); ++row) {
    widest = std::max(widest, metrics.horizontalAdvance(item(row)->text()));
  }
  extent_ = widest + metrics.averageCharWidth();
  if (count() > 0) {
    // Qt measures the last row for all (a row added or removed elsewhere
    // would otherwise leave a stale width in charge); the first gets the same
    // size so that no sample row can disagree.
    const int height = std::max(metrics.height() + 2, QListWidget::sizeHintForRow(0));
    for (const int row : {0, count() - 1}) item(row)->setSizeHint(QSize(extent_, height));
  }
}

void PathListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  emit DoubleClicked();
}

void PathListWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
    event->accept();
    emit DeletePressed();
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace ostrevin::app
