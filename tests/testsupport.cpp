#include "testsupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quelvor-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them writable so that they can go.
    for (auto &entry : std::filesystem::recursive_directory_iterator(path_, ignored))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void MakeSparseFile(const std::string &path, int64_t size, std::string_view tail)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    const bool ok = ::ftruncate(fd, size) == 0 &&
                    (tail.empty() || ::pwrite(fd, tail.data(), tail.size(),
                                              size - static_cast<int64_t>(tail.size())) ==
                                         static_cast<ssize_t>(tail.size()));
    ::close(fd);
    if (!ok) throw std::runtime_error("cannot size " + path);
}

int StartProcess(std::vector<std::string> arguments, const std::string &outPath, const std::string &errPath)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        std::vector<char *> argv;
        for (std::string &argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return child;
}

int WaitForExit(int child)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testsupport

#include <gtest/gtest.h>

#include "app/startup.h"
#include "app/treerules.h"

namespace testsupport {

void StartWithDefaults(Session &session)
{
    App_InitSession(session, "");
    Configuration_SelectRecord(session, Configuration_DefaultRecord());
}

void Edit(Session &session, std::string_view key, std::string_view text)
{
    const int slot = Configuration_SlotByKey(key);
    ASSERT_GE(slot, 0) << key;
    EXPECT_EQ(onConfigurationTree(session, kSlots[slot].treeItem, std::string(text)), 1) << key << "=" << text;
}

}  // namespace testsupport
