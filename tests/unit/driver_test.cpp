// Runs the built interpreter as a child process and checks its exit status and its
// output, byte for byte.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;  // exit status, or -1 when the child did not exit normally
    std::string out, err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Position code of an error text: five digits of the 64-character alphabet.
std::string position_code(long p) {
    const std::string alphabet =
        ",_abcdefghijklmnopqrustvwzxy0123456789ABCDEFGHIJKLMNOPQRUSTVWZXY";
    std::string code(5, ',');
    for (int i = 4; i >= 0; --i, p /= 64) code[i] = alphabet[p % 64];
    return code;
}

std::string start_report(const std::string& shown_name) {
    return "Error.\n Type: Start\n Name: \"" + shown_name +
           "\"\nCould not read program file.\n\\/\n";
}

std::string dangling_report(long position) {
    return "\033[mError.\n Type: Match\nMatch[" + position_code(position) +
           "]Left dangling parenthesis.\n\\/\n";
}

class Driver : public ::testing::Test {
   protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ruk_driver_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directory(dir_ / "work");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir_ / "work", fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    // Runs ruk with these arguments from the folder work/, stdin from /dev/null.
    Outcome run(const std::vector<std::string>& args) {
        fs::path out = dir_ / "stdout", err = dir_ / "stderr", cwd = dir_ / "work";
        std::vector<char*> argv{const_cast<char*>(RUK_BINARY)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            int in = open("/dev/null", O_RDONLY);
            int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || o < 0 || e < 0 || chdir(cwd.c_str()) != 0) _exit(126);
            dup2(in, 0), dup2(o, 1), dup2(e, 2);
            execv(RUK_BINARY, argv.data());
            _exit(127);
        }
        Outcome result;
        int wstatus = 0;
        if (pid < 0 || waitpid(pid, &wstatus, 0) != pid) return result;
        if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
        result.out = slurp(out);
        result.err = slurp(err);
        return result;
    }

    fs::path work(const std::string& name) { return dir_ / "work" / name; }

    fs::path dir_;
};

TEST_F(Driver, WithoutProgramFilePrintsUsage) {
    Outcome r = run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error.\n Type: Usage\nUsage: ruk file arg0 arg1 arg2 ...\n\\/\n");
}

TEST_F(Driver, MissingProgramFileGivesStartReportWithEscapedName) {
    Outcome r = run({"a\\b"});
    EXPECT_EQ(r.status, 128);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, start_report("a\\x5Cb"));

    r = run({"tab\there\xE9\x7F", "arg0", "arg1"});
    EXPECT_EQ(r.status, 128);
    EXPECT_EQ(r.err, start_report("tab\\x09here\\xE9\\x7F"));

    r = run({""});
    EXPECT_EQ(r.status, 128);
    EXPECT_EQ(r.err, start_report(""));

    r = run({"no/such/dir/p.ruk"});
    EXPECT_EQ(r.status, 128);
    EXPECT_EQ(r.err, start_report("no/such/dir/p.ruk"));
}

TEST_F(Driver, UnreadableProgramFileIsNotTakenForAnEmptyProgram) {
    // A directory opens but cannot be read.
    fs::create_directory(work("folder"));
    Outcome r = run({"folder"});
    EXPECT_EQ(r.status, 128);
    EXPECT_EQ(r.err, start_report("folder"));

    if (geteuid() != 0) {  // permissions do not stop root
        spit(work("locked.ruk"), "");
        fs::permissions(work("locked.ruk"), fs::perms::none);
        r = run({"locked.ruk"});
        EXPECT_EQ(r.status, 128);
        EXPECT_EQ(r.err, start_report("locked.ruk"));
    }
}

TEST_F(Driver, ExtraArgumentsAreLeftToTheProgram) {
    spit(work("seven.ruk"), "a\\K 7 a");
    Outcome r = run({"seven.ruk", "x", "", "y z"});
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    // An empty program is the placeholder alone, which nothing defines.
    spit(work("empty.ruk"), "");
    r = run({"empty.ruk", "x"});
    EXPECT_EQ(r.status, 128);
    EXPECT_EQ(r.err, "\033[mError.\n Type: Alive\n Name: }\n"
                     "Alive [}] referenced by [TOP] but not defined.\n\\/\n");
}

// Needs the bracket check: the position of a lone ")" shows how much of the file was read.
TEST_F(Driver, ProgramFileIsReadWholeAcrossChunks) {
    // Filler without brackets, with NULs, CRs, newlines and high bytes.
    std::string piece("ab\0\r\ncd \xE9\r\0 7 \x01\x7F\xFF\r\n", 19);
    for (long at : {0L, 4094L, 4095L, 4096L, 8190L, 8191L, 3'000'001L}) {
        std::string text;
        text.reserve(at + 32);
        while (text.size() < static_cast<size_t>(at)) text += piece;
        text.resize(at);
        text += std::string(")\r\n\0 after", 10);
        spit(work("long.ruk"), text);
        Outcome r = run({"long.ruk"});
        EXPECT_EQ(r.status, 128) << "at " << at;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, dangling_report(at)) << "at " << at;
    }
}

}  // namespace
