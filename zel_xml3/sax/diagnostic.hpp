// The text of the diagnostic an event-driven read is reporting, for XMLGetDiagnosticMessage.
#pragma once

namespace zel::sax {

// Makes `message` (UTF-8, may be null) the calling thread's current diagnostic for as long as
// the scope lives, that is while the error callback runs; the one before comes back after.
class CurrentDiagnostic {
public:
    explicit CurrentDiagnostic(const char* message);
    ~CurrentDiagnostic();
    CurrentDiagnostic(const CurrentDiagnostic&) = delete;
    CurrentDiagnostic& operator=(const CurrentDiagnostic&) = delete;

private:
    const char* previous_;
};

}  // namespace zel::sax
