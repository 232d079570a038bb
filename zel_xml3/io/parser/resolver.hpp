// The entity resolver every reader's parser gets: it never lets the parser reach the network.
#pragma once

#include "text/utf.hpp"

#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>

namespace zel::parser {

// True when the parser would fetch `systemId` from somewhere other than the local file
// system: it starts with a URL scheme other than file:, or is a file: URL naming a host other
// than localhost.
bool is_remote(const XMLCh* systemId);
bool is_remote(const char* systemId);

// Reads every remote external DTD subset, parameter entity and general entity (a relative
// one with a remote base included) as if it were empty, and reports each one to the error
// handler as a warning at the parser's position: "remote DTD or entity not fetched: " and
// the system identifier. A local one is opened from the file the parser itself would open;
// when that file cannot be opened or its first read fails (missing, a folder, not readable),
// it too reads as empty, with the warning "local DTD or entity not found: " and the system
// identifier.
class LocalOnlyResolver : public xercesc::XMLEntityResolver {
public:
    void report_to(xercesc::ErrorHandler* errors) { errors_ = errors; }
    xercesc::InputSource* resolveEntity(xercesc::XMLResourceIdentifier* resource) override;

private:
    xercesc::ErrorHandler* errors_ = nullptr;
};

// An input source that cannot be opened: the parser reports it like a missing file. Used for
// a document whose own name is remote.
class RefusedSource : public xercesc::InputSource {
public:
    explicit RefusedSource(const XMLCh* systemId) : InputSource(systemId) {}
    xercesc::BinInputStream* makeStream() const override { return nullptr; }
};

// Parses the document `fileName` names. A name the parser would fetch over the network is
// parsed as an input that cannot be opened, so the read fails exactly as for a missing file.
template <typename Parser>
void parse_local_file(Parser& parser, const char* fileName) {
    if (!is_remote(fileName)) {
        parser.parse(fileName);
        return;
    }
    text::Utf16Buffer name;
    RefusedSource source(name.convert(fileName));
    parser.parse(source);
}

}  // namespace zel::parser
