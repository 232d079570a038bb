// Progress reports of the event-driven readers: the estimate, its arithmetic, the element
// filter and the final report of 100.
#include "sax_helpers.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using SaxProgress = ParserTest;

std::vector<double> percents(const Recorder& r) {
    std::vector<double> out;
    for (const Recorder::Progress& p : r.progress) out.push_back(p.percent);
    return out;
}

std::vector<int32_t> counts(const Recorder& r) {
    std::vector<int32_t> out;
    for (const Recorder::Progress& p : r.progress) out.push_back(p.nodeCount);
    return out;
}

TEST_F(SaxProgress, EstimateCountsNamesTextAndIgnorableWhiteSpaceOnly) {
    // One empty element in 4 bytes: name length 1 + 5 = 6, so 150 at its end, then 100.
    Recorder tiny;
    XMLParseCallbacks cb = tiny.callbacks();
    read_memory("<a/>", &cb);
    EXPECT_EQ(percents(tiny), (std::vector<double>{150.0, 100.0}));
    EXPECT_EQ(counts(tiny), (std::vector<int32_t>{1, 1}));

    // Attributes, comments and processing instructions add nothing to the estimate.
    Recorder quiet;
    cb = quiet.callbacks();
    std::string doc = "<a x=\"a long attribute value\"><!-- comment --><?pi data?></a>";
    read_memory(doc, &cb);
    EXPECT_EQ(percents(quiet), (std::vector<double>{6.0 / doc.size() * 100.0, 100.0}));

    // White space in element-only content (declared by the DTD) counts though it makes no
    // record; character data counts in UTF-16 units.
    Recorder dtd;
    cb = dtd.callbacks();
    doc = "<!DOCTYPE a [<!ELEMENT a (b)><!ELEMENT b (#PCDATA)>]><a>  <b>\xC3\xA9t\xC3\xA9</b> </a>";
    int32_t count = 0;
    read_memory(doc, &cb, &count);
    double total = static_cast<double>(doc.size());
    double at_b = (6.0 + 2 + 6 + 3) / total * 100.0;
    double at_a = (6.0 + 2 + 6 + 3 + 1) / total * 100.0;
    EXPECT_EQ(percents(dtd), (std::vector<double>{at_b, at_a, 100.0}));
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(dtd.diagnostics.empty());
}

TEST_F(SaxProgress, PercentDividesFirstAndIsNotClamped) {
    // Five trailing spaces make 9 bytes: 6 / 9 * 100 and 600 / 9 differ in the last bit.
    const double divided_first = 6.0 / 9.0 * 100.0;
    ASSERT_NE(divided_first, 600.0 / 9.0);
    Recorder r;
    XMLParseCallbacks cb = r.callbacks();
    read_memory("<a/>     ", &cb);
    ASSERT_EQ(r.progress.size(), 2u);
    EXPECT_EQ(r.progress[0].percent, divided_first);

    // Dense short elements push the estimate past 100 before the final report.
    Recorder dense;
    cb = dense.callbacks();
    read_memory("<a><b/><b/><b/></a>", &cb);
    ASSERT_EQ(dense.progress.size(), 5u);
    EXPECT_GT(dense.progress[3].percent, 100.0);
    EXPECT_EQ(dense.progress[4].percent, 100.0);
    EXPECT_EQ(counts(dense), (std::vector<int32_t>{2, 3, 4, 4, 4}));
}

const char kItems[] = "<list><item>1</item><other/><item>2</item><item><item2/></item></list>";

TEST_F(SaxProgress, FilterReportsOnlyMatchingElementEnds) {
    Recorder filtered;
    XMLParseCallbacks cb = filtered.callbacks(1, "item");
    read_memory(kItems, &cb);
    // Three item ends (not item2, not other, not list), then the final 100.
    EXPECT_EQ(counts(filtered), (std::vector<int32_t>{3, 6, 8, 8}));
    ASSERT_EQ(filtered.progress.size(), 4u);
    EXPECT_EQ(filtered.progress.back().percent, 100.0);

    // Any filterMode other than 1 reports every element end and ignores the name.
    for (int32_t mode : {0, 2, -1}) {
        Recorder every;
        cb = every.callbacks(mode, "item");
        read_memory(kItems, &cb);
        EXPECT_EQ(every.progress.size(), 7u) << mode;
    }

    // The name is compared exactly, case included.
    Recorder cased;
    cb = cased.callbacks(1, "Item");
    read_memory(kItems, &cb);
    EXPECT_EQ(percents(cased), (std::vector<double>{100.0}));
}

TEST_F(SaxProgress, FilterNameIsReadAtMostThirtyOneBytes) {
    // A filterName filled to all 32 bytes with no terminator: the first 31 bytes are used.
    Recorder r;
    XMLParseCallbacks cb = r.callbacks(1);
    std::memset(cb.filterName, 'n', sizeof cb.filterName);
    std::string name(31, 'n');
    read_memory("<" + name + "><" + name + "/><n/></" + name + ">", &cb);
    EXPECT_EQ(counts(r), (std::vector<int32_t>{2, 3, 3}));
}

TEST_F(SaxProgress, CallbacksRecordIsCopiedBeforeTheParse) {
    // Changing the record from inside a callback has no effect on the running read.
    struct Mutating {
        XMLParseCallbacks cb;
        int calls = 0;
        static void on_progress(double, int32_t, void* user) {
            auto* self = static_cast<Mutating*>(user);
            ++self->calls;
            self->cb.progressCallback = nullptr;
            self->cb.filterMode = 1;
        }
    } m;
    m.cb = XMLParseCallbacks{};
    m.cb.progressCallback = &Mutating::on_progress;
    m.cb.userData = &m;
    read_memory("<a><b/><c/></a>", &m.cb);
    EXPECT_EQ(m.calls, 4);
}

TEST_F(SaxProgress, WideReaderMeasuresBytes) {
    // 25 UTF-16 units are 50 bytes; the one element gives an estimate of 6.
    Recorder r;
    XMLParseCallbacks cb = r.callbacks();
    std::vector<uint16_t> wide = to_wide("<?xml version=\"1.0\"?><a/>");
    ASSERT_EQ(SAX_XMLMemWideCharRead(wide.data(), make_root().get(), &cb, nullptr), ZEL_XML_OK);
    EXPECT_EQ(percents(r), (std::vector<double>{6.0 / 50.0 * 100.0, 100.0}));
}

}  // namespace
