#include "tests/sim/support/ring_reader.h"

#include <cstring>

namespace varnel::simtest {

namespace {

struct Header {
  std::uint16_t page;
  bool start;
  int type;
  std::uint16_t link;
  std::uint32_t time;
};

Header Decode(const std::array<std::uint8_t, 6>& b, std::uint16_t page) {
  return {page, (b[0] & 0x80) != 0, (b[0] >> 5) & 3, static_cast<std::uint16_t>(((b[0] & 0x1F) << 8) | b[1]),
          (std::uint32_t{b[2]} << 24) | (std::uint32_t{b[3]} << 16) | (std::uint32_t{b[4]} << 8) | b[5]};
}

bool Valid(const Header& h) { return h.type < 3 && (!h.start || h.link == h.page); }

float F24(const std::uint8_t* b) {
  const std::uint32_t bits = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

}  // namespace

std::uint16_t RingIndex(std::uint16_t p, std::uint16_t w, std::uint16_t n) {
  return static_cast<std::uint16_t>(p > w ? p - w - 1 : n - w + p);
}

std::uint16_t RingPage(std::uint16_t x, std::uint16_t w, std::uint16_t n) {
  return static_cast<std::uint16_t>(x < n - w ? x + w + 1 : x + w - n);
}

std::vector<ScannedRecord> ScanRing(std::uint16_t n, std::uint16_t w, const HeaderReader& read) {
  std::vector<ScannedRecord> out;
  std::uint16_t x0 = RingIndex(w, w, n);
  for (;;) {
    const std::uint16_t r0 = RingPage(x0, w, n);
    if (r0 > n) break;
    const Header h0 = Decode(read(r0), r0);
    if (!Valid(h0)) break;
    if (h0.start) {
      out.push_back({r0, r0, h0.time});
      if (x0 == 0) break;
      --x0;
      continue;
    }
    const std::uint16_t r1 = h0.link;
    bool ok = r1 <= n;
    Header h1{};
    if (ok) {
      h1 = Decode(read(r1), r1);
      ok = Valid(h1) && RingIndex(r1, w, n) <= x0 && h1.start;
    }
    if (ok) {
      out.push_back({r1, r0, h1.time});
      x0 = RingIndex(r1, w, n);
      if (x0 == 0) break;
      --x0;
      continue;
    }
    if (x0 == 0) {
      out.push_back({r0, r0, h0.time});
      break;
    }
    // The record's first page has been overwritten: it now begins at the oldest page.
    for (std::uint16_t age : {std::uint16_t{0}, std::uint16_t{1}}) {
      const std::uint16_t r = RingPage(age, w, n);
      const Header h = Decode(read(r), r);
      if ((r <= n && Valid(h)) || age == 1) {
        out.push_back({r, r0, h.time});
        break;
      }
    }
    break;
  }
  return out;
}

std::vector<Entry> DecodePages(const std::vector<std::array<std::uint8_t, 64>>& pages) {
  std::vector<Entry> out;
  std::optional<float> v;
  for (const auto& page : pages) {
    std::uint32_t t = (std::uint32_t{page[2]} << 24) | (std::uint32_t{page[3]} << 16) |
                      (std::uint32_t{page[4]} << 8) | page[5];
    std::size_t p = 8;
    while (p <= 63) {
      const std::uint8_t b = page[p++];
      if (p + 3 > 64) break;
      const std::uint8_t* d = &page[p];
      p += 3;
      const std::uint32_t num = (std::uint32_t{d[0]} << 16) | (std::uint32_t{d[1]} << 8) | d[2];
      if (b < 0xF0) {
        t += b & 15;
        v = F24(d);
        out.push_back({t, b >> 4, v, 0});
      } else if (b <= 0xF3) {
        if (b == 0xF0) t += num;
        out.push_back({t, 16, v, num});
      } else if (b == 0xF4) {
        v = static_cast<float>(num);
        out.push_back({t, 15, v, num});
      } else if (b <= 0xFE) {
        out.push_back({t, 15, v, num});
      } else {
        break;
      }
    }
  }
  return out;
}

}  // namespace varnel::simtest
