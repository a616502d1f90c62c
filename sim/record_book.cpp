#include "sim/record_book.h"

#include <algorithm>

namespace varnel::sim {

std::vector<DecodedEntry> RecordTruth::DecodedEntries() const {
  std::vector<DecodedEntry> out;
  std::optional<float> carried;
  for (const PageTruth& page : pages) {
    for (const EntryTruth& e : page.entries) {
      if (e.ownValue) carried = e.value;
      out.push_back({e.time, e.kind, carried, e.extra});
    }
  }
  return out;
}

void RecordBook::BeginRecord(std::uint32_t startTime, std::uint8_t type) {
  RecordTruth r;
  r.id = nextId_++;
  r.startTime = startTime;
  r.type = type;
  records_.push_back(std::move(r));
}

void RecordBook::Forget(std::uint16_t page) {
  const std::uint32_t id = owner_[page];
  if (id == kNone) return;
  owner_[page] = kNone;
  auto rec = std::find_if(records_.begin(), records_.end(),
                          [id](const RecordTruth& r) { return r.id == id; });
  if (rec == records_.end()) return;
  auto& pages = rec->pages;
  pages.erase(std::remove_if(pages.begin(), pages.end(),
                             [page](const PageTruth& p) { return p.page == page; }),
              pages.end());
  rec->lostPages = true;
  if (pages.empty()) records_.erase(rec);
}

void RecordBook::AddPage(PageTruth page) {
  if (records_.empty() || page.page >= owner_.size()) return;
  Forget(page.page);
  owner_[page.page] = records_.back().id;
  records_.back().pages.push_back(std::move(page));
}

void RecordBook::AddEntries(std::uint16_t page, std::vector<EntryTruth> entries) {
  if (records_.empty() || records_.back().pages.empty()) return;
  PageTruth& newest = records_.back().pages.back();
  if (newest.page != page) return;
  newest.entries.insert(newest.entries.end(), entries.begin(), entries.end());
}

}  // namespace varnel::sim
