#include "ui/label_text.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QStringList>
#include <QTextBoundaryFinder>

namespace tessora {
namespace {

QFontMetricsF metricsOf(const QLabel& label) {
  return QFontMetricsF(label.font(), &label);
}

QString withoutTrailingBlanks(QString text) {
  while (!text.isEmpty() && text.back().isSpace()) {
    text.chop(1);
  }
  return text;
}

// A blank at the end of a line takes no room: the label lets it hang past the edge.
bool fitsWidth(const QString& line, const QFontMetricsF& fm, qreal width) {
  return fm.horizontalAdvance(withoutTrailingBlanks(line)) <= width;
}

// Pieces that each end where a line may break: after a blank, after a path separator, or at a
// line end of the text itself.
QStringList breakPieces(const QString& text) {
  QStringList pieces;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char(' ') || c == QLatin1Char('/') || c == QLatin1Char('\n')) {
      pieces << text.mid(start, i + 1 - start);
      start = i + 1;
    }
  }
  if (start < text.size()) {
    pieces << text.mid(start);
  }
  return pieces;
}

// The longest start of `text` that fits, cut between characters; never less than one character,
// so that a line too narrow for any still moves on.
qsizetype fittingLength(const QString& text, const QFontMetricsF& fm, qreal width) {
  QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
  qsizetype fits = characters.toNextBoundary();
  for (qsizetype next = characters.toNextBoundary(); next != -1;
       next = characters.toNextBoundary()) {
    if (!fitsWidth(text.left(next), fm, width)) {
      break;
    }
    fits = next;
  }
  return fits;
}

// Lines of at most `width`, broken at the pieces' ends where possible and inside a piece too
// long for a line of its own. Each line keeps the blank or line end it was broken at, so the
// lines put together give back the text.
QStringList breakLines(const QString& text, const QFontMetricsF& fm, qreal width) {
  QStringList lines;
  QString line;
  for (const QString& piece : breakPieces(text)) {
    if (!line.isEmpty() && !fitsWidth(line + piece, fm, width)) {
      lines << line;
      line.clear();
    }
    line += piece;
    while (!fitsWidth(line, fm, width)) {
      const qsizetype cut = fittingLength(line, fm, width);
      lines << line.left(cut);
      line.remove(0, cut);
    }
    if (line.endsWith(QLatin1Char('\n'))) {
      lines << line;
      line.clear();
    }
  }
  if (!line.isEmpty()) {
    lines << line;
  }
  return lines;
}

// The first `count` lines, the last of them standing for everything from there on, elided by
// `mode` to one line.
QStringList keepLines(const QStringList& lines, qsizetype count, Qt::TextElideMode mode,
                      const QFontMetricsF& fm, qreal width) {
  if (lines.size() <= count) {
    return lines;
  }
  QStringList kept = lines.mid(0, count - 1);
  const QString rest = lines.mid(count - 1).join(QString()).replace(QLatin1Char('\n'), ' ');
  kept << fm.elidedText(rest.trimmed(), mode, width);
  return kept;
}

// The first `count` lines standing for all of them with the cut in their middle: the lines
// before the last as they are, the last one giving way at its start, where it joins them.
QStringList keepStartAndEnd(const QStringList& lines, qsizetype count, const QFontMetricsF& fm,
                            qreal width) {
  return keepLines(lines, count, count == 1 ? Qt::ElideMiddle : Qt::ElideLeft, fm, width);
}

QString shownLines(const QStringList& lines) {
  QStringList shown;
  for (QString line : lines) {
    if (line.endsWith(QLatin1Char('\n'))) {
      line.chop(1);
    }
    shown << line;
  }
  return shown.join(QLatin1Char('\n'));
}

qsizetype lineRoom(const QLabel& label) {
  qsizetype lines = 1;
  while (FitsLabel(label, QStringList(lines + 1, QStringLiteral("X")).join(QLatin1Char('\n')))) {
    ++lines;
  }
  return lines;
}

}  // namespace

bool FitsLabel(const QLabel& label, const QString& text) {
  const QRect room = label.contentsRect();
  const int flags = static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  const QRectF used = metricsOf(label).boundingRect(QRectF(room), flags, text);
  return used.width() <= room.width() && used.height() <= room.height();
}

QString FitStart(const QLabel& label, const QString& text) {
  if (FitsLabel(label, text)) {
    return text;
  }
  const QFontMetricsF fm = metricsOf(label);
  const qreal width = label.contentsRect().width();
  return shownLines(
      keepLines(breakLines(text, fm, width), lineRoom(label), Qt::ElideRight, fm, width));
}

QString FitPath(const QLabel& label, const QString& path) {
  if (FitsLabel(label, path)) {
    return path;
  }
  const QFontMetricsF fm = metricsOf(label);
  const qreal width = label.contentsRect().width();
  const qsizetype room = lineRoom(label);
  const QStringList lines = breakLines(path, fm, width);
  if (lines.size() <= room) {
    return shownLines(lines);
  }
  const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
  const QStringList name = breakLines(path.mid(nameStart), fm, width);
  if (name.size() >= room) {
    // A name longer than the label: its start and its type are what tell it apart.
    return shownLines(keepStartAndEnd(name, room, fm, width));
  }
  const qsizetype folderRoom = room - name.size();
  const QStringList folder =
      keepStartAndEnd(breakLines(path.left(nameStart), fm, width), folderRoom, fm, width);
  return shownLines(folder + name);
}

}  // namespace tessora
