// libFuzzer entry for run_keep_all (see checks.hpp).
#include "checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::run_keep_all(data, size);
    return 0;
}
