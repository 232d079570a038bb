#include "other_reader.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

namespace zelbench {

void other_tree_parse(const std::string& document) {
    xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "bench", nullptr, XML_PARSE_NONET);
    xmlFreeDoc(doc);
}

void other_init() { xmlInitParser(); }
void other_cleanup() { xmlCleanupParser(); }

void* other_tree_read(const std::string& document) {
    return xmlReadMemory(document.data(), static_cast<int>(document.size()), "bench", nullptr,
                         XML_PARSE_NONET | XML_PARSE_NOBLANKS);
}

bool other_save(void* doc, const std::string& path) {
    return xmlSaveFormatFileEnc(path.c_str(), static_cast<xmlDocPtr>(doc), "UTF-8", 1) >= 0;
}

void other_tree_free(void* doc) { xmlFreeDoc(static_cast<xmlDocPtr>(doc)); }

long other_xpath(void* doc, const char* expression) {
    xmlXPathContextPtr context = xmlXPathNewContext(static_cast<xmlDocPtr>(doc));
    if (context == nullptr) return -1;
    xmlXPathObjectPtr result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression), context);
    long count = result == nullptr ? -1 : result->nodesetval != nullptr ? result->nodesetval->nodeNr : 0;
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
    return count;
}

}  // namespace zelbench
