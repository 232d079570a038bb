// The serialiser's error handler: prints each reported problem under a severity heading.
#pragma once

#include "text/utf.hpp"

#include <xercesc/dom/DOMErrorHandler.hpp>

namespace zel::write {

class XMLWriteErrorHandler : public xercesc::DOMErrorHandler {
public:
    // Always true, so the serialiser goes on wherever it can.
    bool handleError(const xercesc::DOMError& domError) override;

private:
    text::Utf8Buffer message_;
};

}  // namespace zel::write
