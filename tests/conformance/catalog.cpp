// Reads the catalogue with the bare SAX parser, keeping a stack of xml:base values.
#include "catalog.hpp"

#include <memory>
#include <stdexcept>

#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/AttributeList.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/XMLString.hpp>

namespace conformance {
namespace {

std::string narrow(const XMLCh* text) {
    if (text == nullptr) return {};
    char* bytes = xercesc::XMLString::transcode(text);
    std::string result(bytes);
    xercesc::XMLString::release(&bytes);
    return result;
}

std::string attribute(xercesc::AttributeList& attrs, const char* name) {
    return narrow(attrs.getValue(name));
}

class CatalogHandler : public xercesc::HandlerBase {
public:
    CatalogHandler(std::string root, std::vector<Case>& cases) : bases_{std::move(root)}, cases_(cases) {}

    void startElement(const XMLCh* const name, xercesc::AttributeList& attrs) override {
        std::string element = narrow(name);
        if (element == "TESTCASES") bases_.push_back(bases_.back() + attribute(attrs, "xml:base"));
        if (element != "TEST") return;
        cases_.push_back({attribute(attrs, "ID"), attribute(attrs, "TYPE"), attribute(attrs, "ENTITIES"),
                          bases_.back() + attribute(attrs, "URI")});
    }
    void endElement(const XMLCh* const name) override {
        if (narrow(name) == "TESTCASES") bases_.pop_back();
    }

private:
    std::vector<std::string> bases_;
    std::vector<Case>& cases_;
};

}  // namespace

std::vector<Case> load_catalog(const std::string& suite_dir) {
    std::vector<Case> cases;
    CatalogHandler handler(suite_dir + "/xmlconf/", cases);
    xercesc::SAXParser parser;
    parser.setValidationScheme(xercesc::SAXParser::Val_Never);
    parser.setDocumentHandler(&handler);
    parser.setErrorHandler(&handler);  // HandlerBase throws on a fatal error
    std::string catalog = suite_dir + "/cleaned/xmlconf-flattened.xml";
    try {
        parser.parse(catalog.c_str());
    } catch (...) {
        throw std::runtime_error("cannot read the catalogue " + catalog);
    }
    if (cases.empty()) throw std::runtime_error("no TEST elements in " + catalog);
    return cases;
}

}  // namespace conformance
