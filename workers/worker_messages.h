#pragma once
#include <cstdint>

namespace varnel {

// The four messages through which the workers report to the host (the main window). The
// numbers lie in the user range of window messages (from WM_USER, 1024 up), clear of any
// number a message loop reserves for itself.
inline constexpr unsigned kWmUser = 1024;
inline constexpr unsigned WM_WORKER_DONE = kWmUser + 3;      // wParam: result code
inline constexpr unsigned WM_WORKER_PROGRESS = kWmUser + 4;  // wParam 0 new range, 1 advance
inline constexpr unsigned WM_WORKER_STATUS = kWmUser + 5;    // wParam: event code
inline constexpr unsigned WM_FILES_DONE = kWmUser + 10;      // wParam: kFilesComplete or
                                                              // kFilesIncomplete; lParam:
                                                              // the worker's report

// wParam of WM_FILES_DONE, of which only the low byte counts: the file worker went through
// every selected record, or it had none, or it stopped or failed during a file.
inline constexpr int kFilesComplete = 1;
inline constexpr int kFilesIncomplete = 0;
// The low byte of a WM_FILES_DONE flag is one of the two results above: a file worker's
// end, after which the files it wrote are listed, backed up and handed on.
constexpr bool IsFilesDoneResult(int low) {
  return low == kFilesIncomplete || low == kFilesComplete;
}

// wParam of WM_WORKER_PROGRESS.
inline constexpr int kProgressRange = 0;    // lParam: the new total, position back to 0
inline constexpr int kProgressAdvance = 1;  // lParam: the step

// Event codes of WM_WORKER_STATUS (wParam); lParam carries the value named beside them.
enum WorkerStatus : int {
  wsDeviceDetected = 0,
  wsSerialNumber = 1,       // the host loads the device's options, then sets OptionsReady
  wsDeviceError = 2,        // 0 record error, 1 battery error, 2 acknowledge error
  wsDeviceState = 3,        // 0 stopped, 1 prepared, 2 active, 3 memory full, 4 battery
  wsReadingRecord = 4,      // record index from 0
  wsDeviceChanged = 5,
  wsNoCommunication = 6,
  wsRecordAlreadyRead = 7,  // record index from 0
  wsMemorySize = 8,
  wsDeviceTime = 9,         // device clock, seconds since 2000-01-01 00:00:00
  wsModemConnected = 10,
  wsModemDisconnected = 11,
  wsDeviceRestarted = 12,
  wsModemWrite = 13,        // the text sent travels with the message
  wsModemRead = 14,         // the answer received travels with the message
  wsWaitingForCall = 15,
  wsModemTimeout = 16,
  wsReadContents = 17,
  wsModemCommandMode = 18,
  wsOffsetCorrected = 19,
  wsConfigWritten = 20,
  wsNewId = 21,
  wsNewComment = 22,
  wsTimeSynchronized = 23,
  wsOptionsReset = 24,
  // Added later, after the numbers above: the layout of entry 2 or the write
  // pointer of entry 1 cannot be (lParam: the write pointer); the contents job ends.
  wsMemoryLayoutInvalid = 25,
  // Empty pieces of the operator's modem command list were skipped (lParam: how many);
  // posted once per modem set-up, for the program log.
  wsModemCommandSkipped = 26,
  // Reading only new pages (a per-logger option of this program, numbered apart from the
  // events above):
  wsPagesFromCache = 100,   // lParam: pages taken from the page cache * 2^32 + pages read
  wsPageCacheUnused = 101,  // record index from 0: no matching cached pages, read in full
  // A logger whose memory has no page for its texts above the ring (ReservedPages 0, or
  // 1 for the comment):
  wsNoTextPages = 110,     // its identity text and comment are taken as empty
  wsTextNotWritten = 111,  // lParam 0: the new identity text, 1: the new comment refused
  // The modem was still in a call when its set-up began (no answer to "AT", a logger
  // answered instead): that logger is served.
  wsCallInProgress = 120,
};

// lParam of wsTextNotWritten.
inline constexpr int kNotWrittenIdentity = 0;
inline constexpr int kNotWrittenComment = 1;

// Result codes of WM_WORKER_DONE (wParam).
enum WorkerResult : int {
  wdContentsFailed = 0,  // contents: link made, record table not read to the end
  wdContentsRead = 1,    // contents: record table read, at least one record
  wdRecordsRead = 2,     // read/write: all selected records read, device restarted
  wdNoRecord = 4,        // contents: the device holds no record
  wdRecordsPartly = 5,   // read/write: broke off after at least one page was read
  wdAwaitHangUp = 6,     // read/write, modem: waiting for the modem to hang up
  wdHungUp = 7,          // read/write, modem: the modem reported the end of the call
  wdNothingRead = 8,     // read/write: ended before any page was read
  wdInitFailed = 10,     // contents: modem initialisation did not come through
  wdNoCall = 11,         // contents: waiting for a call ended without a connection
  // Added later, after the numbers above: the device of the port has gone (the
  // modem unplugged or switched off); posted in modem mode as a job's last message.
  wdPortLost = 12,
};

}  // namespace varnel
