#include "generate.hpp"

#include <cstdint>

namespace zelbench {
namespace {

// A small linear congruential generator: deterministic across platforms and runs.
class Random {
public:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    std::uint32_t below(std::uint32_t n) { return next() % n; }

private:
    std::uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

const char* const kWords[] = {"river", "stone", "light", "north", "garden", "m\xC3\xBCller", "caf\xC3\xA9",
                              "signal", "harbour", "\xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1", "paper", "window",
                              "\xE4\xB8\xAD\xE6\x96\x87", "silver", "orbit", "market", "quiet", "engine",
                              "fox", "ledger", "amber", "tide", "copper", "valley"};
constexpr std::uint32_t kWordCount = sizeof kWords / sizeof kWords[0];

void words(Random& r, std::string& out, int n) {
    for (int i = 0; i < n; ++i) {
        if (i) out += ' ';
        out += kWords[r.below(kWordCount)];
    }
}

void record(Random& r, std::string& out, std::uint32_t id) {
    out += "  <record id=\"" + std::to_string(id) + "\" kind=\"";
    out += kWords[r.below(kWordCount)];
    out += "\" score=\"" + std::to_string(r.below(10000) / 100.0).substr(0, 5) + "\">\n    <name>";
    words(r, out, 2);
    out += "</name>\n    <city>";
    out += kWords[r.below(kWordCount)];
    out += "</city>\n    <qty>" + std::to_string(r.below(1000)) + "</qty>\n";
    out += "    <flag on=\"" + std::string(r.below(2) ? "true" : "false") + "\"/>\n  </record>\n";
}

void paragraph(Random& r, std::string& out) {
    out += "  <p>";
    int sentences = 8 + static_cast<int>(r.below(24));
    for (int s = 0; s < sentences; ++s) {
        words(r, out, 6 + static_cast<int>(r.below(10)));
        switch (r.below(6)) {
            case 0: out += " <b>"; words(r, out, 1); out += "</b>"; break;
            case 1: out += " <i>"; words(r, out, 2); out += "</i>"; break;
            case 2: out += " &amp; "; words(r, out, 1); break;
            default: break;
        }
        out += ". ";
    }
    out += "</p>\n";
}

}  // namespace

std::string generate(Kind kind, std::size_t bytes) {
    Random r;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const char* top = kind == Kind::Records ? "catalog" : "book";
    out += std::string("<") + top + ">\n";
    const std::string end = std::string("</") + top + ">\n";
    std::uint32_t id = 0;
    while (out.size() + end.size() < bytes) {
        if (kind == Kind::Records) record(r, out, ++id);
        else paragraph(r, out);
    }
    return out + end;
}

const char* kind_name(Kind kind) { return kind == Kind::Records ? "records" : "text"; }

}  // namespace zelbench
