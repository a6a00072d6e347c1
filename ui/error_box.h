#pragma once

#include <QString>
#include <string>

class QWidget;

namespace tessora {

/// The text of the general error box: the message, with a full stop appended when it ends in a
/// character that sorts after "." (so "Disk full" gets one, "Error!" and "Done." do not). A
/// message of more than about 1,100 characters keeps its first 1,000 and its last 100, with "…"
/// between them.
QString ErrorBoxText(const std::string& message);

/// The general error box: modal, titled with the application title, error icon, OK.
void ShowErrorBox(QWidget* owner, const std::string& message);

}  // namespace tessora
