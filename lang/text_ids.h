#pragma once

// The ids of the texts that the program looks up outside the string table, by area. The
// trailing comment is the English text.
namespace varnel {

// The program's name: the window's title, the tray icon's tooltip, the message boxes.
inline constexpr int kTextProgramName = 0;  // "Varnel"

// The main window's menus.
inline constexpr int kTextMenuFile = 1;  // "&File"
inline constexpr int kTextMenuPortSetup = 2;  // "&Port-Setup"
inline constexpr int kTextMenuOptions = 3;  // "&Options"
inline constexpr int kTextMenuInfo = 4;  // "&Info"
inline constexpr int kTextMenuModem = 5;  // "&Modem"
inline constexpr int kTextMenuExit = 6;  // "&Exit"
inline constexpr int kTextMenuPort = 7;  // "&Port"
inline constexpr int kTextMenuEcho = 8;  // "&Echo"
inline constexpr int kTextMenuConfiguration = 9;  // "&Configuration"
inline constexpr int kTextMenuReadWriteOptions = 10;  // "&Read/Write Options"
inline constexpr int kTextMenuShowLogfile = 11;  // "&Show Logfile"

// The main window's labels and buttons, the record list's columns, the tray icon's menu and
// the about box.
inline constexpr int kTextIdentityLabel = 12;  // "Device-Identity (for Filename)"
inline constexpr int kTextRecordNumber = 13;  // "Number"
inline constexpr int kTextRecordStart = 14;  // "Start"
inline constexpr int kTextRecordShare = 15;  // "Percent of Memory"
inline constexpr int kTextAvailableModules = 16;  // "Available Modules"
inline constexpr int kTextAddressLabel = 17;  // "Dev.-Address:"
inline constexpr int kTextActionLabel = 18;  // "Action"
inline constexpr int kTextBatteryCapacity = 19;  // "Battery-Capacity"
inline constexpr int kTextChosenModules = 20;  // "Modules to execute (in this order)"
inline constexpr int kTextShowTime = 21;  // "Show time"
inline constexpr int kTextMainClose = 22;  // "Close"
inline constexpr int kTextAddModules = 25;  // ">>"
inline constexpr int kTextRemoveModule = 26;  // "<<"
inline constexpr int kTextClearModules = 27;  // "Clear all"
inline constexpr int kTextReadContents = 28;  // "Read Contents"
inline constexpr int kTextReadRecords = 29;  // "Read Record(s)"
inline constexpr int kTextMainCancel = 30;  // "Cancel"
inline constexpr int kTextTrayShow = 31;  // "&Show"
inline constexpr int kTextTrayClose = 32;  // "&Close"
inline constexpr int kTextTrayMinimize = 33;  // "&Minimize"
inline constexpr int kTextAboutVersion = 63;  // "Version"
inline constexpr int kTextAboutTitle = 64;  // "Information"

// Memo and log lines of a job: the logger, its state and its records.
inline constexpr int kTextTime = 41;  // "Time"
inline constexpr int kTextReadingContents = 42;  // "Read contents..."
inline constexpr int kTextNoRecordSelected = 43;  // "No record(s) selected !"
inline constexpr int kTextReadingSelected = 44;  // "Readout selected records..."
inline constexpr int kTextPortError = 45;  // "ERROR: Comport Nr."
inline constexpr int kTextNotAvailable = 46;  // "not available !"
inline constexpr int kTextDeviceDetected = 47;  // "Device detected:"
inline constexpr int kTextDeviceId = 48;  // "ID"
inline constexpr int kTextDeviceVersion = 49;  // "Version"
inline constexpr int kTextSerialNumber = 50;  // "SN"
inline constexpr int kTextRecordError = 51;  // "REC-ERROR: Please make power-on reset !"
inline constexpr int kTextBatteryError = 52;  // "BAT-ERROR: Please replace battery !"
inline constexpr int kTextAcknowledgeError = 53;  // "ACK-ERROR: Please make power-on reset !"
inline constexpr int kTextStateStopped = 54;  // "State: Record stopped"
inline constexpr int kTextStatePrepared = 55;  // "State: Registratie prepared"
inline constexpr int kTextStateActive = 56;  // "State: Record active"
inline constexpr int kTextMemoryFull = 57;  // "Memory full!"
inline constexpr int kTextReadingRecord = 58;  // "Reading Record"
// "Device has changed, please read configuration first!"
inline constexpr int kTextDeviceChanged = 59;
// "No communication! Please check connection and port-nr."
inline constexpr int kTextNoCommunication = 60;
inline constexpr int kTextCancelled = 61;  // "Cancelled !"
inline constexpr int kTextMemory = 62;  // "Memory"
inline constexpr int kTextRecord = 65;  // "Record"
inline constexpr int kTextAlreadyRead = 66;  // "already read"
inline constexpr int kTextRegisteredDevice = 67;  // "Found registred device"
inline constexpr int kTextRecordListTitle = 83;  // "VTQ Record contents"
inline constexpr int kTextDone = 84;  // "Done !"
inline constexpr int kTextNoRecordInDevice = 85;  // "No Record in Device !"
inline constexpr int kTextCreatingFiles = 86;  // "Create file(s)..."
inline constexpr int kTextNoFileCreated = 87;  // "No File created !"
inline constexpr int kTextFile = 88;  // "File"
inline constexpr int kTextCreated = 89;  // "created"
inline constexpr int kTextStart = 90;  // "Start"
inline constexpr int kTextStop = 91;  // "Stop"
inline constexpr int kTextProgramActive = 92;  // "Program active"
inline constexpr int kTextBackupsCreated = 93;  // "Backup file(s) created !"

// Memo and log lines of the modem, the clock and the options carried out.
inline constexpr int kTextPcTime = 111;  // "PC-Time"
inline constexpr int kTextDeviceTime = 112;  // "VTQ-Time"
inline constexpr int kTextModemConnected = 113;  // "Modem connected to device"
inline constexpr int kTextModemDisconnected = 114;  // "Modem disconnected"
inline constexpr int kTextDeviceRestarted = 115;  // "VTQ restarted"
inline constexpr int kTextModemWrite = 116;  // "Write to modem"
inline constexpr int kTextModemRead = 117;  // "Read from modem"
inline constexpr int kTextWaitingForCall = 118;  // "Waiting for call from VTQ-Datacollector..."
inline constexpr int kTextModemTimeout = 119;  // "Timeout-error: no response from modem !"
inline constexpr int kTextCommandMode = 125;  // "Modem in command mode !"
inline constexpr int kTextRestartIn = 126;  // "Restart connection to modem in"
inline constexpr int kTextSeconds = 127;  // "seconds"
inline constexpr int kTextStopModemFirst = 128;  // "Please stop modem activities first!"
inline constexpr int kTextOffsetCorrected = 130;  // "Offset corrected"
inline constexpr int kTextConfigWritten = 131;  // "New Configuration written from file"
inline constexpr int kTextNewId = 132;  // "New ID"
inline constexpr int kTextNewComment = 133;  // "New Comment"
inline constexpr int kTextClockSynchronized = 134;  // "VTQ-Time synchronized with PC-Time"
inline constexpr int kTextOptionsReset = 135;  // "Logger Configuration set to default values"

// The configuration dialog (OK and Cancel also in the folder dialog).
inline constexpr int kTextConfigTitle = 200;  // "Configuration"
inline constexpr int kTextConfigGeneral = 201;  // "&General"
inline constexpr int kTextConfigModem = 202;  // "&Modem"
inline constexpr int kTextLanguage = 203;  // "Language"
inline constexpr int kTextAutodetectPorts = 204;  // "Autodetect Serial-Ports"
// "(Changes will take effect when you restart the program !)"
inline constexpr int kTextRestartHint = 205;
inline constexpr int kTextEnglish = 206;  // "English"
inline constexpr int kTextDutch = 207;  // "Nederlands"
inline constexpr int kTextGerman = 208;  // "Deutsch"
inline constexpr int kTextInitCommands = 222;  // "Initialisation-Commands"
inline constexpr int kTextOk = 223;  // "OK"
inline constexpr int kTextCancel = 224;  // "Cancel"
inline constexpr int kTextFixedPorts = 225;  // "Amount fixed ports"
// "idc-File Path (where record data will be stored)"
inline constexpr int kTextDataFolderLabel = 229;
// "cfx-File Path (where the Writer/WL configuration files are located)"
inline constexpr int kTextConfigFolderLabel = 230;
inline constexpr int kTextGetConfiguration = 231;  // "Get device configuration"
inline constexpr int kTextSpeakerOff = 232;  // "Modem-Loudspeaker off"
inline constexpr int kTextSpeakerOn = 233;  // "Modem-Loudspeaker on"
// "Please separate multiple commands by \";\" (w/o \"\")"
inline constexpr int kTextCommandsHint = 234;
inline constexpr int kTextUserCommands = 235;  // "Userdefined commands"
inline constexpr int kTextCreateBackup = 236;  // "Create backup of idc-file (.._BAK.idc)"
inline constexpr int kTextDatabaseSetting = 944;  // "Database (URL, empty: none)"

// The folder dialog.
inline constexpr int kTextFolderTitle = 260;  // "Change File Path"
inline constexpr int kTextDirectory = 261;  // "Directory"
inline constexpr int kTextDrive = 262;  // "Drive"

// The read/write options dialog.
inline constexpr int kTextOptionsTitle = 300;  // "Read/Write Options"
inline constexpr int kTextRegisteredDevices = 301;  // "Registred Devices"
inline constexpr int kTextSerialNumberLabel = 302;  // "Serialnumber"
inline constexpr int kTextReadoutOptions = 303;  // "Readout Options"
inline constexpr int kTextReadActualRecord = 304;  // "Read only actual record"
inline constexpr int kTextReadFrom = 305;  // "Read records from"
inline constexpr int kTextSyncClock = 306;  // "Synchronize VTQ device time with this PC-Clock"
inline constexpr int kTextOffsetCorrection = 307;  // "Offset correction"
inline constexpr int kTextP1 = 308;  // "P1"
inline constexpr int kTextP2 = 309;  // "P2"
inline constexpr int kTextUnit = 310;  // "Unit"
inline constexpr int kTextWriteConfig = 311;  // "Write Configuration"
inline constexpr int kTextConfigFileLabel = 312;  // "Writer/WL Configuration-File (*.cfx)"
inline constexpr int kTextWaterLevelConfig = 313;  // "Waterlevel-Configuration"
inline constexpr int kTextNewIdentity = 314;  // "New Device-Identity"
inline constexpr int kTextNewCommentLabel = 315;  // "New Comment"
inline constexpr int kTextAddDevice = 316;  // "Add  device"
inline constexpr int kTextDeleteDevice = 317;  // "Delete device"
inline constexpr int kTextOptionsClose = 318;  // "Close"
// The months follow up to December (330).
inline constexpr int kTextJanuary = 319;  // "January"
inline constexpr int kTextDecember = 330;  // "December"
inline constexpr int kTextWriteNewText = 331;  // "Write new text"
// "Changing ID and/or Comment requires much transfer time !"
inline constexpr int kTextTransferHint = 332;
inline constexpr int kTextOpenConfigFile = 333;  // "Open configuration-file..."
inline constexpr int kTextConfigFileFilter = 334;  // "Configuration-File"
inline constexpr int kTextClearOptions = 335;  // "Clear"
inline constexpr int kTextDescription = 336;  // "Description of the device"
// "Do you really want to delete the selected device ?"
inline constexpr int kTextDeleteQuestion = 337;
inline constexpr int kTextDeleteTitle = 338;  // "Delete device"
inline constexpr int kTextLastContact = 339;  // "Last contact to device"
inline constexpr int kTextResetHint = 340;  // "After execution, all settings will be cleared !"
// "(The actual pressure value of the VTQ device will be changed by this value)"
inline constexpr int kTextOffsetHint = 341;
// "The chosen file is not a valid configuration-file (*.cfx) !"
inline constexpr int kTextCfxRejected = 707;
inline constexpr int kTextStoreFailed = 713;  // "The options of the device could not be stored !"
inline constexpr int kTextReadNewPages = 812;  // "Read only new pages"

// The options changed underneath the read/write options dialog.
inline constexpr int kTextStoreChanged = 890;  // "The stored options of device"
// "were changed meanwhile (by a call or by another program)."
inline constexpr int kTextStoreChanged2 = 891;
inline constexpr int kTextKeptAsTyped = 892;  // "Kept as you changed them:"
inline constexpr int kTextNowAsStored = 893;  // "Now as stored:"
inline constexpr int kTextChangesSaved = 894;  // "Your changes have been saved."

// The dialog that adds a device.
inline constexpr int kTextAddDeviceTitle = 400;  // "Add new device"
inline constexpr int kTextNewSerialNumber = 401;  // "Serialnumber of new device"
inline constexpr int kTextAddDeviceOk = 402;  // "OK"
inline constexpr int kTextAddDeviceCancel = 403;  // "Cancel"
inline constexpr int kTextSerialKnown = 404;  // "This serialnumber is already registred !"
inline constexpr int kTextAddDeviceCaption = 405;  // "Add device"
inline constexpr int kTextSeparatorRefused = 875;  // "A serialnumber cannot hold \"/\" or \"\\\" !"

// The log viewer.
inline constexpr int kTextLogTitle = 450;  // "Logfile"
inline constexpr int kTextLogReset = 451;  // "Reset Logfile"
inline constexpr int kTextLogClose = 452;  // "Close"
inline constexpr int kTextLogClearQuestion = 453;  // "Do you really want to clear the logfile ?"
inline constexpr int kTextLogClearTitle = 454;  // "Clear logfile"
inline constexpr int kTextLogPrint = 455;  // "Print"
inline constexpr int kTextLogDocName = 456;  // "Varnel - Logfile"
// "No printer is installed. Save the logfile as a PDF file instead ?"
inline constexpr int kTextNoPrinter = 708;
inline constexpr int kTextSavePdfTitle = 709;  // "Save logfile as PDF file..."
inline constexpr int kTextPdfFailed = 710;  // "The PDF file could not be written !"
inline constexpr int kTextPrintFailed = 711;  // "Printing failed !"
inline constexpr int kTextResetFailed = 712;  // "The logfile could not be cleared !"

// The message box: its title and its buttons.
inline constexpr int kTextMessageTitle = 500;  // "Message"
inline constexpr int kTextButtonOk = 501;  // "OK"
inline constexpr int kTextButtonCancel = 502;  // "Cancel"
inline constexpr int kTextButtonYes = 503;  // "Yes"
inline constexpr int kTextButtonNo = 504;  // "No"
inline constexpr int kTextButtonRetry = 505;  // "Retry"
inline constexpr int kTextButtonAbort = 506;  // "Abort"
inline constexpr int kTextButtonIgnore = 507;  // "Ignore"

// Faults of the files, the settings and the logger's memory.
inline constexpr int kTextBackupFailed = 508;  // "Backup file not created:"
// "Data files not finished yet; waiting for the next call"
inline constexpr int kTextFilesNotFinished = 509;
inline constexpr int kTextUnknownLanguage = 510;  // "Unknown language setting, English is used:"
// "The device reports an impossible memory layout - record table not read !"
inline constexpr int kTextMemoryLayoutInvalid = 527;
// "Empty command(s) in the modem command list skipped"
inline constexpr int kTextCommandsSkipped = 528;
inline constexpr int kTextFilesIncomplete = 830;  // "Not every record read got its data file"
// "Data files still being written at close; the unfinished one was dropped"
inline constexpr int kTextFileWorkerGivenUp = 831;

// The contact history and the data plot.
inline constexpr int kTextMenuLoggers = 607;  // "&Loggers..."
inline constexpr int kTextMenuDataPlot = 608;  // "&Data plot..."
inline constexpr int kTextLoggersTitle = 609;  // "Loggers"
inline constexpr int kTextDataTitle = 610;  // "Data"
inline constexpr int kTextColumnSerial = 611;  // "SN"
inline constexpr int kTextColumnIdentity = 612;  // "Identity"
inline constexpr int kTextColumnLastContact = 613;  // "Last contact"
inline constexpr int kTextColumnDaysSince = 614;  // "Days since"
inline constexpr int kTextColumnBattery = 615;  // "Battery %"
inline constexpr int kTextColumnBatteryPerDay = 616;  // "Battery %/day"
inline constexpr int kTextColumnClock = 617;  // "Clock s"
inline constexpr int kTextColumnClockPerDay = 618;  // "Clock s/day"
inline constexpr int kTextColumnRingUse = 619;  // "Ring use %"
inline constexpr int kTextColumnLastResult = 620;  // "Last result"
inline constexpr int kTextColumnWarnings = 621;  // "Warnings"
inline constexpr int kTextOpenFile = 622;  // "Open file..."
inline constexpr int kTextResetZoom = 623;  // "Reset zoom"
inline constexpr int kTextEvents = 624;  // "Events"
inline constexpr int kTextTimeMarkers = 625;  // "Time markers"
inline constexpr int kTextAxisTime = 626;  // "Time"
inline constexpr int kTextNoMeasurements = 627;  // "The file holds no measurements"
inline constexpr int kTextFileUnreadable = 628;  // "The file cannot be read"
inline constexpr int kTextHistoryNotWritten = 629;  // "Contact history not written"
inline constexpr int kTextRefresh = 630;  // "Refresh"
inline constexpr int kTextColumnContacts = 631;  // "Contacts"
// The first of the warnings, in the order of HistoryWarning (632 ... 638).
inline constexpr int kTextWarningBatteryLow = 632;  // "battery low"
// The first of the results, in the order of ContactResult (639 ... 643).
inline constexpr int kTextResultComplete = 639;  // "complete"
inline constexpr int kTextZoomHint = 644;  // "Drag to zoom, right click to zoom out"
inline constexpr int kTextChannel = 645;  // "Channel"
inline constexpr int kTextNewestFile = 646;  // "Newest file"
inline constexpr int kTextResultFilesNotWritten = 820;  // "files not written"
inline constexpr int kTextResultStopped = 821;  // "stopped"
inline constexpr int kTextResultFallbackFolder = 877;  // "files in fallback folder"
inline constexpr int kTextReadingHistory = 900;  // "Reading the contact history ..."
inline constexpr int kTextReadingDataFile = 901;  // "Reading the data file ..."

// Reading only new pages: the page cache.
inline constexpr int kTextPagesFromCache = 807;  // "Pages taken from the page cache:"
inline constexpr int kTextPagesRead = 808;  // "pages read:"
// "No matching pages in the page cache, record read in full"
inline constexpr int kTextPageCacheUnused = 809;
inline constexpr int kTextPageCacheDamaged = 810;  // "Page cache damaged, records are read in full"
inline constexpr int kTextPageCacheNotWritten = 811;  // "Page cache could not be written:"

// The modem that goes and comes back, its set-up retried; a memory without text pages.
// "Modem gone (unplugged or switched off?), waiting for it to return on"
inline constexpr int kTextModemGone = 850;
inline constexpr int kTextModemBack = 851;  // "Modem back, setting it up again on"
inline constexpr int kTextWaitingForModem = 852;  // "Waiting for the modem"
inline constexpr int kTextSetupRetry = 853;  // "Modem set-up failed, next try in"
// "No pages reserved for identity text and comment; both taken as empty"
inline constexpr int kTextNoTextPages = 854;
// "New ID not written: the device has no page for it"
inline constexpr int kTextIdNotWritten = 855;
// "New Comment not written: the device has no page for it"
inline constexpr int kTextCommentNotWritten = 856;

// The data folder and its fallback; stored values refused.
inline constexpr int kTextFolderUnusable = 870;  // "Data folder cannot be used:"
inline constexpr int kTextFolderMissing = 871;  // "it does not exist"
inline constexpr int kTextNotAFolder = 872;  // "it is not a folder"
inline constexpr int kTextFolderNotWritable = 873;  // "it cannot be written to"
inline constexpr int kTextFilesGoTo = 874;  // "files are written to"
// "Configuration file not accepted, configuration not written:"
inline constexpr int kTextConfigNotWritten = 876;
inline constexpr int kTextValueRefused = 878;  // "Stored value out of range, not used:"
// "No data folder set and the program's folder cannot take files"
inline constexpr int kTextNoFolderSet = 914;

// The end of an unattended run.
inline constexpr int kTextRunEnded = 910;  // "Run ended:"
inline constexpr int kTextCallsAnswered = 911;  // "call(s) answered"
inline constexpr int kTextRunFilesWritten = 912;  // "file(s) written"
inline constexpr int kTextRunFailed = 913;  // "failed"

// What the program does now and what the last call gave (the tray icon's tooltip).
inline constexpr int kTextStopped = 920;  // "Stopped"
inline constexpr int kTextSettingUpModem = 921;  // "Setting up the modem"
inline constexpr int kTextWaitingSince = 922;  // "Waiting for a call since"
inline constexpr int kTextReadingLogger = 923;  // "Reading logger"
inline constexpr int kTextLastCall = 924;  // "Last call"
inline constexpr int kTextFilesWritten = 925;  // "file(s) written"

// The database beside the data files, in the order of DatabaseEvent: 940 ... 943, then
// 945 and 946.
// "Database not reachable; files kept, measurements follow at the next call"
inline constexpr int kTextDatabaseUnreachable = 940;
// "Database reached again; files whose measurements followed now"
inline constexpr int kTextDatabaseCaughtUp = 941;
inline constexpr int kTextDatabaseFileRefused = 942;  // "Data file not taken into the database"
inline constexpr int kTextDatabaseBadUrl = 943;  // "Database URL not usable"
// "Refused by the database; tried again at the next calls, at most 3 times"
inline constexpr int kTextDatabaseRefused = 945;
// "Database still being written at the end; the rest follows at the next start"
inline constexpr int kTextDatabaseStillWriting = 946;

// The window's message when its port is held by another program, followed by the port and,
// where known, the holder ("COM1 (varnel-collect, pid 812)").
inline constexpr int kTextPortInUse = 950;  // "Port in use by another program:"

// What ended a call or a wait when nobody cancelled it.
inline constexpr int kTextCallEndedUnread = 960;  // "Call ended, nothing read"
// "Readout broken off; the data file holds the pages read so far"
inline constexpr int kTextReadoutBrokenOff = 961;
inline constexpr int kTextWaitBrokenOff = 962;  // "Waiting for a call broke off, waiting again"
inline constexpr int kTextPartial = 963;  // "partial"
// "Modem was still in a call at its set-up; serving the logger on the line"
inline constexpr int kTextCallInProgress = 964;

// A configuration box ticked without a file (no failure: the texts are written); a typed
// serial number that no logger could report.
inline constexpr int kTextNoConfigFile = 970;  // "No configuration file chosen"
// "A serialnumber holds digits only, without leading zeros (e.g. 40123) !"
inline constexpr int kTextSerialDigitsOnly = 971;

// The database's outbox, after the events above: a server that does not answer, an entry it
// refused for its content, an outbox that cannot be written.
// "Database not answering; files kept, measurements follow later"
inline constexpr int kTextDatabaseNotAnswering = 980;
// "Refused by the database and set aside for varnel-export --refused"
inline constexpr int kTextDatabaseSetAside = 981;
// "Database outbox not writable; the data files are kept"
inline constexpr int kTextDatabaseOutboxFailed = 982;

// Alerts: the subject's first words, what the collector itself raises, and the lines a
// mail or the system log gives.
inline constexpr int kTextAlertRaised = 983;   // "Varnel alert"
inline constexpr int kTextAlertCleared = 984;  // "Varnel, cleared"
// "Database unreachable for more than an hour"
inline constexpr int kTextAlertDatabase = 985;
inline constexpr int kTextAlertModemGone = 986;     // "Modem gone for more than 10 minutes"
// "Modem set-up failing for more than 10 minutes"
inline constexpr int kTextAlertSetupFailing = 987;
// "Less than 1 GB or 5 % free on the data folder's disk"
inline constexpr int kTextAlertDiskFull = 988;
inline constexpr int kTextAlertFallback = 989;  // "Data files go to the fallback folder"
// "Test alert: sent through every channel that is set"
inline constexpr int kTextAlertTest = 990;
inline constexpr int kTextAlertNotSent = 991;  // "Alert not sent"
inline constexpr int kTextAlertLogger = 992;   // "Logger"
inline constexpr int kTextAlertSince = 993;    // "Since"
// The configuration dialog's page for the alerts.
inline constexpr int kTextAlertsPage = 926;        // "&Alerts"
// "Mail server"
inline constexpr int kTextAlertsMailServer = 927;
inline constexpr int kTextAlertsFrom = 928;        // "From"
inline constexpr int kTextAlertsTo = 929;          // "To"
// "The mail login comes from the netrc file of the user, never from here."
inline constexpr int kTextAlertsPassword = 930;
inline constexpr int kTextAlertsCommand = 931;     // "Command"
inline constexpr int kTextAlertsSystemLog = 932;   // "Write alerts into the system's log"
inline constexpr int kTextAlertsDigest = 933;      // "Daily digest from"
inline constexpr int kTextAlertsSendTest = 934;    // "Send a test alert"
inline constexpr int kTextAlertsTesting = 935;     // "Sending a test alert ..."
// What a test alert did, channel by channel: "mail: sent to ops@example.org".
inline constexpr int kTextChannelSystemLog = 936;  // "system log"
inline constexpr int kTextChannelCommand = 937;    // "command"
inline constexpr int kTextChannelMail = 938;       // "mail"
inline constexpr int kTextChannelFailed = 939;     // "failed"
inline constexpr int kTextChannelWritten = 974;    // "written"
inline constexpr int kTextChannelSentTo = 975;     // "sent to"
inline constexpr int kTextChannelOff = 976;        // "off"
inline constexpr int kTextChannelNotSet = 977;     // "not set"
// The daily digest.
inline constexpr int kTextDigest = 994;            // "Varnel digest"
inline constexpr int kTextDigestOpen = 995;        // "Open alerts"
// "Loggers not heard from for a day or more"
inline constexpr int kTextDigestSilent = 996;
inline constexpr int kTextDigestNone = 997;        // "none"
// Pressure limits per logger.
inline constexpr int kTextPressureBelow = 972;  // "pressure below its lower limit"
inline constexpr int kTextPressureAbove = 973;  // "pressure above its upper limit"

}  // namespace varnel
