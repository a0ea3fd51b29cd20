#include "data/price_bars.h"

#include <cmath>

namespace tavrin {

namespace {

std::uint64_t zigzag(std::int64_t v) {
  return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}
std::int64_t unzigzag(std::uint64_t v) { return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1); }

void putVarint(std::string& out, std::uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<char>(v));
}

enum : unsigned { kHasOpen = 1, kHasHigh = 2, kHasLow = 4, kHasVolume = 8, kKnownFlags = 15 };

bool priceInRange(std::int64_t tenths) { return tenths > 0 && tenths <= kMaxPriceTenths; }

}  // namespace

std::optional<std::int32_t> tenthsOfPrice(double yen) {
  if (!std::isfinite(yen) || yen <= 0) return std::nullopt;
  const double t = std::nearbyint(yen * 10.0);
  if (t < 1 || t > static_cast<double>(kMaxPriceTenths)) return std::nullopt;
  return static_cast<std::int32_t>(t);
}

std::optional<std::int32_t> tenthsOfPriceText(std::string_view s) {
  // Decimal digits read as written: whole part, fraction, exponent. The
  // value is kept as digits with a decimal point position so that the
  // rounding to the tenth is decided on the text, not on a binary double.
  std::size_t i = 0;
  if (i < s.size() && s[i] == '+') ++i;
  std::string digits;  // significant digits, leading zeros dropped
  int pointAt = 0;     // digits before the decimal point
  bool any = false, seenPoint = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      any = true;
      if (digits.empty() && c == '0') {
        if (seenPoint) --pointAt;
        continue;
      }
      if (digits.size() < 40) {
        digits.push_back(c);
        if (!seenPoint) ++pointAt;
      } else if (!seenPoint) {
        ++pointAt;  // digits past what matters still move the point
      }
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!any) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size()) return std::nullopt;
    int exp = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
      if (exp < 10000) exp = exp * 10 + (s[i] - '0');
    pointAt += negative ? -exp : exp;
  }
  if (i != s.size() || digits.empty()) return std::nullopt;
  // value = 0.digits × 10^pointAt; tenths = digits[0 .. pointAt+1) and the rest rounds.
  const int keep = pointAt + 1;
  if (keep > 11) return std::nullopt;
  std::int64_t whole = 0;
  for (int k = 0; k < keep; ++k) whole = whole * 10 + (k < static_cast<int>(digits.size()) ? digits[k] - '0' : 0);
  if (keep >= 0 && keep < static_cast<int>(digits.size())) {
    const char next = digits[static_cast<std::size_t>(keep)];
    bool restNonZero = false;
    for (std::size_t k = static_cast<std::size_t>(keep) + 1; k < digits.size(); ++k) restNonZero |= digits[k] != '0';
    if (next > '5' || (next == '5' && (restNonZero || (whole & 1)))) ++whole;
  } else if (keep < 0) {
    whole = 0;  // below a twentieth of a tenth
  }
  if (!priceInRange(whole)) return std::nullopt;
  return static_cast<std::int32_t>(whole);
}

std::int64_t wholeYen(std::int64_t tenths) {
  std::int64_t q = tenths / 10, r = tenths % 10;
  if (r < 0) {
    r += 10;
    --q;
  }
  if (r > 5 || (r == 5 && (q & 1))) ++q;
  return q;
}

std::string priceText(std::int64_t tenths) {
  const bool negative = tenths < 0;
  const std::uint64_t a = negative ? 0 - static_cast<std::uint64_t>(tenths) : static_cast<std::uint64_t>(tenths);
  std::string out = (negative ? "-" : "") + std::to_string(a / 10);
  if (a % 10) out += "." + std::to_string(a % 10);
  return out;
}

std::string encodeBarBlock(int block, const std::vector<Bar>& bars) {
  std::string out;
  out.reserve(bars.size() * 12);
  std::int64_t prevClose = 0;
  const int start = barBlockStart(block);
  for (const Bar& b : bars) {
    unsigned flags = 0;
    if (b.open > 0) flags |= kHasOpen;
    if (b.high > 0) flags |= kHasHigh;
    if (b.low > 0) flags |= kHasLow;
    if (b.volume >= 0) flags |= kHasVolume;
    out.push_back(static_cast<char>(b.day - start));
    out.push_back(static_cast<char>(flags));
    putVarint(out, zigzag(static_cast<std::int64_t>(b.close) - prevClose));
    prevClose = b.close;
    if (flags & kHasOpen) putVarint(out, zigzag(static_cast<std::int64_t>(b.open) - b.close));
    if (flags & kHasHigh) putVarint(out, zigzag(static_cast<std::int64_t>(b.high) - b.close));
    if (flags & kHasLow) putVarint(out, zigzag(static_cast<std::int64_t>(b.low) - b.close));
    if (flags & kHasVolume) putVarint(out, static_cast<std::uint64_t>(b.volume));
  }
  return out;
}

namespace {

// A varint from p (at most end); false for a cut or overlong one. One byte
// (nearly every difference) takes the short way.
inline bool readVarint(const unsigned char*& p, const unsigned char* end, std::uint64_t& v) {
  if (p < end && *p < 0x80) {
    v = *p++;
    return true;
  }
  v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (p >= end) return false;
    const unsigned b = *p++;
    v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return shift < 63 || b <= 1;
  }
  return false;
}

}  // namespace

bool decodeBarBlock(int block, std::string_view bytes, std::vector<Bar>& out) {
  const std::size_t before = out.size();
  out.reserve(before + bytes.size() / 6 + 1);
  const int start = barBlockStart(block);
  std::int64_t prevClose = 0;
  int prevOffset = -1;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const end = p + bytes.size();
  auto fail = [&] {
    out.resize(before);
    return false;
  };
  while (p < end) {
    if (end - p < 3) return fail();
    const int offset = *p++;
    const unsigned flags = *p++;
    if (offset >= kBarBlockDays || offset <= prevOffset || (flags & ~kKnownFlags)) return fail();
    prevOffset = offset;
    Bar b;
    b.day = start + offset;
    std::uint64_t v = 0;
    if (!readVarint(p, end, v)) return fail();
    const std::int64_t close = prevClose + unzigzag(v);
    if (!priceInRange(close)) return fail();
    b.close = static_cast<std::int32_t>(close);
    prevClose = close;
    if (flags & (kHasOpen | kHasHigh | kHasLow)) {
      std::int32_t* fields[3] = {&b.open, &b.high, &b.low};
      for (int k = 0; k < 3; ++k) {
        if (!(flags & (1u << k))) continue;
        if (!readVarint(p, end, v)) return fail();
        const std::int64_t price = close + unzigzag(v);
        if (!priceInRange(price)) return fail();
        *fields[k] = static_cast<std::int32_t>(price);
      }
    }
    if (flags & kHasVolume) {
      if (!readVarint(p, end, v) || v > static_cast<std::uint64_t>(INT64_MAX)) return fail();
      b.volume = static_cast<std::int64_t>(v);
    }
    out.push_back(b);
  }
  return true;
}

}  // namespace tavrin
