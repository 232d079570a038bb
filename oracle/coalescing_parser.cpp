#include "coalescing_parser.hpp"

namespace oracle {

using xercesc::XercesDOMParser;

TextCoalescingParser::TextCoalescingParser(xercesc::MemoryManager* manager)
    : XercesDOMParser(nullptr, manager), pending_(1023, manager) {}

void TextCoalescingParser::flushText() {
    if (pending_.isEmpty()) return;
    XercesDOMParser::docCharacters(pending_.getRawBuffer(), pending_.getLen(), false);
    pending_.reset();
}

void TextCoalescingParser::docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    if (!cdataSection) {
        pending_.append(chars, length);
        return;
    }
    flushText();
    XercesDOMParser::docCharacters(chars, length, true);
}

void TextCoalescingParser::docComment(const XMLCh* comment) {
    flushText();
    XercesDOMParser::docComment(comment);
}

void TextCoalescingParser::docPI(const XMLCh* target, const XMLCh* data) {
    flushText();
    XercesDOMParser::docPI(target, data);
}

void TextCoalescingParser::endDocument() {
    flushText();
    XercesDOMParser::endDocument();
}

void TextCoalescingParser::endElement(const xercesc::XMLElementDecl& decl, unsigned int uriId, bool isRoot,
                                      const XMLCh* prefixName) {
    flushText();
    XercesDOMParser::endElement(decl, uriId, isRoot, prefixName);
}

void TextCoalescingParser::endEntityReference(const xercesc::XMLEntityDecl& entDecl) {
    flushText();
    XercesDOMParser::endEntityReference(entDecl);
}

void TextCoalescingParser::ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    flushText();
    XercesDOMParser::ignorableWhitespace(chars, length, cdataSection);
}

void TextCoalescingParser::startElement(const xercesc::XMLElementDecl& decl, unsigned int uriId,
                                        const XMLCh* prefixName,
                                        const xercesc::RefVectorOf<xercesc::XMLAttr>& attrList, XMLSize_t attrCount,
                                        bool isEmpty, bool isRoot) {
    flushText();
    XercesDOMParser::startElement(decl, uriId, prefixName, attrList, attrCount, isEmpty, isRoot);
}

void TextCoalescingParser::startEntityReference(const xercesc::XMLEntityDecl& entDecl) {
    flushText();
    XercesDOMParser::startEntityReference(entDecl);
}

}  // namespace oracle
