#include "io/write/errors.hpp"

#include "io/parser/messages.hpp"

#include <xercesc/dom/DOMError.hpp>

namespace zel::write {

bool XMLWriteErrorHandler::handleError(const xercesc::DOMError& domError) {
    try {
        parser::print_write_problem(domError.getSeverity(), message_.convert(domError.getMessage()));
    } catch (...) {
        // Out of memory while converting: the serialiser still learns nothing went wrong here.
    }
    return true;
}

}  // namespace zel::write
