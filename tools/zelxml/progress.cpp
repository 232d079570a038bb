// A one-line progress bar on standard error, fed by the reader's progress callback.
#include "cli.hpp"

#include <cstdio>
#include <unistd.h>

namespace zelxml {
namespace {

int last_drawn = -1;

void draw(double percent, int32_t records, void*) {
    int whole = percent < 0 ? 0 : percent > 100 ? 100 : static_cast<int>(percent);
    if (whole == last_drawn) return;  // redraw only when the figure changes
    last_drawn = whole;
    constexpr int kWidth = 30;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < whole * kWidth / 100 ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%% %d records", bar, whole, records);
    std::fflush(stderr);
}

}  // namespace

// Reads shorter than this end before a bar would tell anything.
constexpr long long kLongRead = 16LL << 20;

bool progress_wanted(bool forced, long long bytes) {
    return forced || (bytes >= kLongRead && ::isatty(::fileno(stderr)));
}

XMLParseCallbacks progress_callbacks(bool show) {
    XMLParseCallbacks callbacks{};
    callbacks.progressCallback = show ? draw : nullptr;
    last_drawn = -1;
    return callbacks;
}

void progress_clear_line() {
    if (last_drawn < 0) return;
    std::fprintf(stderr, "\r%60s\r", "");
    std::fflush(stderr);
    last_drawn = -1;  // the next report draws the bar again
}

void progress_finish(bool drew) {
    if (!drew || last_drawn < 0) return;
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

}  // namespace zelxml
