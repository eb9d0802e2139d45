#include "contacts/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kelvanor {

namespace {

// Closes a descriptor with the object.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::string folder_of(const std::string& path) {
    const auto parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

}  // namespace

bool replace_file_atomically(const std::string& path, std::span<const unsigned char> content,
                             std::string& error) {
    std::string temporary = path + ".XXXXXX";
    Descriptor file{::mkstemp(temporary.data())};
    if (file.fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    auto fail = [&](const char* what) {
        error = path + ": " + what + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    };
    ::fchmod(file.fd, 0644);
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(file.fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("cannot write");
        done += static_cast<size_t>(n);
    }
    if (::fsync(file.fd) != 0) return fail("cannot sync");
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) return fail("cannot close");
    if (::rename(temporary.c_str(), path.c_str()) != 0) return fail("cannot rename");
    // The rename itself reaches the disk with the folder.
    Descriptor folder{::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0) ::fsync(folder.fd);
    return true;
}

bool replace_file_atomically(const std::string& path, std::string_view content,
                             std::string& error) {
    return replace_file_atomically(
        path, {reinterpret_cast<const unsigned char*>(content.data()), content.size()}, error);
}

bool ensure_folder(const std::string& path, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (std::filesystem::is_directory(path, ec)) return true;
    error = path + ": cannot create the folder" + (ec ? ": " + ec.message() : std::string());
    return false;
}

}  // namespace kelvanor
