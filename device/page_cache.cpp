#include "device/page_cache.h"

#include <array>
#include <fstream>
#include <iterator>
#include <system_error>

#include "device/device.h"
#include "files/durable_file.h"

namespace varnel {

namespace {

// File layout, little-endian: magic "VPGC", u16 version, u32 serial, u16 first page, u16 last
// page, u8 reserved pages, u32 record count; per record u16 first page, u32 start time,
// u16 last page, u16 origin, u32 page count, and per page u16 page number and its 64 bytes;
// at the end a CRC-32 of everything before it. Link and time are not stored: they are the
// page's own header.
constexpr std::array<std::uint8_t, 4> kMagic = {'V', 'P', 'G', 'C'};
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kCrcSize = 4;
// Far beyond any logger (65536 pages of 66 bytes per record); a longer file is not ours.
constexpr std::uintmax_t kMaxFileSize = 64u << 20;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

class Writer {
 public:
  void U8(std::uint8_t v) { bytes.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  std::vector<std::uint8_t> bytes;
};

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Has(std::size_t n) const { return size_ - at_ >= n; }
  std::uint8_t U8() { return data_[at_++]; }
  std::uint16_t U16() {
    const std::uint16_t lo = U8();
    return static_cast<std::uint16_t>(lo | U8() << 8);
  }
  std::uint32_t U32() {
    const std::uint32_t lo = U16();
    return lo | static_cast<std::uint32_t>(U16()) << 16;
  }
  const std::uint8_t* Take(std::size_t n) {
    const std::uint8_t* p = data_ + at_;
    at_ += n;
    return p;
  }
  std::size_t Left() const { return size_ - at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

constexpr std::size_t kRecordHeadSize = 2 + 4 + 2 + 2 + 4;
constexpr std::size_t kPageEntrySize = 2 + kPageSize;

std::vector<std::uint8_t> Encode(const PageCache& cache) {
  Writer w;
  for (std::uint8_t b : kMagic) w.U8(b);
  w.U16(kVersion);
  w.U32(cache.SerialNumber);
  w.U16(cache.FirstPage);
  w.U16(cache.LastPage);
  w.U8(cache.ReservedPages);
  w.U32(static_cast<std::uint32_t>(cache.Records.size()));
  for (const CachedRecord& r : cache.Records) {
    w.U16(r.FirstPage);
    w.U32(r.StartTime);
    w.U16(r.LastPage);
    w.U16(r.Origin);
    w.U32(static_cast<std::uint32_t>(r.Pages.size()));
    for (const TPage& p : r.Pages) {
      w.U16(static_cast<std::uint16_t>(p.PageNo));
      w.bytes.insert(w.bytes.end(), p.Data.begin(), p.Data.end());
    }
  }
  w.U32(Crc32(w.bytes.data(), w.bytes.size()));
  return std::move(w.bytes);
}

bool Decode(const std::vector<std::uint8_t>& bytes, PageCache& out) {
  if (bytes.size() < kMagic.size() + kCrcSize) return false;
  const std::size_t body = bytes.size() - kCrcSize;
  Reader crc(bytes.data() + body, kCrcSize);
  if (crc.U32() != Crc32(bytes.data(), body)) return false;
  Reader r(bytes.data(), body);
  if (!r.Has(kMagic.size() + 2 + 4 + 2 + 2 + 1 + 4)) return false;
  for (std::uint8_t b : kMagic) {
    if (r.U8() != b) return false;
  }
  if (r.U16() != kVersion) return false;
  PageCache cache;
  cache.SerialNumber = r.U32();
  cache.FirstPage = r.U16();
  cache.LastPage = r.U16();
  cache.ReservedPages = r.U8();
  const std::uint32_t records = r.U32();
  if (records > r.Left() / kRecordHeadSize) return false;
  for (std::uint32_t i = 0; i < records; ++i) {
    if (!r.Has(kRecordHeadSize)) return false;
    CachedRecord rec;
    rec.FirstPage = r.U16();
    rec.StartTime = r.U32();
    rec.LastPage = r.U16();
    rec.Origin = r.U16();
    const std::uint32_t pages = r.U32();
    if (pages > r.Left() / kPageEntrySize) return false;
    rec.Pages.reserve(pages);
    for (std::uint32_t k = 0; k < pages; ++k) {
      const std::uint16_t pageNo = r.U16();
      const std::uint8_t* data = r.Take(kPageSize);
      const PageHeader h = DecodeHeader(data, pageNo);
      rec.Pages.emplace_back(static_cast<std::int16_t>(pageNo), data,
                             static_cast<std::int16_t>(h.Link), h.Time);
    }
    cache.Records.push_back(std::move(rec));
  }
  if (r.Left() != 0) return false;
  out = std::move(cache);
  return true;
}

// A path in an error text, as UTF-8 on every platform (the narrow form of a Windows path
// could not hold every character).
std::string PathText(const std::filesystem::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

bool PageCache::SameLogger(const TDevice& device) const {
  return SerialNumber == device.SerialNumber && FirstPage == device.FirstPage &&
         LastPage == device.LastPage && ReservedPages == device.ReservedPages;
}

const CachedRecord* PageCache::Find(std::uint16_t firstPage, std::uint32_t startTime) const {
  for (const CachedRecord& r : Records) {
    if (r.FirstPage == firstPage && r.StartTime == startTime) return &r;
  }
  return nullptr;
}

PageCache PageCacheOf(const TDevice& device) {
  PageCache cache;
  cache.SerialNumber = device.SerialNumber;
  cache.FirstPage = device.FirstPage;
  cache.LastPage = device.LastPage;
  cache.ReservedPages = device.ReservedPages;
  for (int i = 0; i < device.RecCount(); ++i) {
    const TRec& rec = *device.Rec(i);
    // Only a record read to its end whose newest page survived the trimming: the next
    // readout re-reads that page and takes the older ones from here.
    if (!rec.Read || rec.Partial || rec.PageCount() == 0) continue;
    if (static_cast<std::uint16_t>(rec.Page(0)->PageNo) != rec.LastPage) continue;
    CachedRecord r;
    r.FirstPage = rec.FirstPage;
    r.StartTime = rec.StartTime;
    r.LastPage = rec.LastPage;
    r.Origin = rec.Origin;
    r.Pages.reserve(static_cast<std::size_t>(rec.PageCount()));
    for (int k = 0; k < rec.PageCount(); ++k) r.Pages.push_back(*rec.Page(k));
    cache.Records.push_back(std::move(r));
  }
  return cache;
}

std::filesystem::path PageCacheFile(const std::filesystem::path& folder, std::uint32_t serial) {
  return folder / (std::to_string(serial) + ".pages");
}

CacheRead ReadPageCache(const std::filesystem::path& file, PageCache& cache) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return ec ? CacheRead::Damaged : CacheRead::Missing;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxFileSize) return CacheRead::Damaged;
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    return CacheRead::Damaged;
  }
  return Decode(bytes, cache) ? CacheRead::Loaded : CacheRead::Damaged;
}

bool WritePageCache(const std::filesystem::path& file, const PageCache& cache, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) {
    error = PathText(file.parent_path()) + ": " + ec.message();
    return false;
  }
  const std::vector<std::uint8_t> bytes = Encode(cache);
  std::filesystem::path temp = file;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temp, ec);
      error = PathText(temp) + ": cannot be written";
      return false;
    }
  }
  // On the disk before it takes the cache's name, so that a power cut leaves the old cache
  // or the new one.
  if (!FlushToDisk(temp, error)) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  if (!MoveReplacing(temp, file, ec)) {
    error = PathText(file) + ": " + ec.message();
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace varnel
