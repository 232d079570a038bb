// Writing never crashes on a deep tree: the depth a write accepts follows the calling
// thread's stack, with a per-level margin that is measured here.
#include "dom_helpers.hpp"
#include "io/records_to_dom.hpp"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <pthread.h>

namespace {

class SafetyWrite : public ParserTest {};

const std::string kUnexpected = "\nUnexpected exception during parsing: ";

// A chain of `levels` nested elements. With `mixed`, text beside the first child makes the
// document mixed, so the serialiser writes it without indentation.
Root chain(std::size_t levels, bool mixed = true) {
    Root root = make_root("n");
    if (mixed) XMLCreateTextNode("top", root.get());
    XMLNode* at = root.get();
    for (std::size_t i = 1; i < levels; ++i) at = XMLCreateElementNode("n", at);
    XMLCreateTextNode("end", at);
    return root;
}

std::size_t depth_of(const XMLNode* root) {
    std::size_t levels = 1;
    for (const XMLNode* at = root; at->children.count > 0;) {
        const XMLNode* last = at->children.items[at->children.count - 1];
        if (last->type != XML_ELEMENT_NODE) break;
        at = last;
        ++levels;
    }
    return levels;
}

// Runs `body` on a new thread whose stack is `stack` (its `size` bytes owned by the caller).
void run_on_stack(void* stack, std::size_t size, const std::function<void()>& body) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(pthread_attr_setstack(&attributes, stack, size), 0);
    pthread_t thread;
    auto trampoline = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, trampoline, const_cast<std::function<void()>*>(&body)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// A thread stack filled with a pattern first: afterwards the lowest changed byte shows the
// deepest point the stack reached.
class PaintedStack {
public:
    explicit PaintedStack(std::size_t size) : size_(size) {
        EXPECT_EQ(posix_memalign(&memory_, 4096, size_), 0);
    }
    ~PaintedStack() { std::free(memory_); }
    PaintedStack(const PaintedStack&) = delete;
    PaintedStack& operator=(const PaintedStack&) = delete;

    // Bytes of stack `body` used at its deepest, the thread's own set-up included.
    std::size_t measure(const std::function<void()>& body) {
        std::memset(memory_, kPaint, size_);
        run_on_stack(memory_, size_, body);
        const auto* bytes = static_cast<const unsigned char*>(memory_);
        std::size_t untouched = 0;
        while (untouched < size_ && bytes[untouched] == kPaint) ++untouched;
        return size_ - untouched;
    }

private:
    static constexpr unsigned char kPaint = 0xA5;
    void* memory_ = nullptr;
    std::size_t size_;
};

TEST_F(SafetyWrite, SerialiserStackUsePerLevelIsWellInsideTheMargin) {
    PaintedStack stack(8 << 20);
    for (bool mixed : {true, false}) {
        auto used_by = [&](std::size_t levels) {
            Root root = chain(levels, mixed);
            ScratchFile file;
            ZEL_XML_RESULT result = -1;
            std::size_t used = stack.measure([&] { result = XMLWrite(file.path(), "UTF-8", root.get()); });
            EXPECT_EQ(result, ZEL_XML_OK);
            return used;
        };
        // Indentation grows with the square of the depth, so the chains stay short.
        const std::size_t shallow = used_by(1000);
        const std::size_t deep = used_by(4000);
        const double per_level = static_cast<double>(deep - shallow) / 3000.0;
        std::printf("serialiser stack per level (%s): %.1f bytes; margin %zu\n", mixed ? "mixed" : "indented",
                    per_level, zel::dom::kStackBytesPerLevel);
        EXPECT_GT(per_level, 16.0) << "the serialiser recurses per level";
        EXPECT_LE(per_level * 1.5, static_cast<double>(zel::dom::kStackBytesPerLevel));
        EXPECT_LT(shallow, zel::dom::kStackReserve + 1000 * zel::dom::kStackBytesPerLevel);
    }
}

TEST_F(SafetyWrite, MainThreadRefusesAMillionLevelsAndWritesTenThousand) {
    const std::size_t limit = zel::dom::max_write_depth();
    std::printf("write depth limit on the main thread: %zu levels\n", limit);
    EXPECT_EQ(limit, zel::dom::kMaxWriteDepth) << "an 8 MB stack has room for the whole fixed limit";

    Root huge = chain(1000000);
    ScratchFile kept("precious");
    WriteOutcome refused = write_document(kept.path(), "UTF-8", huge.get());
    EXPECT_EQ(refused.result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(refused.messages, kUnexpected + kept.path() + "\n");
    EXPECT_EQ(kept.read(), "precious");

    Root deep = chain(10000);
    ScratchFile file;
    EXPECT_EQ(write_document(file.path(), "UTF-8", deep.get()).result, ZEL_XML_OK);
    ReadOutcome back = read_document(file.path());
    EXPECT_EQ(back.result, ZEL_XML_OK);
    EXPECT_EQ(depth_of(back.root.get()), 10000u);
}

TEST_F(SafetyWrite, SmallThreadStackLowersTheLimitWithoutCrashing) {
    constexpr std::size_t kStack = 512 * 1024;
    PaintedStack stack(kStack);
    std::size_t limit = 0;
    stack.measure([&] { limit = zel::dom::max_write_depth(); });
    std::printf("write depth limit on a 512 KB thread: %zu levels\n", limit);
    EXPECT_GT(limit, 1000u);
    EXPECT_LT(limit, kStack / 128);

    // A tree just inside the limit (the write's own frames sit a little lower than this
    // test's) is written on that thread; one just past it, and one of 10,000 levels, are not.
    for (std::size_t levels : {limit - 16, limit + 16, std::size_t{10000}}) {
        Root root = chain(levels, false);
        ScratchFile file("precious");
        WriteOutcome out;
        stack.measure([&] { out = write_document(file.path(), "UTF-8", root.get()); });
        if (levels < limit) {
            EXPECT_EQ(out.result, ZEL_XML_OK) << out.messages;
            EXPECT_EQ(depth_of(read_document(file.path()).root.get()), levels);
        } else {
            EXPECT_EQ(out.result, ZEL_XML_EXCEPTION) << levels;
            EXPECT_EQ(out.messages, kUnexpected + file.path() + "\n");
            EXPECT_EQ(file.read(), "precious");
        }
    }
}

}  // namespace
