#pragma once

#include <QStringList>

#include "platform/qt_outcome.h"

namespace tessora {

/// Runs the program to its end (or kills it at the timeout) with the event loop running; a
/// failure names the program and says how it failed, with what it printed.
Outcome RunCommand(const QString& program, const QStringList& arguments, int timeoutMs);

/// RunCommand, and what the program printed when it succeeded.
OutcomeOf<QString> RunCommandForOutput(const QString& program, const QStringList& arguments,
                                       int timeoutMs);

}  // namespace tessora
