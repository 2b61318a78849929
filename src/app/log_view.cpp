#include "app/log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "app/text_convert.h"

namespace korvelin {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr int kMargin = 3;

// Width in characters of a code page 936 byte run: a lead byte 0x81..0xFE and the byte after
// it form one character, every other byte is one character.
int CharIndexOfByte(std::string_view bytes, std::uint32_t byte) {
  int chars = 0;
  std::size_t i = 0;
  while (i < byte && i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    i += (b >= 0x81 && b <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
    ++chars;
  }
  return chars;
}

std::uint32_t ByteOfCharIndex(std::string_view bytes, int charIndex) {
  std::size_t i = 0;
  for (int c = 0; c < charIndex && i < bytes.size(); ++c) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    i += (b >= 0x81 && b <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
  }
  return static_cast<std::uint32_t>(i);
}

}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // rows wrap at the box's width
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  lines_.push_back(Line{0, 0, 0, 0});
  chunks_.emplace_back();
  chunks_.back().reserve(kChunkBytes);
  UpdateScrollBars();
}

void LogView::Append(std::string_view entry) {
  if (entry.empty()) {
    ScrollToEnd();
    return;
  }
  // The last line is still open; it must stay in one piece within one chunk, so when the
  // entry does not fit, the open line moves to a new chunk with it.
  Line& open = lines_.back();
  std::string* chunk = &chunks_.back();
  if (chunk->capacity() - chunk->size() < entry.size()) {
    const std::size_t need = std::size_t{open.length} + entry.size();
    std::string fresh;
    fresh.reserve(std::max(kChunkBytes, need));
    fresh.append(chunks_[open.chunk], open.offset, open.length);
    if (open.chunk == chunks_.size() - 1 && open.offset + open.length == chunk->size()) {
      chunk->resize(open.offset);  // the moved bytes leave the old chunk
    }
    chunks_.push_back(std::move(fresh));
    chunk = &chunks_.back();
    open.chunk = static_cast<std::uint32_t>(chunks_.size() - 1);
    open.offset = 0;
  }
  const std::uint32_t chunkIndex = static_cast<std::uint32_t>(chunks_.size() - 1);
  const std::size_t base = chunk->size();
  chunk->append(entry);
  byteCount_ += entry.size();

  // Rows end at a line feed, or where the next character would pass the box's width.
  const int wrapWidth = WrapWidth();
  const QFontMetrics metrics = fontMetrics();
  const QString text = ToQString(entry);
  std::size_t units = 0;
  for (std::size_t i = 0; i < entry.size(); ++units) {
    const auto b = static_cast<unsigned char>(entry[i]);
    i += (b >= 0x81 && b <= 0xFE && i + 1 < entry.size()) ? 2 : 1;
  }
  const bool oneCharPerUnit = static_cast<std::size_t>(text.size()) == units;
  std::size_t i = 0;
  qsizetype charIndex = 0;
  while (i < entry.size()) {
    const auto b = static_cast<unsigned char>(entry[i]);
    if (b == '\n') {
      lines_.back().hardEnd = 1;
      lines_.push_back(Line{chunkIndex, static_cast<std::uint32_t>(base + i + 1), 0, 0});
      openRowWidth_ = 0;
      ++i;
      ++charIndex;
      continue;
    }
    const std::size_t width = (b >= 0x81 && b <= 0xFE && i + 1 < entry.size()) ? 2 : 1;
    int advance = 0;
    if (b != '\r') {
      advance = oneCharPerUnit ? metrics.horizontalAdvance(text.at(charIndex))
                               : metrics.horizontalAdvance(ToQString(entry.substr(i, width)));
    }
    if (openRowWidth_ + advance > wrapWidth && lines_.back().length > 0) {
      lines_.push_back(Line{chunkIndex, static_cast<std::uint32_t>(base + i), 0, 0});
      openRowWidth_ = 0;
    }
    lines_.back().length += static_cast<std::uint32_t>(width);
    openRowWidth_ += advance;
    i += width;
    ++charIndex;
  }
  ScrollToEnd();
}

std::string LogView::Text() const {
  std::string text;
  text.reserve(byteCount_);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    text.append(chunks_[line.chunk], line.offset, line.length);
    if (line.hardEnd) text.push_back('\n');
  }
  return text;
}

std::size_t LogView::CaretOffset() const {
  std::size_t offset = 0;
  for (int i = 0; i < caret_.line; ++i) {
    const Line& line = lines_[static_cast<std::size_t>(i)];
    offset += line.length + line.hardEnd;
  }
  return offset + caret_.byte;
}

std::string_view LogView::LineBytes(int line) const {
  const Line& l = lines_[static_cast<std::size_t>(line)];
  std::string_view bytes(chunks_[l.chunk].data() + l.offset, l.length);
  if (!bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);
  return bytes;
}

QString LogView::LineText(int line) const { return ToQString(LineBytes(line)); }

int LogView::WrapWidth() const {
  // From the box's own size, which is right even before the box is first shown; the
  // vertical scroll bar is always there.
  const int width = this->width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width();
  return std::max(1, width - 2 * kMargin);
}

LogView::Position LogView::EndPosition() const {
  const int last = LineCount() - 1;
  return Position{last, lines_.back().length};
}

int LogView::LineHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

void LogView::UpdateScrollBars() {
  const int visible = std::max(1, viewport()->height() / LineHeight());
  verticalScrollBar()->setRange(0, std::max(0, LineCount() - visible));
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setSingleStep(1);
}

void LogView::ScrollToEnd() {
  caret_ = anchor_ = EndPosition();
  UpdateScrollBars();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
  viewport()->update();
}

void LogView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const int height = LineHeight();
  const int first = verticalScrollBar()->value();
  const int left = kMargin;
  const int ascent = fontMetrics().ascent();
  const QPalette& pal = palette();
  const Position from = std::min(anchor_, caret_);
  const Position to = std::max(anchor_, caret_);
  const int rows = viewport()->height() / height + 1;
  for (int row = 0; row <= rows && first + row < LineCount(); ++row) {
    const int line = first + row;
    const int top = row * height;
    const QString text = LineText(line);
    painter.setPen(pal.color(QPalette::Text));
    if (from != to && line >= from.line && line <= to.line) {
      const std::string_view bytes = LineBytes(line);
      const int startChar = line == from.line ? CharIndexOfByte(bytes, from.byte) : 0;
      const int endChar =
          line == to.line ? CharIndexOfByte(bytes, to.byte) : static_cast<int>(text.size());
      const int x0 = left + fontMetrics().horizontalAdvance(text.left(startChar));
      int x1 = left + fontMetrics().horizontalAdvance(text.left(endChar));
      if (line != to.line) x1 += fontMetrics().averageCharWidth();  // the line break
      painter.fillRect(QRect(x0, top, x1 - x0, height), pal.color(QPalette::Highlight));
      painter.drawText(left, top + ascent, text);
      painter.save();
      painter.setClipRect(QRect(x0, top, x1 - x0, height));
      painter.setPen(pal.color(QPalette::HighlightedText));
      painter.drawText(left, top + ascent, text);
      painter.restore();
    } else {
      painter.drawText(left, top + ascent, text);
    }
    if (hasFocus() && line == caret_.line) {
      const int x = left + fontMetrics().horizontalAdvance(
                               text.left(CharIndexOfByte(LineBytes(line), caret_.byte)));
      painter.drawLine(x, top, x, top + height - 1);
    }
  }
}

void LogView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
  UpdateScrollBars();
  if (atEnd) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

LogView::Position LogView::PositionAt(const QPoint& point) const {
  const int line =
      std::clamp(verticalScrollBar()->value() + point.y() / LineHeight(), 0, LineCount() - 1);
  const QString text = LineText(line);
  const int x = point.x() - kMargin;
  int chars = 0;
  const QFontMetrics metrics = fontMetrics();
  while (chars < text.size()) {
    const int before = metrics.horizontalAdvance(text.left(chars));
    const int after = metrics.horizontalAdvance(text.left(chars + 1));
    if (x < (before + after) / 2) break;
    ++chars;
  }
  return Position{line, ByteOfCharIndex(LineBytes(line), chars)};
}

void LogView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  caret_ = PositionAt(event->position().toPoint());
  if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = caret_;
  viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  caret_ = PositionAt(event->position().toPoint());
  viewport()->update();
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const Position at = PositionAt(event->position().toPoint());
  anchor_ = Position{at.line, 0};
  caret_ = Position{at.line, static_cast<std::uint32_t>(LineBytes(at.line).size())};
  viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    Copy();
  } else if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
  } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
    ScrollToEnd();
  } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
    verticalScrollBar()->setValue(0);
  } else {
    QAbstractScrollArea::keyPressEvent(event);  // page and arrow keys scroll
  }
}

void LogView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void LogView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void LogView::SelectAll() {
  anchor_ = Position{};
  caret_ = EndPosition();
  viewport()->update();
}

QString LogView::SelectedText() const {
  const Position from = std::min(anchor_, caret_);
  const Position to = std::max(anchor_, caret_);
  if (from == to) return {};
  std::string bytes;
  for (int line = from.line; line <= to.line; ++line) {
    const Line& l = lines_[static_cast<std::size_t>(line)];
    const std::uint32_t begin = line == from.line ? from.byte : 0;
    const std::uint32_t end = line == to.line ? to.byte : l.length;
    if (end > begin) bytes.append(chunks_[l.chunk], l.offset + begin, end - begin);
    if (line != to.line && l.hardEnd) bytes.push_back('\n');
  }
  return ToQString(bytes);
}

void LogView::Copy() const {
  const QString text = SelectedText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

}  // namespace korvelin
