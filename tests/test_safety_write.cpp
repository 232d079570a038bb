// Writing never crashes on a deep tree: the depth a write accepts follows the calling
// thread's stack, with a per-level margin that is measured here.
#include "dom_helpers.hpp"
#include "dom_write.hpp"
#include "io/write/depth.hpp"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class SafetyWrite : public ParserTest {};

const std::string kUnexpected = "\nUnexpected exception during parsing: ";

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

// Measured on the reference writer (oracle/), whose serialiser recurses once per element
// level under the same depth limit.
TEST_F(SafetyWrite, SerialiserStackUsePerLevelIsWellInsideTheMargin) {
    PaintedStack stack(8 << 20);
    for (bool mixed : {true, false}) {
        auto used_by = [&](std::size_t levels) {
            Root root = chain(levels, mixed);
            ScratchFile file;
            ZEL_XML_RESULT result = -1;
            std::size_t used = stack.measure([&] { result = oracle::dom_write(file.path(), "UTF-8", root.get()); });
            EXPECT_EQ(result, ZEL_XML_OK);
            return used;
        };
        // Indentation grows with the square of the depth, so the chains stay short.
        const std::size_t shallow = used_by(1000);
        const std::size_t deep = used_by(4000);
        const double per_level = static_cast<double>(deep - shallow) / 3000.0;
        std::printf("serialiser stack per level (%s): %.1f bytes; margin %zu\n", mixed ? "mixed" : "indented",
                    per_level, zel::write::kStackBytesPerLevel);
        EXPECT_GT(per_level, 16.0) << "the serialiser recurses per level";
        EXPECT_LE(per_level * 1.5, static_cast<double>(zel::write::kStackBytesPerLevel));
        EXPECT_LT(shallow, zel::write::kStackReserve + 1000 * zel::write::kStackBytesPerLevel);
    }
}

TEST_F(SafetyWrite, MainThreadRefusesAMillionLevelsAndWritesTenThousand) {
    const std::size_t limit = zel::write::max_write_depth();
    std::printf("write depth limit on the main thread: %zu levels\n", limit);
    EXPECT_EQ(limit, zel::write::kMaxWriteDepth) << "an 8 MB stack has room for the whole fixed limit";

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
    stack.measure([&] { limit = zel::write::max_write_depth(); });
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

// A scratch folder, removed with what is left in it when the test ends.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/zel_xml3_dirXXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~ScratchFolder() {
        for (const std::string& name : entries()) std::remove((path_ + "/" + name).c_str());
        ::rmdir(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const char* name) const { return path_ + "/" + name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        DIR* dir = opendir(path_.c_str());
        while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr)
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.push_back(entry->d_name);
        if (dir != nullptr) closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

void put(const std::string& path, const std::string& contents) { std::ofstream(path, std::ios::binary) << contents; }

Root small_document() {
    Root root = make_root("doc");
    XMLCreateTextNode("v", XMLCreateElementNode("k", root.get()));
    return root;
}

const std::string kSmallDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n<doc>\n  <k>v</k>\n</doc>\n";
const std::string kOutputFailure = "An error occurred during creation of output transcoder. Msg is:\n";

TEST_F(SafetyWrite, ReplacingAFileKeepsItsModeAndLinksAndLeavesNoTemporaryFile) {
    ScratchFolder folder;
    const std::string target = folder.file("doc.xml");
    put(target, "old");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("doc.xml", folder.file("link.xml").c_str()), 0);
    Root root = small_document();

    for (const std::string& path : {target, folder.file("link.xml")}) {
        put(target, "old");
        EXPECT_EQ(write_document(path.c_str(), "UTF-8", root.get()).result, ZEL_XML_OK) << path;
        EXPECT_EQ(file_contents(target), kSmallDocument) << path;
        struct stat info;
        ASSERT_EQ(stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u) << path;
        ASSERT_EQ(lstat(folder.file("link.xml").c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link still leads to the file";
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"doc.xml", "link.xml"}));
    }
}

// A write that fails part way (the file size limit stops it after 16 KB; the captured
// messages stay under it) reports 4 and leaves the old document whole, with no temporary
// file behind.
TEST_F(SafetyWrite, FailedWriteLeavesTheOldFileIntact) {
    ScratchFolder folder;
    const std::string target = folder.file("doc.xml");
    put(target, "precious");
    Root root = small_document();
    for (int i = 0; i < 1000; ++i) XMLCreateTextNode("a line long enough to pass the limit", XMLCreateElementNode("k", root.get()));

    struct rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    struct rlimit small = old_limit;
    small.rlim_cur = 16 * 1024;
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    WriteOutcome out = write_document(target.c_str(), "UTF-8", root.get());
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(out.result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(out.messages, kOutputFailure + "unable to write data to file\n");
    EXPECT_EQ(file_contents(target), "precious");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"doc.xml"});

    // A character the encoding cannot hold stops the serialiser midway: the old file (alone,
    // or with a second link, written in place) stays as it was, and a new file is not left.
    XMLCreateElementNode("caf\xc3\xa9", root.get());  // a name cannot be escaped
    const std::string link = folder.file("link.xml");
    const std::string fresh = folder.file("new.xml");
    for (bool linked : {false, true}) {
        if (linked) {
            ASSERT_EQ(::link(target.c_str(), link.c_str()), 0);
        }
        EXPECT_EQ(write_document(target.c_str(), "US-ASCII", root.get()).result, ZEL_XML_EXCEPTION);
        EXPECT_EQ(file_contents(target), "precious") << linked;
    }
    EXPECT_EQ(write_document(fresh.c_str(), "US-ASCII", root.get()).result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"doc.xml", "link.xml"}));
}

// Devices and pipes are written directly; a full device gives 4 through both functions.
TEST_F(SafetyWrite, NonRegularTargetsAreWrittenDirectly) {
    Root root = small_document();
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    WriteOutcome through_handle;
    through_handle.messages = capture_stderr([&] { through_handle.result = XMLWriteFH(full, "UTF-8", root.get()); });
    std::fclose(full);
    EXPECT_EQ(through_handle.result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(through_handle.messages, kOutputFailure + "unable to write data to file\n");
    EXPECT_EQ(write_document("/dev/full", "UTF-8", root.get()).result, ZEL_XML_EXCEPTION);
    EXPECT_EQ(write_document("/dev/null", "UTF-8", root.get()).result, ZEL_XML_OK);

    ScratchFolder folder;
    const std::string fifo = folder.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = file_contents(fifo); });
    EXPECT_EQ(write_document(fifo.c_str(), "UTF-8", root.get()).result, ZEL_XML_OK);
    reader.join();
    EXPECT_EQ(received, kSmallDocument);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"pipe"});
}

// The rules that permissions decide, checked by an unprivileged process in `folder`, which
// holds doc.xml and new.xml: a file it may not write is refused and kept, a file in a folder
// it may not write is written in place, and so is a file of another owner that it may
// write in a sticky folder that is not its own. 0 when all hold, else the failing step.
int write_rules_unprivileged(const ScratchFolder& folder, const XMLNode* root) {
    const std::string target = folder.file("doc.xml");
    put(target, "old");
    if (chmod(target.c_str(), 0444) != 0) return 1;
    WriteOutcome refused = write_document(target.c_str(), "UTF-8", root);
    if (refused.result != ZEL_XML_EXCEPTION || refused.messages.rfind(kOutputFailure, 0) != 0) return 2;
    if (file_contents(target) != "old") return 3;
    chmod(target.c_str(), 0644);
    chmod(folder.file("").c_str(), 0555);
    bool written = write_document(target.c_str(), "UTF-8", root).result == ZEL_XML_OK;
    chmod(folder.file("").c_str(), 0755);
    if (!written || file_contents(target) != kSmallDocument) return 4;
    if (folder.entries() != std::vector<std::string>{"doc.xml", "new.xml"}) return 5;
    return 0;
}

// As an unprivileged process: `file`, another owner's and writable by all, in a sticky
// folder that is not ours either, cannot be replaced by a rename, so it is written in place.
int sticky_folder_rule_unprivileged(const std::string& file, const XMLNode* root) {
    if (write_document(file.c_str(), "UTF-8", root).result != ZEL_XML_OK) return 1;
    return file_contents(file) == kSmallDocument ? 0 : 2;
}

// A new file follows the umask; a file with other hard links is written in place, so every
// link sees the document; a file the process may not write gives 4 and stays, even in a
// folder it may write; a folder it may not write still lets a writable file be rewritten.
TEST_F(SafetyWrite, NewFilesHardLinksAndPermissionsDecideHowAFileIsWritten) {
    ScratchFolder folder;
    Root root = small_document();
    struct stat info;
    mode_t old_mask = umask(027);
    WriteOutcome fresh = write_document(folder.file("new.xml").c_str(), "UTF-8", root.get());
    umask(old_mask);
    EXPECT_EQ(fresh.result, ZEL_XML_OK);
    ASSERT_EQ(stat(folder.file("new.xml").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    const std::string target = folder.file("doc.xml");
    put(target, "old");
    ASSERT_EQ(link(target.c_str(), folder.file("other.xml").c_str()), 0);
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    const ino_t inode = info.st_ino;
    EXPECT_EQ(write_document(target.c_str(), "UTF-8", root.get()).result, ZEL_XML_OK);
    EXPECT_EQ(file_contents(folder.file("other.xml")), kSmallDocument);
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_ino, inode);
    EXPECT_EQ(info.st_nlink, 2u);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"doc.xml", "new.xml", "other.xml"}));

    ASSERT_EQ(unlink(folder.file("other.xml").c_str()), 0);
    // Permissions bind only an unprivileged process: run as root, the checks run in a child
    // that gives up its privileges, on files made its own (or, for the sticky folder, not).
    if (geteuid() == 0) {
        ASSERT_EQ(chown(folder.file("").c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
        // A child process of its own (not a death test: the checks capture stderr themselves).
        auto as_nobody = [](auto check) {
            pid_t child = fork();
            if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 ? check() : 99);
            int status = -1;
            waitpid(child, &status, 0);
            return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
        };
        EXPECT_EQ(as_nobody([&] { return write_rules_unprivileged(folder, root.get()); }), 0);
        const std::string sticky = folder.file("sticky");
        const std::string file = sticky + "/shared.xml";
        ASSERT_EQ(mkdir(sticky.c_str(), 0777), 0);
        ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);
        put(file, "old");
        ASSERT_EQ(chmod(file.c_str(), 0666), 0);
        EXPECT_EQ(as_nobody([&] { return sticky_folder_rule_unprivileged(file, root.get()); }), 0);
        std::remove(file.c_str());
        ::rmdir(sticky.c_str());
    } else {
        EXPECT_EQ(write_rules_unprivileged(folder, root.get()), 0);
    }
}

}  // namespace
