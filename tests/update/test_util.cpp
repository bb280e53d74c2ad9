#include "test_util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ut {

std::string read_file(const std::string &path)
{
    std::string s;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return s;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

void write_file(const std::string &path, const std::string &data)
{
    for (size_t i = 1; i < path.size(); i++)
        if (path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0755);
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(fwrite(data.data(), 1, data.size(), f), data.size());
    fclose(f);
}

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

TempRoot::TempRoot()
{
    char tmpl[] = "/tmp/update-test-XXXXXX";
    char *d = mkdtemp(tmpl);
    if (!d)
        abort();
    dir_ = d;
    setenv("NVR_ROOT", dir_.c_str(), 1);
}

static int rm_entry(const char *p, const struct stat *, int, struct FTW *)
{
    return remove(p);
}

TempRoot::~TempRoot()
{
    unsetenv("NVR_ROOT");
    nftw(dir_.c_str(), rm_entry, 16, FTW_DEPTH | FTW_PHYS);
}

void TempRoot::write(const std::string &p, const std::string &data) const
{
    write_file(path(p), data);
}

void TempRoot::make_flash(const std::string &dev, uint32_t size, const std::string &geom) const
{
    write(dev, std::string(size, '\xff'));
    write(dev + ".geom", geom);
}

void TempRoot::install_flash_erase() const
{
    write("/usr/sbin/.keep", "");
    symlink(FLASH_ERASE_BIN, path("/usr/sbin/flash_erase").c_str());
}

Capture::Capture() : active_(true)
{
    fflush(stdout);
    fflush(stderr);
    for (int i = 0; i < 2; i++) {
        char tmpl[] = "/tmp/update-capture-XXXXXX";
        int fd = mkstemp(tmpl);
        files_[i] = tmpl;
        saved_[i] = dup(i + 1);
        dup2(fd, i + 1);
        close(fd);
    }
}

void Capture::stop()
{
    if (!active_)
        return;
    fflush(stdout);
    fflush(stderr);
    for (int i = 0; i < 2; i++) {
        dup2(saved_[i], i + 1);
        close(saved_[i]);
        (i ? err : out) = read_file(files_[i]);
        unlink(files_[i].c_str());
    }
    active_ = false;
}

Capture::~Capture() { stop(); }

RunResult run(const std::vector<std::string> &argv)
{
    RunResult r{-1, "", ""};
    char of[] = "/tmp/update-run-XXXXXX", ef[] = "/tmp/update-run-XXXXXX";
    int ofd = mkstemp(of), efd = mkstemp(ef);
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(ofd, 1);
        dup2(efd, 2);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(ofd);
    close(efd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    r.out = read_file(of);
    r.err = read_file(ef);
    unlink(of);
    unlink(ef);
    return r;
}

std::string ref(const std::vector<std::string> &args)
{
    std::vector<std::string> argv = {ut::python(), UPDATE_TEST_DIR "/upfw_ref.py"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = run(argv);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

std::string python() { return UPDATE_TEST_PYTHON; }
std::string update_bin() { return UPDATE_BIN; }
std::string flash_erase_bin() { return FLASH_ERASE_BIN; }

bool have_program(const char *name)
{
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return system(cmd.c_str()) == 0;
}

} // namespace ut
