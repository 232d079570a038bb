// Whether the parser library is running: between the first XMLInit and the last XMLTerm.
#pragma once

namespace zel::parser {

// True while the parser library is started (by XMLInit, or by a host that starts it itself).
// Reads and writes check it first: the parser library crashes when used while stopped.
bool library_started();

}  // namespace zel::parser
