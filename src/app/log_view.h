// The activity log box 编辑框日志: a read-only, selectable view of a text that only grows.
//
// The log of a long monitoring run reaches millions of entries, so the text is kept once,
// as code page 936 bytes in large chunks, with an index of line starts; only the lines in
// view are converted and painted. Appending costs the same at the millionth entry as at the
// first, and the memory is about the text's own bytes plus 12 bytes a row. The user can
// select text with the mouse or Ctrl+A and copy it with Ctrl+C; typing into the box is not
// offered. Lines wrap at the box's width as they arrive (the box has a fixed size in the
// window); a wrap adds nothing to the text.
#pragma once

#include <QAbstractScrollArea>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace korvelin {

class LogView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit LogView(QWidget* parent = nullptr);

  // Adds the entry at the very end in one piece, moves the caret behind it and scrolls it
  // into view. Nothing is added or removed around it. UI thread only.
  void Append(std::string_view entry);

  std::string Text() const;  // all bytes, exactly as appended
  std::size_t ByteCount() const { return byteCount_; }
  int LineCount() const { return static_cast<int>(lines_.size()); }  // rows on screen
  // Caret position as a byte offset into Text().
  std::size_t CaretOffset() const;
  bool CaretAtEnd() const { return CaretOffset() == byteCount_; }
  QString SelectedText() const;
  void SelectAll();
  void Copy() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // One row on screen: the bytes up to a line feed (a CR before it is kept) or up to the
  // place where the line wraps.
  struct Line {
    std::uint32_t chunk;
    std::uint32_t offset;
    std::uint32_t length : 31;
    std::uint32_t hardEnd : 1;  // 1: a line feed follows the row
  };
  struct Position {
    int line = 0;
    std::uint32_t byte = 0;  // within the line
    auto operator<=>(const Position&) const = default;
  };

  std::string_view LineBytes(int line) const;  // without the CR of a CR LF
  QString LineText(int line) const;
  Position PositionAt(const QPoint& viewportPoint) const;
  Position EndPosition() const;
  int LineHeight() const;
  int WrapWidth() const;
  void UpdateScrollBars();
  void ScrollToEnd();

  std::vector<std::string> chunks_;
  std::deque<Line> lines_;
  std::size_t byteCount_ = 0;
  int openRowWidth_ = 0;  // of the last row so far
  Position caret_;
  Position anchor_;
};

}  // namespace korvelin
