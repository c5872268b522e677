// The user's files on a POSIX system: open, read, write, fsync, rename.
#pragma once

#include <atomic>
#include <cstdint>

#include "files/file_store.h"

namespace tamlo {

class PosixFileStore final : public FileStore {
  public:
    FileText read(const std::string& path, int64_t maxBytes) override;
    std::string cannotWrite(const std::string& path) override;
    std::string replace(const std::string& path, std::string_view bytes) override;
    std::string notTrusted(const std::string& path) override;
    bool isFolder(const std::string& path) override;
    std::string makeFolder(const std::string& path) override;

  private:
    // Tells this process's temporary files apart; files are replaced from many threads.
    std::atomic<uint64_t> temporaryCount_{0};
};

}  // namespace tamlo
