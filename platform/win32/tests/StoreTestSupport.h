// Helpers for tests of the system store and its tools: a temporary store per test, and running a
// program (without a shell) with captured output.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tarnwick_store.h>
#include <unistd.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnwick::testing {

// A directory removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-store-XXXXXX");
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = buffer.data();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// Each test gets its own store file, and TARNWICK_SYSTEM_DB points at it so that nothing (not
// even a child process) reaches the user's default store.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        storePath_ = dir_.file("system.db");
        ::setenv("TARNWICK_SYSTEM_DB", storePath_.c_str(), 1);
        ASSERT_EQ(TarnwickStore_Open(storePath_.c_str()), static_cast<DWORD>(ERROR_SUCCESS))
            << TarnwickStore_LastErrorText();
    }
    void TearDown() override { TarnwickStore_Close(); }

    const std::string& storePath() const { return storePath_; }
    const TempDir& dir() const { return dir_; }

  private:
    TempDir dir_;
    std::string storePath_;
};

struct RunResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// A program started with captured output; finish() waits for it.
class ChildProcess {
  public:
    // Starts program with args (argv[0] is the program), the current environment plus
    // overrides, and the given standard input.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {}, const std::string& input = "")
        : program_(program) {
        inPath_ = io_.file("in");
        outPath_ = io_.file("out");
        errPath_ = io_.file("err");
        writeFile(inPath_, input);

        std::vector<std::string> envStrings;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry(*e);
            std::string name = entry.substr(0, entry.find('='));
            if (env.count(name) == 0) envStrings.push_back(entry);
        }
        for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (auto& s : envStrings) envp.push_back(s.data());
        envp.push_back(nullptr);

        std::vector<std::string> argStrings;
        argStrings.push_back(program);
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& s : argStrings) argv.push_back(s.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, inPath_.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) pid_ = -1;
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (pid_ > 0) finish(std::chrono::seconds(1));
    }

    // Waits at most timeout (a hang guard only), then kills the program.
    RunResult finish(std::chrono::seconds timeout = std::chrono::seconds(120)) {
        RunResult result;
        if (pid_ <= 0) {
            result.err = "cannot start " + program_;
            return result;
        }
        auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (true) {
            pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) break;
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                ADD_FAILURE() << program_ << " did not finish in time";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        result.out = readFile(outPath_);
        result.err = readFile(errPath_);
        return result;
    }

  private:
    std::string program_;
    TempDir io_;
    std::string inPath_, outPath_, errPath_;
    pid_t pid_ = -1;
};

inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::map<std::string, std::string>& env = {},
                            const std::string& input = "") {
    ChildProcess child(program, args, env, input);
    return child.finish();
}

}  // namespace tarnwick::testing
