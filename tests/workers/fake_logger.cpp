#include "fake_logger.h"

#include <poll.h>
#include <unistd.h>

#include "link/byte_order.h"
#include "link/crc16.h"

namespace varnel::testing {

namespace {
int RequestLength(std::uint8_t function) {
  switch (function) {
    case 0x30:
    case 0x45:
      return 4;
    case 0x5C:
      return 5;
    case 0x44:
      return 7;
    default:
      return 0;
  }
}
}  // namespace

FakeLogger::FakeLogger(Memory memory, std::uint8_t address)
    : memory_(std::move(memory)), address_(address) {
  if (pty_.Ok()) thread_ = std::thread([this] { Serve(); });
}

FakeLogger::~FakeLogger() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<int> FakeLogger::PagesAsked() const {
  std::lock_guard lock(mutex_);
  return pagesAsked_;
}

PageBytes FakeLogger::Erased() {
  PageBytes p;
  p.fill(0xFF);
  return p;
}

PageBytes FakeLogger::RecordPage(int page, int link, std::uint32_t time) {
  PageBytes p = Erased();
  p[0] = static_cast<std::uint8_t>((page == link ? 0x80 : 0) | ((link >> 8) & 0x1F));
  p[1] = static_cast<std::uint8_t>(link & 0xFF);
  PutU32BE(time, p.data() + 2);
  return p;
}

void FakeLogger::Serve() {
  std::vector<std::uint8_t> pending;
  while (!stop_) {
    pollfd p{pty_.Master(), POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    std::uint8_t buffer[256];
    const ssize_t n = ::read(pty_.Master(), buffer, sizeof buffer);
    if (n <= 0) continue;
    pending.insert(pending.end(), buffer, buffer + n);
    while (pending.size() >= 2) {
      const int length = RequestLength(pending[1]);
      if (length == 0) {
        pending.clear();
        break;
      }
      if (pending.size() < static_cast<std::size_t>(length)) break;
      const std::vector<std::uint8_t> request(pending.begin(), pending.begin() + length);
      pending.erase(pending.begin(), pending.begin() + length);
      // A two-wire line: the request comes back before the reply, as the collector expects
      // outside modem mode.
      std::vector<std::uint8_t> reply = request;
      const auto answer = Answer(request);
      reply.insert(reply.end(), answer.begin(), answer.end());
      for (std::size_t done = 0; done < reply.size();) {
        const ssize_t w = ::write(pty_.Master(), reply.data() + done, reply.size() - done);
        if (w > 0) done += static_cast<std::size_t>(w);
      }
    }
  }
}

std::vector<std::uint8_t> FakeLogger::Answer(const std::vector<std::uint8_t>& request) {
  if (request[0] != address_ || !CheckCrc16BE(request.data(), request.size() - 2)) return {};
  const std::uint8_t function = request[1];
  std::vector<std::uint8_t> reply = {address_, function};
  auto refuse = [&] { reply = {address_, static_cast<std::uint8_t>(function | 0x80), 2}; };
  switch (function) {
    case 0x30:
      reply.insert(reply.end(), {5, 1, 3, 12, 16, 0});
      break;
    case 0x45:
      reply.insert(reply.end(), {0, 0, 0x04, 0xD2});
      break;
    case 0x5C: {
      std::uint8_t d[5] = {};
      switch (request[2]) {
        case 1:
          d[3] = static_cast<std::uint8_t>(memory_.writePointer >> 8);
          d[4] = static_cast<std::uint8_t>(memory_.writePointer & 0xFF);
          break;
        case 2:
          d[2] = static_cast<std::uint8_t>(memory_.lastPage >> 8);
          d[3] = static_cast<std::uint8_t>(memory_.lastPage & 0xFF);
          d[4] = memory_.reservedPages;
          break;
        case 3:
          PutU32BE(760000000, d);
          break;
        case 8:
          d[3] = 0x07;
          d[4] = 50;
          break;
        default:
          break;
      }
      reply.insert(reply.end(), d, d + 5);
      break;
    }
    case 0x44: {
      const int page = request[2] << 8 | request[3];
      const int count = request[4];
      {
        std::lock_guard lock(mutex_);
        pagesAsked_.push_back(page);
      }
      if (page + std::max(count, 1) - 1 > memory_.lastPage) {
        refuse();
        break;
      }
      if (count == 0) {
        reply.insert(reply.end(), memory_.pages[static_cast<std::size_t>(page)].begin(),
                     memory_.pages[static_cast<std::size_t>(page)].begin() + 8);
      } else {
        for (int i = 0; i < count; ++i) {
          const auto& p = memory_.pages[static_cast<std::size_t>(page + i)];
          reply.insert(reply.end(), p.begin(), p.end());
        }
      }
      break;
    }
    default:
      refuse();
  }
  reply.resize(reply.size() + 2);
  PutCrc16BE(reply.data(), reply.size() - 2);
  return reply;
}

}  // namespace varnel::testing
