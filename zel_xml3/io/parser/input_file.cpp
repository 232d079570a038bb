#include "io/parser/input_file.hpp"

#include <cstdio>
#include <sys/stat.h>

namespace zel::parser {

InputFile probe_input_file(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode))) return InputFile{false, 0};
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return InputFile{false, 0};
    InputFile result{true, 0};
    if (fseeko(file, 0, SEEK_END) == 0) {
        off_t end = ftello(file);
        if (end > 0) result.size = static_cast<std::uint64_t>(end);
    }
    std::fclose(file);
    return result;
}

}  // namespace zel::parser
