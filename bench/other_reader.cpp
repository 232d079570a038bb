#include "other_reader.hpp"

#include <libxml/parser.h>

namespace zelbench {

void other_tree_parse(const std::string& document) {
    xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "bench", nullptr, XML_PARSE_NONET);
    xmlFreeDoc(doc);
}

void other_init() { xmlInitParser(); }
void other_cleanup() { xmlCleanupParser(); }

}  // namespace zelbench
