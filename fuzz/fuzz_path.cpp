// libFuzzer entry for run_path (see checks.hpp).
#include "checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::run_path(data, size);
    return 0;
}
