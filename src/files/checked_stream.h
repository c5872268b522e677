// A stream output: CSV rows, JSON lines, the byte log, standard output. Bytes are handed to
// the system at every flush (each row, each log line); the first write the system refuses
// (a full disk, a file-size limit, a pulled USB stick, a pipe whose reader went away) is
// kept with the system's words, and from then on the stream writes nothing more: a full
// disk is one failure to report, not a million. The stream's users see only an ostream.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace tamlo {

class CheckedStream final : public std::ostream {
  public:
    // Whether the reader of a pipe has gone away although nothing was written yet; null
    // where the platform cannot tell.
    using ReaderProbe = std::function<bool()>;

    // Over a C stream the caller keeps open (standard output); name is how messages call
    // it ("standard output").
    CheckedStream(std::string name, std::FILE* file, ReaderProbe readerGone = {});
    // Appends to the file at path, made if it does not exist; failed() with the system's
    // words when it does not open.
    explicit CheckedStream(const std::string& path);
    ~CheckedStream() override;
    CheckedStream(const CheckedStream&) = delete;
    CheckedStream& operator=(const CheckedStream&) = delete;

    const std::string& name() const { return name_; }
    // Whether the file held nothing when it was opened (a CSV's header goes first then).
    bool wasEmpty() const { return wasEmpty_; }
    // A write was refused, or the file did not open. Safe from any thread.
    bool failed() const { return buffer_.failed(); }
    // The refusal was a pipe whose reader had gone: the end of the output, not a fault.
    bool readerGone() const { return buffer_.readerGone(); }
    // The system's words for the refusal ("No space left on device").
    std::string failure() const { return buffer_.failure(); }
    // Asks the platform whether the reader went away meanwhile; the stream fails as a
    // write would. True once it has.
    bool checkReader();

  private:
    class Buffer final : public std::streambuf {
      public:
        explicit Buffer(std::FILE* file) : file_(file) { setp(data_, data_ + sizeof data_); }
        void attach(std::FILE* file) { file_ = file; }
        bool failed() const { return failed_.load(std::memory_order_acquire); }
        bool readerGone() const;
        std::string failure() const;
        // Keeps the first refusal only.
        void fail(int error);

      protected:
        int_type overflow(int_type c) override;
        int sync() override;

      private:
        // Hands what is buffered to the system; false once refused.
        bool drain(bool flush);

        std::FILE* file_;
        char data_[4096];
        std::atomic<bool> failed_{false};
        mutable std::mutex mutex_;  // guards the words, set once by a writer or the probe
        int error_ = 0;
    };

    std::string name_;
    std::FILE* owned_ = nullptr;
    bool wasEmpty_ = false;
    ReaderProbe readerGone_;
    Buffer buffer_;
};

}  // namespace tamlo
