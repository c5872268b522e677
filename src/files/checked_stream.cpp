#include "files/checked_stream.h"

#include <cerrno>
#include <cstring>

namespace tamlo {

namespace {

std::FILE* openForAppend(const std::string& path, int& error, bool& empty) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        error = errno != 0 ? errno : EIO;
        return nullptr;
    }
    // Appending starts at the end on every platform once the position is asked for.
    empty = std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) == 0;
    return file;
}

}  // namespace

CheckedStream::CheckedStream(std::string name, std::FILE* file, ReaderProbe readerGone)
    : std::ostream(nullptr),
      name_(std::move(name)),
      readerGone_(std::move(readerGone)),
      buffer_(file) {
    rdbuf(&buffer_);
}

CheckedStream::CheckedStream(const std::string& path)
    : std::ostream(nullptr), name_(path), buffer_(nullptr) {
    int error = 0;
    owned_ = openForAppend(path, error, wasEmpty_);
    buffer_.attach(owned_);
    if (owned_ == nullptr) {
        buffer_.fail(error);
    }
    rdbuf(&buffer_);
}

CheckedStream::~CheckedStream() {
    flush();
    if (owned_ != nullptr) {
        std::fclose(owned_);
    }
}

bool CheckedStream::checkReader() {
    if (!buffer_.failed() && readerGone_ && readerGone_()) {
        buffer_.fail(EPIPE);
    }
    return buffer_.readerGone();
}

bool CheckedStream::Buffer::readerGone() const {
    std::lock_guard lock(mutex_);
    return error_ == EPIPE;
}

std::string CheckedStream::Buffer::failure() const {
    std::lock_guard lock(mutex_);
    return error_ == 0 ? std::string() : std::string(std::strerror(error_));
}

void CheckedStream::Buffer::fail(int error) {
    std::lock_guard lock(mutex_);
    if (error_ == 0) {
        error_ = error != 0 ? error : EIO;
        failed_.store(true, std::memory_order_release);
    }
}

bool CheckedStream::Buffer::drain(bool flush) {
    if (failed()) {
        setp(data_, data_ + sizeof data_);  // what is left is dropped, never retried
        return false;
    }
    const size_t size = static_cast<size_t>(pptr() - pbase());
    setp(data_, data_ + sizeof data_);
    errno = 0;
    if ((size > 0 && std::fwrite(data_, 1, size, file_) != size) ||
        (flush && std::fflush(file_) != 0)) {
        fail(errno);
        return false;
    }
    return true;
}

CheckedStream::Buffer::int_type CheckedStream::Buffer::overflow(int_type c) {
    if (!drain(false)) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int CheckedStream::Buffer::sync() {
    return drain(true) ? 0 : -1;
}

}  // namespace tamlo
