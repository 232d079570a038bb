// libFuzzer entry for run_write (see tree_ops.hpp).
#include "tree_ops.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::run_write(data, size);
    return 0;
}
