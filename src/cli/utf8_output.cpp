#include "cli/utf8_output.h"

#include "base/encoding.h"

namespace tavrin::cli {

namespace {

constexpr std::size_t kChunk = 1 << 16;

// Bytes at the end of s that begin a sequence not yet whole (0..3).
std::size_t openSequenceTail(const std::string& s) {
  const std::size_t n = s.size();
  for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
    const auto b = static_cast<unsigned char>(s[n - back]);
    if (b < 0x80) return 0;
    if (b >= 0xC0) {
      const std::size_t want = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      return want > back ? back : 0;
    }
  }
  return 0;
}

}  // namespace

Utf8EscapingBuffer::~Utf8EscapingBuffer() { drain(true); }

bool Utf8EscapingBuffer::drain(bool all) {
  const std::size_t keep = all ? 0 : openSequenceTail(pending_);
  if (pending_.size() == keep) return true;
  const std::string text = escapeInvalidUtf8(std::string_view(pending_).substr(0, pending_.size() - keep));
  pending_.erase(0, pending_.size() - keep);
  return target_->sputn(text.data(), static_cast<std::streamsize>(text.size())) ==
         static_cast<std::streamsize>(text.size());
}

Utf8EscapingBuffer::int_type Utf8EscapingBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (pending_.size() >= kChunk && !drain(false)) return traits_type::eof();
  return c;
}

std::streamsize Utf8EscapingBuffer::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<std::size_t>(n));
  if (pending_.size() >= kChunk && !drain(false)) return 0;
  return n;
}

int Utf8EscapingBuffer::sync() {
  if (!drain(false)) return -1;
  return target_->pubsync();
}

}  // namespace tavrin::cli
