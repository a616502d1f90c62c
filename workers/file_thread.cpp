#include "workers/file_thread.h"

#include <cstdlib>
#include <exception>
#include <utility>

#include "files/code_page_text.h"
#include "files/durable_file.h"
#include "files/file_error.h"
#include "files/idc_blocks.h"
#include "files/idc_names.h"
#include "workers/page_decoder.h"

namespace varnel {

namespace {
constexpr std::int64_t kStepsPerFile = 5;  // blocks 1, 3, 4, 5 and 8
constexpr std::int64_t kEntriesPerStep = 10;

std::atomic<long long> g_blockDelayMs{-1};  // -1: as the environment says

std::chrono::milliseconds BlockDelay() {
  const long long set = g_blockDelayMs.load();
  if (set >= 0) return std::chrono::milliseconds(set);
  static const long long fromEnvironment = [] {
    const char* text = std::getenv("VARNEL_TEST_FILE_BLOCK_DELAY_MS");
    const long long ms = text ? std::atoll(text) : 0;
    return ms > 0 ? ms : 0LL;
  }();
  return std::chrono::milliseconds(fromEnvironment);
}
}  // namespace

void SetFileBlockDelayForTests(std::chrono::milliseconds delay) {
  g_blockDelayMs = delay.count() > 0 ? delay.count() : 0;
}

std::vector<std::filesystem::path> FilesReport::Files() const {
  std::lock_guard lock(mutex_);
  return files_;
}

std::string FilesReport::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

void FilesReport::AddFile(std::filesystem::path name) {
  if (Committed) Committed(name);
  std::lock_guard lock(mutex_);
  files_.push_back(std::move(name));
}

void FilesReport::SetError(std::string error) {
  std::lock_guard lock(mutex_);
  error_ = std::move(error);
}

void TFileThread::Relay::Post(unsigned message, std::int64_t wParam, std::int64_t lParam,
                              std::string text) {
  std::lock_guard lock(mutex_);
  if (window_) window_->Post(message, wParam, lParam, std::move(text));
}

void TFileThread::Relay::Cut() {
  std::lock_guard lock(mutex_);
  window_ = nullptr;
}

IdcLoggerInfo LoggerInfoOf(const TDevice& d) {
  IdcLoggerInfo info;
  info.Identity = d.Identity;
  info.SerialNumber = d.SerialNumber;
  info.IdentityText = d.IdentityText;
  info.CommentText = d.CommentText.Text();
  info.ChannelMask = d.ChannelMask;
  info.Floats100 = d.Floats100;
  info.Floats80 = d.Floats80;
  info.Cfg8 = d.Cfg8;
  info.Cfg7A = d.Cfg7A;
  info.Cfg7B = d.Cfg7B;
  info.Float96 = d.Float96;
  info.Float97 = d.Float97;
  info.WideCfg9 = d.WideCfg9;
  info.Cfg9 = d.Cfg9;
  info.Cfg6A = d.Cfg6A;
  info.Cfg6B = d.Cfg6B;
  info.Cfg6C = d.Cfg6C;
  info.Cfg1Bit = d.Cfg1Bit != 0;
  info.BatteryCapacity = d.BatteryCapacity;
  return info;
}

TFileThread::TFileThread(PostTarget& window, std::uint8_t mode, TDevice& device,
                         std::string versionText, std::filesystem::path dataFolder,
                         std::shared_ptr<FilesReport> report)
    : relay_(window),
      Mode(mode),
      VersionText(std::move(versionText)),
      DataFolder(std::move(dataFolder)),
      report_(report ? std::move(report) : std::make_shared<FilesReport>()),
      blockDelay_(BlockDelay()) {
  if (Mode == 0) TakeCopy(device);
  thread_ = std::thread([this] { Execute(); });
}

TFileThread::~TFileThread() {
  Terminate();
  Join();
}

void TFileThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TFileThread::Abandon() {
  Terminate();
  relay_.Cut();
  DropTemp();
  if (thread_.joinable()) thread_.detach();
}

void TFileThread::TakeCopy(TDevice& device) {
  logger_ = LoggerInfoOf(device);
  for (int i = 0; i < device.RecCount(); ++i) {
    TRec& rec = *device.Rec(i);
    RecordCopy copy;
    copy.Selected = rec.Selected;
    copy.Read = rec.Read;
    copy.Partial = rec.Partial;
    if (rec.Selected) {
      total_ += rec.Span;
      // A partly read record counts with its full span again from here on.
      if (rec.Partial) rec.Span = rec.PrevSpan;
      ++selected_;
    }
    copy.Info.StartTime = rec.StartTime;
    copy.Info.Time2 = rec.Time2;
    if (copy.Selected && (copy.Read || copy.Partial)) {
      copy.Pages.reserve(static_cast<std::size_t>(rec.PageCount()));
      for (int p = 0; p < rec.PageCount(); ++p) copy.Pages.push_back(*rec.Page(p));
    }
    records_.push_back(std::move(copy));
  }
  total_ += kStepsPerFile * selected_;
}

void TFileThread::Execute() {
  if (Mode != 0) {
    finished_ = true;
    return;
  }
  int flag = 0;
  try {
    posts_.Range(total_);
    if (selected_ > 0) {
      bool stopped = false;
      for (const RecordCopy& rec : records_) {
        if (rec.Selected && (rec.Read || rec.Partial)) {
          flag = 0;
          if (!WriteRecordFile(rec)) {
            stopped = true;
            break;
          }
        }
        flag = 1;
      }
      if (stopped) flag = 0;
    }
  } catch (const std::exception& e) {
    flag = 0;  // out of memory while decoding: the files written so far stay
    report_->SetError(e.what());
  }
  DropTemp();
  posts_.FilesDone(flag, report_->Run);
  posts_.Range(total_);
  finished_ = true;
}

void TFileThread::SetTemp(std::filesystem::path temp) {
  std::lock_guard lock(tempMutex_);
  temp_ = std::move(temp);
}

void TFileThread::DropTemp() {
  std::filesystem::path temp;
  {
    std::lock_guard lock(tempMutex_);
    temp.swap(temp_);
  }
  if (temp.empty()) return;
  std::error_code ec;
  std::filesystem::remove(temp, ec);
}

void TFileThread::BeforeBlock() const {
  if (blockDelay_.count() > 0) std::this_thread::sleep_for(blockDelay_);
}

bool TFileThread::WriteRecordFile(const RecordCopy& rec) {
  const std::filesystem::path folder = DataFolderOf(DataFolder, logger_.SerialNumber);
  if (folder.empty()) {
    report_->SetError("cannot create the folder \"" +
                      (DataFolder / std::to_string(logger_.SerialNumber)).string() + "\"");
    return false;
  }
  SetTemp(TempNameBeside(folder / "new.IDC"));
  std::filesystem::path temp;
  {
    std::lock_guard lock(tempMutex_);
    temp = temp_;
  }
  bool complete = false;
  try {
    File.Create(temp);
    complete = WriteBlocks(rec);
  } catch (const FileError& e) {
    report_->SetError(e.what());
  }
  File.Close();
  if (complete) {
    std::string error;
    // The name is made from the text the logger's bytes stand for; the file keeps the bytes.
    const std::filesystem::path name =
        FlushToDisk(temp, error)
            ? CommitDataFile(temp, DataFolder, logger_.SerialNumber,
                             CodePageToUtf8(logger_.IdentityText), LocalTimeNow(), error)
            : std::filesystem::path();
    if (name.empty()) {
      report_->SetError(error);
      complete = false;
    } else {
      report_->AddFile(name);
      SetTemp({});  // it has its name now
    }
  }
  DropTemp();
  return complete;
}

bool TFileThread::WriteBlocks(const RecordCopy& rec) {
  const std::vector<IdcEntry> entries = DecodeRecordPages(rec.Pages);

  PutWriterTagBlock(File, VersionText);
  BeforeBlock();
  File.EndBlock();
  if (StopRequested()) return false;

  PutIdentityBlock(File, logger_);
  posts_.Advance();
  BeforeBlock();
  File.EndBlock();
  if (StopRequested()) return false;

  PutChannelBlock(File, logger_.ChannelMask);
  posts_.Advance();
  BeforeBlock();
  File.EndBlock();
  if (StopRequested()) return false;

  PutMeasurementBlock(File, entries, [this](std::size_t) { posts_.Advance(kEntriesPerStep); });
  BeforeBlock();
  File.EndBlock();
  if (StopRequested()) return false;

  PutFloatBlock(File, logger_);
  posts_.Advance();
  BeforeBlock();
  File.EndBlock();
  if (StopRequested()) return false;

  PutRecordValuesBlock(File, logger_, rec.Info);
  posts_.Advance();
  BeforeBlock();
  File.EndBlock();
  if (StopRequested()) return false;

  PutBatteryBlock(File, logger_.BatteryCapacity);
  posts_.Advance();
  BeforeBlock();
  File.EndBlock();
  if (StopRequested()) return false;

  File.Finish();
  return true;
}

}  // namespace varnel
