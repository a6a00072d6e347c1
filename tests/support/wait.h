#pragma once

#include <functional>

namespace tessora::testing {

/// How long a test waits on another process (a service started on demand over D-Bus, an X
/// server, a compositor, a helper program) before it gives up. Generous: on a machine busy with
/// a build, what takes milliseconds when idle can take seconds. A wait ends as soon as its
/// condition holds, so the bound only costs time when the test fails anyway.
constexpr int kPatientMs = 30000;

/// Checks done() until it holds or timeoutMs have passed, running idle() between two checks (a
/// Qt test's event loop; a short pause when there is none); whether done() held. done() is
/// checked once more at the end, so a condition that holds late is never reported as failed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = kPatientMs,
             const std::function<void()>& idle = {});

}  // namespace tessora::testing
