// libFuzzer entry for run_tree_ops (see tree_ops.hpp).
#include "tree_ops.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::run_tree_ops(data, size);
    return 0;
}
