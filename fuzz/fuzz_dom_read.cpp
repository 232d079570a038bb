// The document reader on a memory-backed file.
#include "fuzz_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::start_once();
    static zelfuzz::MemFile file;
    file.write(data, size);
    XMLNode* root = XMLCreateRootNode();
    int32_t count = -1;
    XMLRead(file.path(), root, &count);
    zelfuzz::check_tree(root);
    XMLFreeRootNode(root);
    return 0;
}
