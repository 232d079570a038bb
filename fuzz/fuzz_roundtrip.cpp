// Read, write, read again: a document the reader accepted must come back record for record,
// and writing it again must give the same bytes.
#include "fuzz_common.hpp"

#include <fstream>
#include <sstream>

namespace {

std::string slurp(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::start_once();
    static zelfuzz::MemFile first, second;
    first.write(data, size);
    XMLNode* original = XMLCreateRootNode();
    if (XMLRead(first.path(), original, nullptr) == ZEL_XML_OK && original->name[0] != '\0') {
        zelfuzz::MemFile out;
        if (XMLWrite(out.path(), "UTF-8", original) == ZEL_XML_OK) {
            XMLNode* again = XMLCreateRootNode();
            zelfuzz::require(XMLRead(out.path(), again, nullptr) == ZEL_XML_OK);
            zelfuzz::require(zelfuzz::same_tree(original, again));
            zelfuzz::require(XMLWrite(second.path(), "UTF-8", again) == ZEL_XML_OK);
            zelfuzz::require(slurp(out.path()) == slurp(second.path()));
            XMLFreeRootNode(again);
        }
    }
    XMLFreeRootNode(original);
    return 0;
}
