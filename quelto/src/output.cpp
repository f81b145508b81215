/*
** Results file and progress bar (see output.h).
*/
#include "output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "sources.h"

namespace quelto {

Output::Output(const std::string &path) : path_(path)
{
    if (path.empty()) {
        stream_ = stdout;
        return;
    }
    const std::filesystem::path p(path);
    std::string name = ".";
    name += p.filename().string();
    name += ".XXXXXX";
    temporary_ = ((p.has_parent_path() ? p.parent_path() : std::filesystem::path(".")) / name).string();
    const int fd = mkstemp(temporary_.data());
    if (fd < 0) throw UsageError(path + ": cannot be written (" + std::strerror(errno) + ")");
    const mode_t masque = umask(0); /* the file gets the permissions a plain creation would give it */
    umask(masque);
    fchmod(fd, 0666 & ~masque);
    stream_ = fdopen(fd, "w");
    if (stream_ == nullptr) {
        close(fd);
        std::remove(temporary_.c_str());
        throw UsageError(path + ": cannot be written");
    }
}

Output::~Output()
{
    if (path_.empty() || committed_) return;
    if (stream_ != nullptr) std::fclose(stream_);
    std::remove(temporary_.c_str());
}

bool Output::commit()
{
    if (path_.empty()) return std::fflush(stdout) == 0 && !std::ferror(stdout);
    const bool written = std::fflush(stream_) == 0 && !std::ferror(stream_);
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!written || !closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        std::fprintf(stderr, "quelto: %s: cannot be written (%s); an earlier file of that name is kept\n",
                     path_.c_str(), std::strerror(errno));
        std::remove(temporary_.c_str());
        return false;
    }
    committed_ = true;
    return true;
}

Progress::Progress(const char *what, size_t total)
    : what_(what), total_(total), terminal_(isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now())
{
}

Progress::~Progress()
{
    if (shown_) std::fputs("\r\033[K", stderr);
}

void Progress::step(size_t done)
{
    if (!terminal_ || std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
    constexpr size_t WIDTH = 30;
    const size_t filled = total_ == 0 ? WIDTH : WIDTH * done / total_;
    std::fprintf(stderr, "\r[%s%s] %zu/%zu %s", std::string(filled, '#').c_str(), std::string(WIDTH - filled, ' ').c_str(),
                 done, total_, what_);
    std::fflush(stderr);
    shown_ = true;
}

}  // namespace quelto
