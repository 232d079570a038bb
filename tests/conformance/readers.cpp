// Runs one reader on one case. Called in a child process, which the parser may crash.
#include "readers.hpp"

#include "io/parser/switches.hpp"

#include "zel_xml3.h"

#include <algorithm>

#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/sax/SAXParseException.hpp>

namespace conformance {
namespace {

// Counts diagnostics without printing or throwing, so the parse runs to its own end.
class CountingHandler : public xercesc::ErrorHandler {
public:
    void warning(const xercesc::SAXParseException&) override {}
    void error(const xercesc::SAXParseException&) override { ++errors; }
    void fatalError(const xercesc::SAXParseException&) override { ++fatal_errors; }
    void resetErrors() override {}
    int errors = 0;
    int fatal_errors = 0;
};

// Parses `path` with a bare parser set up as the library sets up its own (no namespaces, no
// schemas, the given validation scheme); false when an exception ended the parse.
template <typename Parser, typename Scheme>
bool bare_parse(const std::string& path, Scheme scheme, CountingHandler& handler) {
    Parser parser;
    zel::parser::set_reader_switches(parser, scheme);
    parser.setErrorHandler(&handler);
    try {
        parser.parse(path.c_str());
    } catch (...) {
        return false;
    }
    return true;
}

bool bare_dom_accepts(const std::string& path) {
    CountingHandler handler;
    using xercesc::XercesDOMParser;
    return bare_parse<XercesDOMParser>(path, XercesDOMParser::Val_Never, handler) && handler.errors == 0 &&
           handler.fatal_errors == 0;
}

bool bare_sax_accepts(const std::string& path) {
    CountingHandler handler;
    using xercesc::SAXParser;
    return bare_parse<SAXParser>(path, SAXParser::Val_Auto, handler) && handler.fatal_errors == 0;
}

size_t utf8_length(const XMLCh* name) {
    size_t bytes = 0;
    for (; *name != 0; ++name) {
        if (*name < 0x80) bytes += 1;
        else if (*name < 0x800) bytes += 2;
        else if (*name >= 0xD800 && *name < 0xDC00) bytes += 4, ++name;  // a surrogate pair
        else bytes += 3;
        if (*name == 0) break;
    }
    return bytes;
}

// Finds the longest element name of a document, in UTF-8 bytes.
class NameMeasure : public xercesc::HandlerBase {
public:
    void startElement(const XMLCh* const name, xercesc::AttributeList&) override {
        longest = std::max(longest, utf8_length(name));
    }
    void fatalError(const xercesc::SAXParseException&) override {}
    size_t longest = 0;
};

bool has_overlong_element_name(const std::string& path) {
    NameMeasure measure;
    xercesc::SAXParser parser;
    parser.setDoNamespaces(false);
    parser.setDocumentHandler(&measure);
    parser.setErrorHandler(&measure);
    try {
        parser.parse(path.c_str());
    } catch (...) {
    }
    return measure.longest >= sizeof(XMLNode{}.name);
}

Verdict library_verdict(Reader reader, const std::string& path) {
    XMLNode* root = XMLCreateRootNode();
    bool dom = reader == Reader::DomRead;
    ZEL_XML_RESULT result = dom ? XMLRead(path.c_str(), root, nullptr) : SAX_XMLRead(path.c_str(), root, nullptr, nullptr);
    XMLFreeRootNode(root);
    if (result == ZEL_XML_OK) return Verdict::Accepted;
    bool exception = result == (dom ? ZEL_XML_EXCEPTION : ZEL_XML_UNEXPECTED);
    return exception && has_overlong_element_name(path) ? Verdict::NameTooLong : Verdict::Rejected;
}

Verdict verdict(bool accepted) { return accepted ? Verdict::Accepted : Verdict::Rejected; }

}  // namespace

const char* reader_name(Reader reader) {
    switch (reader) {
        case Reader::DomRead: return "XMLRead";
        case Reader::SaxRead: return "SAX_XMLRead";
        case Reader::BareDom: return "bare DOM parser";
        default: return "bare SAX parser";
    }
}

Reader reference_of(Reader reader) {
    if (reader == Reader::DomRead) return Reader::BareDom;
    if (reader == Reader::SaxRead) return Reader::BareSax;
    return reader;
}

Verdict read_case(Reader reader, const std::string& path) {
    XMLInit();
    Verdict result = Verdict::Rejected;
    switch (reader) {
        case Reader::BareDom: result = verdict(bare_dom_accepts(path)); break;
        case Reader::BareSax: result = verdict(bare_sax_accepts(path)); break;
        default: result = library_verdict(reader, path); break;
    }
    XMLTerm();
    return result;
}

}  // namespace conformance
