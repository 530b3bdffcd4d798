// The main window's file list: each entry's path kept as the file system's
// bytes, in the core's list order, shown decoded; duplicates allowed, extended
// multiple selection, a horizontal extent that follows the widest entry.
#pragma once

#include <QListWidget>
#include <string>
#include <vector>

namespace ostrevin::app {

class PathListWidget : public QListWidget {
  Q_OBJECT

 public:
  explicit PathListWidget(QWidget* parent = nullptr);

  [[nodiscard]] const std::vector<std::string>& Entries() const { return entries_; }
  // Adds one entry at its place in the list order (after equal entries).
  void AddEntry(std::string path);
  // Replaces the whole list.
  void SetEntries(std::vector<std::string> paths);
  void RemoveAt(int row);
  // Removes every selected entry. False when none was selected.
  [[nodiscard]] bool RemoveSelected();
  void RemoveAll();

  // Sets the horizontal scroll width to the widest entry's text width plus one
  // average character width of the list's font.
  void RefreshListExtent();
  [[nodiscard]] int HorizontalExtent() const { return extent_; }

 signals:
  // A double click anywhere in the list, on an entry or not.
  void DoubleClicked();
  // The Delete key, pressed in the list.
  void DeletePressed();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::vector<std::string> entries_;
  int extent_ = 0;
};

}  // namespace ostrevin::app
