#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "device/page.h"

namespace varnel {

// One record (a recording run) found in the logger's ring, and the pages read for it.
class TRec {
 public:
  bool Selected = false;  // chosen for reading
  bool Partial = false;   // the last reading of it stopped early
  bool Read = false;      // its pages have been read
  std::uint16_t FirstPage = 0;
  std::uint16_t LastPage = 0;
  std::int16_t Span = 0;      // RingIndex(LastPage) - RingIndex(FirstPage): pages minus one
  std::int16_t PrevSpan = 0;  // Span before a partial reading
  std::uint32_t StartTime = 0;
  std::uint32_t Time2 = 0;     // never set; stays 0
  std::uint16_t Origin = 0;    // write pointer when the record table was read

  // The page at i, or nullptr when i is out of range.
  TPage* Page(int i) const;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  // Appends; the record owns the page. Returns its index.
  int AddPage(std::unique_ptr<TPage> page);
  // Frees and removes page i; nothing happens when i is out of range.
  void DeletePage(int i);
  void ClearPages();

 private:
  std::vector<std::unique_ptr<TPage>> pages_;
};

}  // namespace varnel
