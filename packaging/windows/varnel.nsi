; The Windows installer (makensis, run by scripts/package --win). Defines from the command line:
;   VERSION  the program's version (project() in CMakeLists.txt)
;   DEPLOY   the folder that `cmake --install` filled (the programs with their DLLs)
;   ICON     packaging/icons/varnel.ico
;   OUTFILE  the installer to write
; `/S` installs silently with the defaults (Start collecting when I log in: on).
; The pages speak the language of the system (English, Dutch or German), as the programs do.
; The programs are installed for all users, and so are the Start-menu entries; the Startup
; entry is the installing user's. Uninstalling removes the programs, the Start-menu entries
; and the Startup entry; the operator's data files, settings (registry) and logs stay, and the
; uninstaller says where they are.

; A 64-bit installer for the 64-bit programs (it also runs where no 32-bit layer is).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

Name "Varnel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Varnel"
InstallDirRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel" "InstallLocation"
RequestExecutionLevel admin
BrandingText "Varnel ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "Varnel"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Varnel ${VERSION} setup"
!define PUBLISHER "Halvark Drovantek"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\varnel.exe"
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(KeptText)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Dutch"
!insertmacro MUI_LANGUAGE "German"

LangString SecProgramName ${LANG_ENGLISH} "Varnel"
LangString SecProgramName ${LANG_DUTCH} "Varnel"
LangString SecProgramName ${LANG_GERMAN} "Varnel"
LangString SecStartupName ${LANG_ENGLISH} "Start collecting when I log in"
LangString SecStartupName ${LANG_DUTCH} "Verzamelen starten wanneer ik me aanmeld"
LangString SecStartupName ${LANG_GERMAN} "Beim Anmelden mit dem Sammeln beginnen"
LangString UninstallLink ${LANG_ENGLISH} "Uninstall Varnel"
LangString UninstallLink ${LANG_DUTCH} "Varnel verwijderen"
LangString UninstallLink ${LANG_GERMAN} "Varnel deinstallieren"
LangString KeptText ${LANG_ENGLISH} "Varnel is removed from your computer. Your data files in $DataFolder and the logs in $LogFolder are kept; delete them yourself when you no longer need them."
LangString KeptText ${LANG_DUTCH} "Varnel wordt van uw computer verwijderd. Uw gegevensbestanden in $DataFolder en de logbestanden in $LogFolder blijven bewaard; verwijder ze zelf wanneer u ze niet meer nodig hebt."
LangString KeptText ${LANG_GERMAN} "Varnel wird von Ihrem Computer entfernt. Ihre Datendateien in $DataFolder und die Logdateien in $LogFolder bleiben erhalten; löschen Sie sie selbst, wenn Sie sie nicht mehr brauchen."

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel"
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Varnel"

; Where the operator's files are, for the uninstaller to say that it keeps them.
Var DataFolder
Var LogFolder

Function .onInit
  ; The programs are 64-bit: their folder is the 64-bit Program Files.
  SetRegView 64
  ; Installed for all users: so are the Start-menu entries.
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  ; The uninstalling user's folders: the data folder the programs store (else their default,
  ; Documents\Varnel) and the per-user folder of the logs.
  SetShellVarContext current
  ReadRegStr $DataFolder HKCU "Software\${PUBLISHER}\Logger VTQ\Common" "Internal-Path"
  StrCmp $DataFolder "" 0 +2
    StrCpy $DataFolder "$DOCUMENTS\Varnel"
  StrCpy $LogFolder "$LOCALAPPDATA\Varnel"
  SetShellVarContext all
FunctionEnd

Section "$(SecProgramName)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${DEPLOY}\*.*"
  ; The mark of an installed copy: its programs never write into this folder (data files go
  ; to Documents\Varnel, logs to %LOCALAPPDATA%\Varnel), even when started elevated.
  FileOpen $0 "$INSTDIR\installed" w
  FileWrite $0 "Installed by the Varnel setup: the programs in this folder keep their data files$\r$\n"
  FileWrite $0 "and logs in the user's folders.$\r$\n"
  FileClose $0
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Varnel"
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel.lnk" "$INSTDIR\varnel.exe" "" "$INSTDIR\varnel.exe" 0
  CreateShortcut "$SMPROGRAMS\Varnel\$(UninstallLink).lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Varnel ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\varnel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; The alerts' entries in the Application log come from the source "Varnel"; its messages
  ; are in varnel-collect.exe.
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\varnel-collect.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
SectionEnd

; Ticked by default: a PC that restarts after a power cut goes on collecting once the
; operator's session starts.
; The installing user's own Startup folder: two users collecting from one modem would only
; refuse each other.
Section "$(SecStartupName)" SecStartup
  SetShellVarContext current
  CreateShortcut "$SMSTARTUP\Varnel.lnk" "$INSTDIR\varnel.exe" "--start" "$INSTDIR\varnel.exe" 0
  SetShellVarContext all
SectionEnd

Section "Uninstall"
  ; What the installer brought, by name: a log beside the programs and the CommonData folder
  ; (data files) are the operator's and stay. A collector service would keep running a
  ; removed program: each is stopped (its files written) and removed first.
  ExecWait '"$INSTDIR\varnel-collect.exe" --remove-service'
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\installed"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\sqldrivers"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\translations"
  RMDir "$INSTDIR"

  ; The entries under every name they may have had: the system's language may have changed
  ; since, and an older setup put them into the installing user's Start menu.
  !macro RemoveMenuEntries
    Delete "$SMPROGRAMS\Varnel\Varnel.lnk"
    Delete "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk"
    Delete "$SMPROGRAMS\Varnel\Varnel verwijderen.lnk"
    Delete "$SMPROGRAMS\Varnel\Varnel deinstallieren.lnk"
    RMDir "$SMPROGRAMS\Varnel"
  !macroend
  !insertmacro RemoveMenuEntries
  SetShellVarContext current
  !insertmacro RemoveMenuEntries
  Delete "$SMSTARTUP\Varnel.lnk"
  SetShellVarContext all
  DetailPrint "$(KeptText)"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
SectionEnd
