#pragma once

#include <string>

namespace tessora {

/// The text as the tool may print it on a terminal: every byte a terminal could act on is written
/// out as an escape: C0 controls ("\n", "\t", "\x1b"), DEL ("\x7f"), C1 controls ("\u009b") and
/// bytes that are not UTF-8 ("\xff"). Valid UTF-8 stays as it is, so a name in any script reads
/// as itself, yet no file name can start a line of its own or move the cursor.
std::string TerminalText(const std::string& text);

}  // namespace tessora
