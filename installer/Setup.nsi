; The setup program of Corvane Split, one per bitness. The build runs
;   makensis -DARCH=x64|x86 -DPARVEX=<Parvex.exe> -DGLIMBER=<Glimber.dll>
;            -DHELPFILE=<Corvane Split.chm> -DOUTFILE=<Setup-*.exe> Setup.nsi
; /S installs (or, for Uninstall.exe, uninstalls) without asking anything;
; /D=<folder>, last on the line, chooses the folder.

Unicode true
ManifestDPIAware true
ManifestSupportedOS all
!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
  !define BITNESS "64-bit"
!else
  Target x86-unicode
  !define PROGRAM_FILES "$PROGRAMFILES32"
  !define BITNESS "32-bit"
!endif

!define PRODUCT "Corvane Split"
!define VERSION "6.5"
!define PUBLISHER "Corvane Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane Split"
; Windows runs this component's StubPath once for every user at their next
; logon, so that each user, not only the one who installed, gets the
; "Installed Path" that the program and the extension read from the user's
; own settings.
!define ACTIVE_SETUP_KEY "Software\Microsoft\Active Setup\Installed Components\{8C3A5E21-4F7D-4B69-A2E0-6D15B9C47F38}"
!define SETTINGS_KEY "Software\Corvane Software\Corvane.Split"
; Parvex.exe holds this mutex for as long as it runs.
!define RUNNING_MUTEX "Global\Corvane.Split.Parvex"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION} (${BITNESS})"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup (${BITNESS})"
VIAddVersionKey "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define MUI_ICON "${__FILEDIR__}\..\resources\Parvex.ico"
!define MUI_UNICON "${__FILEDIR__}\..\resources\Parvex.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\Sidebar.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\Sidebar.bmp"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} (${BITNESS}) on your computer.$\r$\n$\r$\n${PRODUCT} cuts a file into pieces of the size you choose and joins them again. It also adds $\"Split to...$\" and $\"Rejoin to...$\" to the context menu of every file.$\r$\n$\r$\nClose ${PRODUCT} before you continue.$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Parvex.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Sets $R0 to 1 while a Parvex.exe runs (in any session), 0 otherwise.
!macro ParvexRunning un
Function ${un}ParvexRunning
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
FunctionEnd
!macroend
!insertmacro ParvexRunning ""
!insertmacro ParvexRunning "un."

Section "${PRODUCT}" SectionProgram
  SectionIn RO
  ; Files in use cannot be replaced; ask until the program is closed.
  Call ParvexRunning
  ${DoWhile} $R0 == 1
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running.$\r$\nClose it, then choose Retry to go on." /SD IDCANCEL IDRETRY checkAgain
    Abort "Setup stopped: ${PRODUCT} is running."
    checkAgain:
    Call ParvexRunning
  ${Loop}

  SetOutPath "$INSTDIR"
  File "${PARVEX}"
  ; Explorer may hold an older extension loaded; a loaded DLL can be renamed
  ; but not overwritten, so the old one goes aside until the next restart.
  ${If} ${FileExists} "$INSTDIR\Glimber.dll"
    ClearErrors
    Delete "$INSTDIR\Glimber.dll"
    ${If} ${Errors}
      Delete "$INSTDIR\Glimber.dll.old"
      Rename "$INSTDIR\Glimber.dll" "$INSTDIR\Glimber.dll.old"
      Delete /REBOOTOK "$INSTDIR\Glimber.dll.old"
    ${EndIf}
  ${EndIf}
  File "${GLIMBER}"
  File "${HELPFILE}"
  File "${__FILEDIR__}\ReadMe.txt"

  ; The program and the extension find their folder here; they expect no
  ; trailing backslash (a drive's root would otherwise end in one).
  StrCpy $0 "$INSTDIR"
  StrCpy $1 "$0" 1 -1
  ${If} $1 == "\"
    StrCpy $0 "$0" -1
  ${EndIf}
  WriteRegStr HKCU "${SETTINGS_KEY}\Settings" "Installed Path" "$0"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "6,5,0,0"
  WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" '"$SYSDIR\reg.exe" add "HKCU\${SETTINGS_KEY}\Settings" /v "Installed Path" /t REG_SZ /d "$0" /f'

  ClearErrors
  RegDLL "$INSTDIR\Glimber.dll"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "The context-menu extension (Glimber.dll) could not be registered.$\r$\n${PRODUCT} itself works; $\"Split to...$\" will be missing from the context menu." /SD IDOK
  ${EndIf}
  ExecWait '"$INSTDIR\Parvex.exe" /RegServer'

  SetShellVarContext all
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Parvex.exe" "" "$INSTDIR\Parvex.exe" 0 SW_SHOWNORMAL "" "Split a file into pieces and join them again"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (${BITNESS})"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" 6
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" 5
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "http://www.corvane.example"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Parvex.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SectionProgram} $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $2
SectionEnd

!if "${ARCH}" == "x86"
; 64-bit Explorer loads only 64-bit extensions.
Function .onInit
  ${If} ${RunningX64}
    MessageBox MB_YESNO|MB_ICONQUESTION "This is the setup of the 32-bit ${PRODUCT}. On 64-bit Windows its $\"Split to...$\" and $\"Rejoin to...$\" entries do not appear in Explorer's context menu; Setup-x64.exe installs the 64-bit ${PRODUCT}, which has them.$\r$\n$\r$\nInstall the 32-bit ${PRODUCT} anyway?" /SD IDYES IDYES +2
    Abort
  ${EndIf}
FunctionEnd
!endif

Function un.onInit
  Call un.ParvexRunning
  ${If} $R0 == 1
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is running.$\r$\nClose it, then run the uninstaller again." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
FunctionEnd

; Only what setup put in place goes. Pieces, info files and working folders,
; even inside the program's folder, stay where they are.
Section "Uninstall"
  UnRegDLL "$INSTDIR\Glimber.dll"
  ExecWait '"$INSTDIR\Parvex.exe" /UnregServer'

  Delete "$INSTDIR\Parvex.exe"
  Delete /REBOOTOK "$INSTDIR\Glimber.dll"
  Delete /REBOOTOK "$INSTDIR\Glimber.dll.old"
  Delete "$INSTDIR\Corvane Split.chm"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Corvane Software"
  ; Last, so that an uninstall cut short can be run again from the list of
  ; programs, and its absence means every other step has been taken.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
