; The Windows installer (makensis, run by scripts/package --win). Defines from the command line:
;   VERSION  the program's version (project() in CMakeLists.txt)
;   DEPLOY   the folder that `cmake --install` filled (the programs with their DLLs)
;   ICON     packaging/icons/varnel.ico
;   OUTFILE  the installer to write
; `/S` installs silently with the defaults (Start collecting when I log in: on).
; Uninstalling removes the programs, the Start-menu entries and the Startup entry; the
; operator's data files, settings (registry) and logs stay.

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
VIAddVersionKey /LANG=1033 "CompanyName" "Varnel developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Varnel developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\varnel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Dutch"
!insertmacro MUI_LANGUAGE "German"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel"

Function .onInit
  ; The programs are 64-bit: their folder is the 64-bit Program Files.
  SetRegView 64
  ; Start menu and Startup entries belong to the user who installs.
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext current
FunctionEnd

Section "Varnel" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${DEPLOY}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Varnel"
  CreateShortcut "$SMPROGRAMS\Varnel\Varnel.lnk" "$INSTDIR\varnel.exe" "" "$INSTDIR\varnel.exe" 0
  CreateShortcut "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Varnel ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Varnel developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\varnel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Ticked by default: a PC that restarts after a power cut goes on collecting once the
; operator's session starts.
Section "Start collecting when I log in" SecStartup
  CreateShortcut "$SMSTARTUP\Varnel.lnk" "$INSTDIR\varnel.exe" "--start" "$INSTDIR\varnel.exe" 0
SectionEnd

Section "Uninstall"
  ; What the installer brought, by name: a log beside the programs and the CommonData folder
  ; (data files) are the operator's and stay. A collector service would keep running a
  ; removed program: each is stopped (its files written) and removed first.
  ExecWait '"$INSTDIR\varnel-collect.exe" --remove-service'
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\sqldrivers"
  RMDir /r "$INSTDIR\styles"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Varnel\Varnel.lnk"
  Delete "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk"
  RMDir "$SMPROGRAMS\Varnel"
  Delete "$SMSTARTUP\Varnel.lnk"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
