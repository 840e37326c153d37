// The directory listing: every entry of a directory the test builds, with its type and
// the look-ahead offset, the records as programs read them, and the errno of failures.
#include "lib/dirs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "builtin_calls.h"

using namespace ruk;
using namespace ruk::calls;

namespace {

// What a program reads out of an entry record, field by field at the documented offsets.
struct Seen {
    std::string name;
    uint32_t type;
    int32_t offset;
};
template <class T>
T field(const char* record, size_t offset) {
    T v;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}

// Every entry of a listing through the builtins, checking each record's fixed fields and
// that readdir hands back the same record each time.
std::vector<Seen> list(const std::string& path) {
    CellRef d = call("opendir", {addr(path.c_str())});
    EXPECT_NE(int_of(d), 0) << path;
    std::vector<Seen> out;
    if (int_of(d) == 0) return out;
    for (;;) {
        CellRef e = call("readdir", {d});
        const char* r = ptr_of(e);
        if (r == nullptr) break;
        EXPECT_EQ(r, ptr_of(d));  // the entry is the start of the stream record
        EXPECT_EQ(field<uint32_t>(r, 0), 0u);
        EXPECT_EQ(field<uint16_t>(r, 8), 296);
        std::string name(r + 28);
        EXPECT_EQ(field<uint64_t>(r, 16), name.size());
        out.push_back({name, field<uint32_t>(r, 24), field<int32_t>(r, 4)});
    }
    EXPECT_EQ(int_of(call("readdir", {d})), 0);  // and again at the end
    EXPECT_EQ(int_of(call("closedir", {d})), 0);
    return out;
}

uint32_t djb2_31(const std::string& s) {
    uint32_t h = 5381;
    for (unsigned char c : s) h = h * 33 + c;
    return h & 0x7FFFFFFF;
}

struct Tree {
    std::string dir;
    Tree() {
        char pattern[] = "/tmp/ruk-dirs-XXXXXX";
        EXPECT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        std::ofstream(dir + "/plain.txt") << "x";
        std::ofstream(dir + "/.hidden") << "";
        EXPECT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
        EXPECT_EQ(symlink("plain.txt", (dir + "/link").c_str()), 0);
        EXPECT_EQ(symlink("nowhere", (dir + "/dangling").c_str()), 0);
        EXPECT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
    }
    ~Tree() { EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0); }
};

TEST(Directories, ListEveryEntryWithItsType) {
    Tree t;
    std::vector<Seen> seen = list(t.dir);
    std::map<std::string, uint32_t> types;
    for (const Seen& s : seen) EXPECT_TRUE(types.emplace(s.name, s.type).second) << s.name;
    std::map<std::string, uint32_t> want = {
        {".", 0x4000},   {"..", 0x4000},   {"plain.txt", 0x8000}, {".hidden", 0x8000},
        {"sub", 0x4000}, {"link", 0xC000}, {"dangling", 0xC000},  {"pipe", 0x8000},
    };
    EXPECT_EQ(types, want);

    // each offset is the hash of the next entry's name; the last says it is the last
    ASSERT_FALSE(seen.empty());
    for (size_t i = 0; i + 1 < seen.size(); ++i)
        EXPECT_EQ(uint32_t(seen[i].offset), djb2_31(seen[i + 1].name)) << seen[i].name;
    EXPECT_EQ(seen.back().offset, 0x7FFFFFFF);

    // with a trailing slash, the same entries in the same order
    std::vector<Seen> again = list(t.dir + "/");
    ASSERT_EQ(again.size(), seen.size());
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(again[i].name, seen[i].name);
}

TEST(Directories, DevicesAreCharacterDevices) {
    bool found = false;
    for (const Seen& s : list("/dev"))
        if (s.name == "null") {
            found = true;
            EXPECT_EQ(s.type, 0x2000u);
        }
    EXPECT_TRUE(found);
}

TEST(Directories, TheHashIsDjb2On31Bits) {
    EXPECT_EQ(name_hash(""), 5381);
    EXPECT_EQ(name_hash("a"), 5381 * 33 + 'a');
    std::string long_name(300, '\xff');
    EXPECT_EQ(uint32_t(name_hash(long_name)), djb2_31(long_name.substr(0, 260)));
    EXPECT_EQ(uint32_t(name_hash("..")), djb2_31(".."));
}

TEST(Directories, FailuresSetTheErrnoPrograms) {
    Tree t;
    std::string file = t.dir + "/plain.txt";
    std::string missing = t.dir + "/missing";
    const std::pair<const char*, int> cases[] = {
        {missing.c_str(), ENOENT},
        {file.c_str(), ENOTDIR},
        {"", ENOENT},
    };
    for (const auto& [path, code] : cases) {
        EXPECT_EQ(int_of(call("opendir", {addr(path)})), 0) << path;
        EXPECT_EQ(program_errno_now(), code) << path;
    }
    EXPECT_EQ(int_of(call("opendir", {num(0)})), 0);
    EXPECT_EQ(program_errno_now(), ENOENT);
    if (geteuid() != 0) {  // the superuser reads anything
        std::string locked = t.dir + "/sub";
        ASSERT_EQ(chmod(locked.c_str(), 0), 0);
        EXPECT_EQ(int_of(call("opendir", {addr(locked.c_str())})), 0);
        EXPECT_EQ(program_errno_now(), EACCES);
        ASSERT_EQ(chmod(locked.c_str(), 0755), 0);
    }

    // a null or closed stream is a bad descriptor, not a crash
    EXPECT_EQ(int_of(call("closedir", {num(0)})), -1);
    EXPECT_EQ(program_errno_now(), EBADF);
    EXPECT_EQ(int_of(call("readdir", {num(0)})), 0);
    EXPECT_EQ(program_errno_now(), EBADF);
    DirectoryStream closed{};
    EXPECT_EQ(int_of(call("readdir", {addr(&closed)})), 0);
    EXPECT_EQ(int_of(call("closedir", {addr(&closed)})), -1);
    EXPECT_EQ(program_errno_now(), EBADF);
}

TEST(Directories, OnlyIntegersAreAccepted) {
    Tree t;
    // the path is an address, not a string
    EXPECT_TRUE(is_z(call("opendir", {make_blob(t.dir)})));
    EXPECT_TRUE(is_z(call("opendir", {from_text("[/tmp]")})));
    EXPECT_TRUE(is_z(call("readdir", {flt(1.0)})));
    EXPECT_TRUE(is_z(call("closedir", {leaves().I})));
    EXPECT_EQ(int_of(call("dir")), 304);
    EXPECT_EQ(int_of(call("dirent")), 296);
}

TEST(Directories, StreamsAreIndependent) {
    Tree t;
    CellRef a = call("opendir", {addr(t.dir.c_str())});
    CellRef b = call("opendir", {addr(t.dir.c_str())});
    ASSERT_NE(int_of(a), 0);
    ASSERT_NE(int_of(b), 0);
    EXPECT_NE(int_of(a), int_of(b));
    std::string first(ptr_of(call("readdir", {a})) + 28);
    std::string second(ptr_of(call("readdir", {a})) + 28);
    EXPECT_EQ(std::string(ptr_of(call("readdir", {b})) + 28), first);
    EXPECT_EQ(std::string(ptr_of(call("readdir", {b})) + 28), second);
    EXPECT_EQ(int_of(call("closedir", {a})), 0);
    EXPECT_EQ(int_of(call("closedir", {b})), 0);
}

}  // namespace
