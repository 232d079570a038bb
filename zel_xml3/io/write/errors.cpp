#include "io/write/errors.hpp"

#include <iostream>

#include <xercesc/dom/DOMError.hpp>

namespace zel::write {

namespace {

const char* heading_for(xercesc::DOMError::ErrorSeverity severity) {
    switch (severity) {
    case xercesc::DOMError::DOM_SEVERITY_WARNING:
        return "\nWarning Message: ";
    case xercesc::DOMError::DOM_SEVERITY_ERROR:
        return "\nError Message: ";
    default:
        return "\nFatal Message: ";
    }
}

}  // namespace

bool XMLWriteErrorHandler::handleError(const xercesc::DOMError& domError) {
    try {
        std::cerr << heading_for(domError.getSeverity()) << message_.convert(domError.getMessage()) << std::endl;
    } catch (...) {
        // Out of memory while converting: the serialiser still learns nothing went wrong here.
    }
    return true;
}

}  // namespace zel::write
