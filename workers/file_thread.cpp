#include "workers/file_thread.h"

#include <exception>
#include <utility>

#include "files/code_page_text.h"
#include "files/file_error.h"
#include "files/idc_blocks.h"
#include "files/idc_names.h"
#include "workers/page_decoder.h"

namespace varnel {

namespace {
constexpr std::int64_t kStepsPerFile = 5;  // blocks 1, 3, 4, 5 and 8
constexpr std::int64_t kEntriesPerStep = 10;
}  // namespace

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

TFileThread::TFileThread(PostTarget& window, SyncTarget& mainThread, std::uint8_t mode,
                         TDevice& device, std::string versionText,
                         std::filesystem::path dataFolder)
    : Window(window),
      main_(mainThread),
      posts_(window),
      Mode(mode),
      Device(device),
      VersionText(std::move(versionText)),
      DataFolder(std::move(dataFolder)),
      thread_([this] { Execute(); }) {}

TFileThread::~TFileThread() {
  Terminate();
  Join();
}

void TFileThread::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TFileThread::TakeCopy() {
  logger_ = LoggerInfoOf(Device);
  for (int i = 0; i < Device.RecCount(); ++i) {
    TRec& rec = *Device.Rec(i);
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
    if (main_.Synchronize([this] { TakeCopy(); })) {
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
    }
  } catch (const std::exception&) {
    flag = 0;  // out of memory while decoding: the files written so far stay
  }
  File.Close();
  posts_.FilesDone(flag);
  posts_.Range(total_);
  finished_ = true;
}

bool TFileThread::WriteRecordFile(const RecordCopy& rec) {
  // The name is made from the text the logger's bytes stand for; the file keeps the bytes.
  const std::filesystem::path name =
      MakeDataFileName(DataFolder, logger_.SerialNumber, CodePageToUtf8(logger_.IdentityText));
  const std::vector<IdcEntry> entries = DecodeRecordPages(rec.Pages);
  if (name.empty()) return false;  // no folder, or every sequence number taken
  try {
    File.Create(name);
    if (!main_.Synchronize([this, &name] { Device.AddFile(name); })) return false;

    PutWriterTagBlock(File, VersionText);
    File.EndBlock();
    if (StopRequested()) return false;

    PutIdentityBlock(File, logger_);
    posts_.Advance();
    File.EndBlock();
    if (StopRequested()) return false;

    PutChannelBlock(File, logger_.ChannelMask);
    posts_.Advance();
    File.EndBlock();
    if (StopRequested()) return false;

    PutMeasurementBlock(File, entries, [this](std::size_t) { posts_.Advance(kEntriesPerStep); });
    File.EndBlock();
    if (StopRequested()) return false;

    PutFloatBlock(File, logger_);
    posts_.Advance();
    File.EndBlock();
    if (StopRequested()) return false;

    PutRecordValuesBlock(File, logger_, rec.Info);
    posts_.Advance();
    File.EndBlock();
    if (StopRequested()) return false;

    PutBatteryBlock(File, logger_.BatteryCapacity);
    posts_.Advance();
    File.EndBlock();
    if (StopRequested()) return false;

    File.Finish();
    return true;
  } catch (const FileError&) {
    return false;  // the file keeps its complete blocks; the writer closed it
  }
}

}  // namespace varnel
