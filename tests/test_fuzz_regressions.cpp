// Inputs on which a fuzz target once failed, replayed through the target's own checks so that
// every build runs them. One folder per target under tests/data/fuzz/.
#include "checks.hpp"
#include "io_helpers.hpp"
#include "tree_ops.hpp"

#include <dirent.h>

#include <algorithm>
#include <stdexcept>

namespace {

using Check = void (*)(const uint8_t*, size_t);

std::vector<std::string> saved_inputs(const std::string& target) {
    std::string dir = std::string(ZEL_TEST_DATA_DIR) + "/fuzz/" + target;
    std::vector<std::string> paths;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d))
            if (entry->d_name[0] != '.') paths.push_back(dir + "/" + entry->d_name);
        closedir(d);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Replays every saved input of `target`; a failed check becomes a test failure naming it.
void replay(const std::string& target, Check check) {
    zelfuzz::failure_handler() = [](const char* what) { throw std::runtime_error(what); };
    for (const std::string& path : saved_inputs(target)) {
        std::string bytes = file_bytes(path);
        try {
            check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        } catch (const std::runtime_error& failed) {
            ADD_FAILURE() << path << ": " << failed.what();
        }
    }
}

class FuzzRegressions : public ParserTest {};

TEST_F(FuzzRegressions, SavedInputsPassTheirTargetsChecks) {
    size_t total = 0;
    const std::pair<const char*, Check> targets[] = {
        {"sax_bytes", zelfuzz::run_sax_bytes}, {"sax_wide", zelfuzz::run_sax_wide},
        {"dom_read", zelfuzz::run_dom_read},   {"roundtrip", zelfuzz::run_roundtrip},
        {"keep_all", zelfuzz::run_keep_all},
        {"tree_ops", zelfuzz::run_tree_ops}, {"write", zelfuzz::run_write},
        {"path", zelfuzz::run_path},
    };
    for (const auto& [target, check] : targets) {
        capture_stderr([&] { replay(target, check); });
        total += saved_inputs(target).size();
    }
    EXPECT_GT(total, 0u) << "no saved inputs found under " << ZEL_TEST_DATA_DIR << "/fuzz";
}

}  // namespace
