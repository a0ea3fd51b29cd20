#pragma once
#include <ostream>
#include <streambuf>
#include <string>

namespace tavrin::cli {

// A stream buffer in front of another that lets only valid UTF-8 through:
// a byte outside a well-formed sequence (a file name's, a file's) is written
// as an escape such as "\xED". A sequence cut between two writes is held
// until the rest comes (a flush keeps it too); at the end everything is
// written.
class Utf8EscapingBuffer : public std::streambuf {
 public:
  explicit Utf8EscapingBuffer(std::streambuf* target) : target_(target) {}
  ~Utf8EscapingBuffer() override;
  Utf8EscapingBuffer(const Utf8EscapingBuffer&) = delete;
  Utf8EscapingBuffer& operator=(const Utf8EscapingBuffer&) = delete;
  std::streambuf* target() const { return target_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  // Writes what is pending; a trailing sequence that may still be completed
  // is kept unless `all`.
  bool drain(bool all);

  std::streambuf* target_;
  std::string pending_;
};

// Puts the buffer in front of a stream's own for the life of this object.
class Utf8EscapingStream {
 public:
  explicit Utf8EscapingStream(std::ostream& stream) : stream_(stream), buffer_(stream.rdbuf()) {
    stream_.rdbuf(&buffer_);
  }
  ~Utf8EscapingStream() {
    stream_.flush();
    stream_.rdbuf(buffer_.target());
  }  // the buffer, destroyed next, writes what it still holds
  Utf8EscapingStream(const Utf8EscapingStream&) = delete;
  Utf8EscapingStream& operator=(const Utf8EscapingStream&) = delete;

 private:
  std::ostream& stream_;
  Utf8EscapingBuffer buffer_;
};

}  // namespace tavrin::cli
