// Files and streams: the stream calls on real files, the descriptor calls on a pipe, the
// file-system calls, and the checks that turn a wrong kind or an unsafe count into "Z".
#include "lib/streams.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "builtin_calls.h"

using namespace ruk;
using namespace ruk::calls;

namespace {

CellRef blob(std::string_view bytes) { return make_blob(bytes); }
CellRef text(const char* t) { return from_text(t); }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A fresh directory for one test, removed with what it holds at the end.
struct Scratch {
    std::string dir;
    Scratch() {
        char pattern[] = "/tmp/ruk-streams-XXXXXX";
        EXPECT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    ~Scratch() {
        std::string cmd = "rm -rf '" + dir + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    std::string path(const char* name) const { return dir + "/" + name; }
};

// A buffer the calls write into, zeroed.
struct Buffer {
    std::vector<char> bytes;
    explicit Buffer(size_t n) : bytes(n, '\0') {}
    CellRef at() { return addr(bytes.data()); }
    std::string str() const { return std::string(bytes.data()); }
};

TEST(Streams, WriteReadSeekTellAndRemoveAFile) {
    Scratch s;
    std::string path = s.path("data.bin");
    CellRef f = call("fopen", {blob(path), blob("wb")});
    ASSERT_NE(int_of(f), 0);
    // any bytes, a NUL among them
    EXPECT_EQ(int_of(call("fwrite", {blob(std::string("ab\0cd\n", 6)), num(1), num(6), f})), 6);
    EXPECT_EQ(int_of(call("fputc", {num('x' + 256), f})), 'x');  // the low byte
    EXPECT_EQ(int_of(call("putc", {num('\n'), f})), '\n');
    EXPECT_GE(int_of(call("fputs", {addr("line two\n"), f})), 0);
    EXPECT_EQ(int_of(call("fclose", {f})), 0);
    EXPECT_EQ(slurp(path), std::string("ab\0cd\nx\nline two\n", 17));

    f = call("fopen", {blob(path), blob("rb")});
    ASSERT_NE(int_of(f), 0);
    Buffer buf(64);
    EXPECT_EQ(int_of(call("fread", {buf.at(), num(2), num(3), f})), 3);
    EXPECT_EQ(std::string(buf.bytes.data(), 6), std::string("ab\0cd\n", 6));
    EXPECT_EQ(int_of(call("ftell", {f})), 6);
    EXPECT_EQ(int_of(call("fgetc", {f})), 'x');
    EXPECT_EQ(int_of(call("ungetc", {num('y'), f})), 'y');
    EXPECT_EQ(int_of(call("getc", {f})), 'y');
    EXPECT_EQ(int_of(call("getc", {f})), '\n');
    // fgets stops after the line feed and answers its buffer
    EXPECT_EQ(ptr_of(call("fgets", {buf.at(), num(64), f})), buf.bytes.data());
    EXPECT_EQ(buf.str(), "line two\n");
    EXPECT_EQ(int_of(call("feof", {f})), 0);
    EXPECT_EQ(int_of(call("fgetc", {f})), -1);
    EXPECT_NE(int_of(call("feof", {f})), 0);
    EXPECT_EQ(int_of(call("fgets", {buf.at(), num(64), f})), 0);  // null at the end
    EXPECT_TRUE(is_unit(call("clearerr", {f})));
    EXPECT_EQ(int_of(call("feof", {f})), 0);

    EXPECT_EQ(int_of(call("fseek", {f, num(-4), num(SEEK_END)})), 0);
    EXPECT_EQ(int_of(call("ftell", {f})), 13);
    EXPECT_EQ(int_of(call("fgetc", {f})), 't');
    EXPECT_EQ(int_of(call("fseek", {f, num(0), num(7)})), -1);  // no such origin
    EXPECT_TRUE(is_unit(call("rewind", {f})));
    EXPECT_EQ(int_of(call("ftell", {f})), 0);
    EXPECT_EQ(int_of(call("fclose", {f})), 0);

    EXPECT_EQ(int_of(call("remove", {blob(path)})), 0);
    EXPECT_EQ(int_of(call("remove", {blob(path)})), -1);
    EXPECT_EQ(program_errno_now(), ENOENT);
    EXPECT_EQ(int_of(call("fopen", {blob(path), blob("rb")})), 0);
}

TEST(Streams, PositionsSurviveASeekAway) {
    CellRef f = call("tmpfile");
    ASSERT_NE(int_of(f), 0);
    EXPECT_EQ(int_of(call("fwrite", {blob("0123456789"), num(10), num(1), f})), 1);
    EXPECT_EQ(int_of(call("fseek", {f, num(3), num(SEEK_SET)})), 0);
    fpos_t pos;
    EXPECT_EQ(int_of(call("fgetpos", {f, addr(&pos)})), 0);
    EXPECT_TRUE(is_unit(call("rewind", {f})));
    EXPECT_EQ(int_of(call("fsetpos", {f, addr(&pos)})), 0);
    EXPECT_EQ(int_of(call("fgetc", {f})), '3');
    EXPECT_TRUE(is_z(call("fgetpos", {f, num(0)})));  // a null position would be written
    EXPECT_EQ(int_of(call("fclose", {f})), 0);
}

TEST(Streams, PathsAndModesFollowTheStringConvention) {
    Scratch s;
    char home[4096];
    ASSERT_NE(getcwd(home, sizeof home), nullptr);
    ASSERT_EQ(chdir(s.dir.c_str()), 0);
    // a text leaf passes its text as it stands, brackets and all
    CellRef f = call("fopen", {text("[in brackets]"), blob("w")});
    ASSERT_NE(int_of(f), 0);
    EXPECT_EQ(int_of(call("fclose", {f})), 0);
    struct stat info;
    EXPECT_EQ(stat(s.path("[in brackets]").c_str(), &info), 0);
    // an integer is the address of the path
    std::string path = s.path("by address");
    f = call("fopen", {addr(path.c_str()), addr("w")});
    ASSERT_NE(int_of(f), 0);
    EXPECT_EQ(int_of(call("fclose", {f})), 0);
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    // "[w]" is no mode the C library knows
    EXPECT_EQ(int_of(call("fopen", {blob("x"), text("[w]")})), 0);
    EXPECT_EQ(program_errno_now(), EINVAL);
    ASSERT_EQ(chdir(home), 0);

    EXPECT_EQ(int_of(call("rename", {blob(path), blob(s.path("renamed"))})), 0);
    EXPECT_EQ(stat(s.path("renamed").c_str(), &info), 0);
    EXPECT_NE(int_of(call("rename", {blob(path), blob(s.path("again"))})), 0);
}

TEST(Streams, WrongKindsGiveZAndCallNothing) {
    Scratch s;
    std::string path = s.path("never");
    CellRef f = call("tmpfile");
    ASSERT_NE(int_of(f), 0);
    // the second argument refused after a good first: no file appears
    EXPECT_TRUE(is_z(call("fopen", {blob(path), flt(1.0)})));
    EXPECT_TRUE(is_z(call("fopen", {blob(path), apply(text("[w]"), text("[b]"))})));  // a data pair
    EXPECT_TRUE(is_z(call("fopen", {blob(path), num(0)})));  // no null strings
    struct stat info;
    EXPECT_NE(stat(path.c_str(), &info), 0);
    // streams are non-null integer addresses
    EXPECT_TRUE(is_z(call("fclose", {num(0)})));
    EXPECT_TRUE(is_z(call("fclose", {blob("x")})));
    EXPECT_TRUE(is_z(call("fgetc", {text("[f]")})));
    EXPECT_TRUE(is_z(call("ftell", {leaves().I})));
    EXPECT_TRUE(is_z(call("fseek", {f, text("[1]"), num(0)})));
    EXPECT_TRUE(is_z(call("fputc", {real_from_double(65), f})));
    EXPECT_TRUE(is_z(call("fdopen", {blob("1"), blob("w")})));
    // fputs takes its text by address only; puts takes a string
    EXPECT_TRUE(is_z(call("fputs", {text("[abc]"), f})));
    EXPECT_TRUE(is_z(call("fputs", {blob("abc"), f})));
    EXPECT_EQ(int_of(call("ftell", {f})), 0);  // nothing was written
    EXPECT_TRUE(is_z(call("puts", {num(0)})));
    EXPECT_TRUE(is_z(call("remove", {leaves().K})));  // K is the integer 0: a null path
    EXPECT_EQ(int_of(call("fclose", {f})), 0);
}

TEST(Streams, CountsAreNonNegativeAndBoundedByTheValue) {
    CellRef f = call("tmpfile");
    ASSERT_NE(int_of(f), 0);
    // negative size or count
    EXPECT_TRUE(is_z(call("fwrite", {blob("abc"), num(1), num(-1), f})));
    EXPECT_TRUE(is_z(call("fwrite", {blob("abc"), num(-1), num(1), f})));
    // more bytes than the blob holds (its payload and the zero after it)
    EXPECT_TRUE(is_z(call("fwrite", {blob("abc"), num(1), num(5), f})));
    EXPECT_TRUE(is_z(call("fwrite", {blob("abc"), num(2), num(3), f})));
    EXPECT_TRUE(is_z(call("fwrite", {blob("abc"), num(int64_t(1) << 62), num(4), f})));
    EXPECT_EQ(int_of(call("ftell", {f})), 0);
    EXPECT_EQ(int_of(call("fwrite", {blob("abc"), num(1), num(4), f})), 4);  // with its zero
    EXPECT_EQ(int_of(call("fwrite", {blob("abc"), num(0), num(99), f})), 0);
    EXPECT_EQ(int_of(call("fwrite", {blob(""), num(1), num(0), f})), 0);
    // a text leaf holds its text from the "[" on
    EXPECT_EQ(int_of(call("fwrite", {text("[xy]"), num(1), num(4), f})), 4);
    EXPECT_TRUE(is_z(call("fwrite", {text("[xy]"), num(1), num(6), f})));
    // an address is the program's affair, as in C
    static const char far[] = "0123456789";
    EXPECT_EQ(int_of(call("fwrite", {addr(far), num(5), num(2), f})), 2);
    EXPECT_EQ(int_of(call("ftell", {f})), 18);

    Buffer buf(32);
    EXPECT_TRUE(is_z(call("fread", {buf.at(), num(1), num(-1), f})));
    EXPECT_TRUE(is_z(call("fread", {num(0), num(1), num(1), f})));
    EXPECT_TRUE(is_unit(call("rewind", {f})));
    EXPECT_EQ(int_of(call("fread", {buf.at(), num(1), num(32), f})), 18);
    EXPECT_EQ(std::string(buf.bytes.data(), 18), std::string("abc\0[xy]0123456789", 18));
    EXPECT_EQ(int_of(call("fclose", {f})), 0);
}

TEST(Streams, DescriptorCallsOnAPipe) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EXPECT_EQ(int_of(call("write", {num(fds[1]), blob("hello"), num(5)})), 5);
    EXPECT_EQ(int_of(call("write", {num(fds[1]), text("[!]"), num(3)})), 3);
    EXPECT_TRUE(is_z(call("write", {num(fds[1]), blob("hello"), num(7)})));
    EXPECT_TRUE(is_z(call("write", {num(fds[1]), blob("hello"), num(-1)})));
    Buffer buf(16);
    EXPECT_EQ(int_of(call("read", {num(fds[0]), buf.at(), num(16)})), 8);
    EXPECT_EQ(buf.str(), "hello[!]");
    EXPECT_TRUE(is_z(call("read", {num(fds[0]), buf.at(), num(-1)})));
    EXPECT_TRUE(is_z(call("read", {num(fds[0]), num(0), num(1)})));
    // close keeps the handle convention: non-zero on success, 0 on failure
    EXPECT_EQ(int_of(call("close", {num(fds[1])})), 1);
    EXPECT_EQ(int_of(call("read", {num(fds[0]), buf.at(), num(16)})), 0);  // end of input
    EXPECT_EQ(int_of(call("close", {num(fds[0])})), 1);
    EXPECT_EQ(int_of(call("close", {num(fds[0])})), 0);
    EXPECT_EQ(program_errno_now(), EBADF);
    EXPECT_EQ(int_of(call("write", {num(fds[1]), blob("x"), num(1)})), -1);
}

TEST(Streams, DescriptorsBecomeStreamsAndBack) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    CellRef w = call("fdopen", {num(fds[1]), blob("w")});
    ASSERT_NE(int_of(w), 0);
    EXPECT_EQ(int_of(call("fileno", {w})), fds[1]);
    Buffer own(BUFSIZ);
    EXPECT_TRUE(is_unit(call("setbuf", {w, own.at()})));
    EXPECT_EQ(int_of(call("fputc", {num('q'), w})), 'q');
    EXPECT_EQ(own.bytes[0], 'q');  // the stream buffers in the program's memory
    EXPECT_EQ(int_of(call("fflush", {w})), 0);
    char got = 0;
    EXPECT_EQ(::read(fds[0], &got, 1), 1);
    EXPECT_EQ(got, 'q');
    EXPECT_EQ(int_of(call("fflush", {num(0)})), 0);  // every stream
    EXPECT_EQ(int_of(call("fclose", {w})), 0);
    ::close(fds[0]);
    EXPECT_EQ(int_of(call("fdopen", {num(fds[1]), blob("w")})), 0);  // closed with its stream
}

TEST(Streams, StandardStreamsTakeTextsAndMessages) {
    testing::internal::CaptureStdout();
    EXPECT_GE(int_of(call("puts", {text("[as it stands]")})), 0);
    EXPECT_GE(int_of(call("puts", {blob("payload")})), 0);
    EXPECT_GE(int_of(call("fputs", {addr("by address\n"), call("stdout")})), 0);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[as it stands]\npayload\nby address\n");

    EXPECT_EQ(int_of(call("remove", {blob("/nonexistent/ruk")})), -1);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(is_unit(call("perror", {blob("gone")})));
    EXPECT_TRUE(is_unit(call("perror", {num(0)})));  // only the message
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("gone: ") + std::strerror(ENOENT) + "\n" + std::strerror(ENOENT) + "\n");
    EXPECT_TRUE(is_z(call("perror", {flt(2.0)})));
}

TEST(Streams, TemporaryNamesAndFiles) {
    CellRef a = call("tmpnam", {num(0)});
    const char* name = ptr_of(a);
    ASSERT_NE(name, nullptr);
    std::string first = name;
    EXPECT_EQ(first.rfind("/tmp/", 0), 0u);
    EXPECT_LT(first.size(), size_t(L_tmpnam));
    struct stat info;
    EXPECT_NE(lstat(name, &info), 0);  // free when made
    // null: the one static buffer again, with a new name in it
    EXPECT_EQ(ptr_of(call("tmpnam", {num(0)})), name);
    EXPECT_NE(std::string(name), first);
    char mine[L_tmpnam];
    EXPECT_EQ(ptr_of(call("tmpnam", {addr(mine)})), mine);
    EXPECT_EQ(std::string(mine).rfind("/tmp/", 0), 0u);
    EXPECT_TRUE(is_z(call("tmpnam", {blob("x")})));

    // errno is left as the program had it
    EXPECT_EQ(int_of(call("raise", {num(0)})), 0);
    int before = program_errno_now();
    (void)call("tmpnam", {num(0)});
    EXPECT_EQ(program_errno_now(), before);

    CellRef f = call("tmpfile");
    ASSERT_NE(int_of(f), 0);
    EXPECT_GE(int_of(call("fputs", {addr("x"), f})), 0);
    EXPECT_EQ(int_of(call("ftell", {f})), 1);
    EXPECT_EQ(int_of(call("fclose", {f})), 0);
}

TEST(Streams, ErrorsOfTheCLibraryAreItsReturnValues) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    CellRef r = call("fdopen", {num(fds[0]), blob("r")});
    ASSERT_NE(int_of(r), 0);
    EXPECT_EQ(int_of(call("fputc", {num('x'), r})), -1);  // writing a read stream
    EXPECT_NE(int_of(call("ferror", {r})), 0);
    EXPECT_TRUE(is_unit(call("clearerr", {r})));
    EXPECT_EQ(int_of(call("ferror", {r})), 0);
    EXPECT_EQ(int_of(call("ftell", {r})), -1);  // a pipe has no position
    EXPECT_EQ(program_errno_now(), ESPIPE);
    EXPECT_EQ(int_of(call("fclose", {r})), 0);
    ::close(fds[1]);
}

}  // namespace
