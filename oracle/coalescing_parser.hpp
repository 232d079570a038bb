// The reference reader's parser: a XercesDOMParser that hands each run of character data to
// the DOM in one piece, as the library's document reader once did.
#pragma once

#include <xercesc/framework/XMLBuffer.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

namespace oracle {

// The parser reports text in pieces (split at entity and character references, and at its
// buffer boundaries), and the DOM appends each piece to the text node before. Each append
// regrows the node's buffer and releases the old one through the document, which searches
// every large block the document holds: parsing text-heavy documents becomes quadratic in
// their size. Gathering a run here and passing it on once, before any other event, builds
// the very same nodes in linear time. The run is held in the parser's memory manager, so it
// counts against the same limits as the DOM itself.
class TextCoalescingParser : public xercesc::XercesDOMParser {
public:
    explicit TextCoalescingParser(xercesc::MemoryManager* manager = xercesc::XMLPlatformUtils::fgMemoryManager);

    // Passes on the text still held; call after parse(), which may stop before the end.
    void flushText();

    void docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void docComment(const XMLCh* comment) override;
    void docPI(const XMLCh* target, const XMLCh* data) override;
    void endDocument() override;
    void endElement(const xercesc::XMLElementDecl& decl, unsigned int uriId, bool isRoot,
                    const XMLCh* prefixName) override;
    void endEntityReference(const xercesc::XMLEntityDecl& entDecl) override;
    void ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void startElement(const xercesc::XMLElementDecl& decl, unsigned int uriId, const XMLCh* prefixName,
                      const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, XMLSize_t attrCount, bool isEmpty,
                      bool isRoot) override;
    void startEntityReference(const xercesc::XMLEntityDecl& entDecl) override;

private:
    xercesc::XMLBuffer pending_;
};

}  // namespace oracle
