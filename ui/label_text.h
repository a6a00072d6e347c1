#pragma once

#include <QString>

class QLabel;

namespace tessora {

// The window's labels keep the fixed sizes of its layout, so a long text is laid out here
// rather than left to the label, which would cut it wherever its rectangle ends. A text that
// fits is passed through unchanged; the callers keep the whole text in the label's tooltip.

/// True when `text`, wrapped as `label` wraps it, fits the label's contents in its own font.
bool FitsLabel(const QLabel& label, const QString& text);

/// `text` broken into the lines `label` has room for; when there are not enough, the last line
/// ends in an ellipsis, so that the start of the text, which says what happened, is what shows.
QString FitStart(const QLabel& label, const QString& text);

/// A path broken after its separators into the lines `label` has room for; when there are not
/// enough, the folder part gives way (elided in its middle) so that the file name shows whole.
QString FitPath(const QLabel& label, const QString& path);

}  // namespace tessora
