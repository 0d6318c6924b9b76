; The setup program of Corvane Split, one per bitness. The build runs
;   makensis -DARCH=x64|x86 -DPARVEX=<Parvex.exe> -DGLIMBER=<Glimber.dll> -DCLI=<parvex-cli.exe>
;            -DHELPFILE=<Corvane Split.chm> -DOUTFILE=<Setup-*.exe> Setup.nsi
; /S installs (or, for Uninstall.exe, uninstalls) without asking anything;
; /CurrentUser installs for the user alone, without administrator rights,
; /AllUsers for everyone (the default where the rights are there);
; /AddToPath puts the folder, and so parvex-cli.exe, on the user's PATH;
; /D=<folder>, last on the line, chooses the folder.

Unicode true
; The files keep no build-time dates: two builds of one commit are the same.
SetDateSave off
; A signed release signs the uninstaller before it goes into the setup.
!ifdef SIGN_SCRIPT
  !uninstfinalize '"${SIGN_SCRIPT}" "%1"' = 0
!endif
ManifestDPIAware true
ManifestDPIAwareness "PerMonitorV2,System"
ManifestSupportedOS all
!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define BITNESS "64-bit"
  !define MULTIUSER_USE_PROGRAMFILES64
!else
  Target x86-unicode
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
; What a double-click on an info file opens: the set in Rejoin mode.
!define SET_PROGID "CorvaneSplit.Set"

; For everyone (HKLM, Program Files) or for the user alone (HKCU, the user's
; own programs folder): NSIS's MultiUser convention, its switches included.
; SHCTX is the one or the other; nothing of a per-user install is
; machine-wide.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_FUNCTION KeepChosenFolder
!define MULTIUSER_INSTALLMODEPAGE_TEXT_TOP "Install ${PRODUCT} for everyone who uses this computer, or for you alone."
!define MULTIUSER_INSTALLMODEPAGE_TEXT_ALLUSERS "For &everyone (needs administrator rights)"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_CURRENTUSER "For &me only (no administrator rights needed)"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
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
!include "MultiUser.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define MUI_ICON "${__FILEDIR__}\..\resources\Parvex.ico"
!define MUI_UNICON "${__FILEDIR__}\..\resources\Parvex.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\Sidebar.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\Sidebar.bmp"
!define MUI_ABORTWARNING
; The 32-bit setup says on its first page what its question on 64-bit
; Windows says: Explorer there shows no 32-bit context-menu entries.
!if "${ARCH}" == "x86"
  !define CONTEXT_MENU_TEXT "It also adds $\"Split to...$\" and $\"Rejoin to...$\" to the context menu of every file on 32-bit Windows; on 64-bit Windows, Setup-x64.exe installs the 64-bit ${PRODUCT}, which has them."
!else
  !define CONTEXT_MENU_TEXT "It also adds $\"Split to...$\" and $\"Rejoin to...$\" to the context menu of every file."
!endif
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} (${BITNESS}) on your computer.$\r$\n$\r$\n${PRODUCT} cuts a file into pieces of the size you choose and joins them again. ${CONTEXT_MENU_TEXT}$\r$\n$\r$\nClose ${PRODUCT} before you continue.$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Parvex.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_COMPONENTS
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
  File "${CLI}"
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
  ${If} $MultiUser.InstallMode == "AllUsers"
    WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "" "${PRODUCT}"
    WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "Version" "6,5,0,0"
    WriteRegStr HKLM "${ACTIVE_SETUP_KEY}" "StubPath" '"$SYSDIR\reg.exe" add "HKCU\${SETTINGS_KEY}\Settings" /v "Installed Path" /t REG_SZ /d "$0" /f'
    ClearErrors
    RegDLL "$INSTDIR\Glimber.dll"
    ${If} ${Errors}
      StrCpy $1 1
    ${Else}
      StrCpy $1 0
    ${EndIf}
    ExecWait '"$INSTDIR\Parvex.exe" /RegServer'
  ${Else}
    ; The extension's and the automation object's classes in the user's
    ; own classes, which Windows reads before the machine's.
    ExecWait '"$SYSDIR\regsvr32.exe" /s /n /i:user "$INSTDIR\Glimber.dll"' $1
    ExecWait '"$INSTDIR\Parvex.exe" /RegServerPerUser'
  ${EndIf}
  ${If} $1 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "The context-menu extension (Glimber.dll) could not be registered.$\r$\n${PRODUCT} itself works; $\"Split to...$\" will be missing from the context menu." /SD IDOK
  ${EndIf}

  WriteRegStr SHCTX "Software\Classes\.sio" "" "${SET_PROGID}"
  WriteRegStr SHCTX "Software\Classes\${SET_PROGID}" "" "${PRODUCT} set"
  WriteRegStr SHCTX "Software\Classes\${SET_PROGID}\DefaultIcon" "" "$INSTDIR\Parvex.exe,0"
  WriteRegStr SHCTX "Software\Classes\${SET_PROGID}\shell\open\command" "" '"$INSTDIR\Parvex.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Parvex.exe" "" "$INSTDIR\Parvex.exe" 0 SW_SHOWNORMAL "" "Split a file into pieces and join them again"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (${BITNESS})"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "VersionMajor" 6
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "VersionMinor" 5
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "http://www.corvane.example"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Parvex.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SectionProgram} $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $2
SectionEnd

; parvex-cli.exe from any console: the folder on the user's PATH (Parvex.exe
; edits the value, at whatever length it has).
Section /o "Add to my PATH" SectionPath
  ExecWait '"$INSTDIR\Parvex.exe" /AddToPath' $0
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "The folder could not be added to your PATH.$\r$\nparvex-cli.exe is in $INSTDIR." /SD IDOK
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "The program, its context-menu entries, its help and parvex-cli.exe, the command line."
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionPath} "Puts the program folder on your PATH, so that parvex-cli.exe runs from any console window."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Var ChosenFolder

; A folder given with /D= stays, whichever mode is chosen.
Function KeepChosenFolder
  ${If} $ChosenFolder != ""
    StrCpy $INSTDIR $ChosenFolder
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $ChosenFolder $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AddToPath" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionPath}
  ${EndIf}
!if "${ARCH}" == "x86"
  ; 64-bit Explorer loads only 64-bit extensions.
  ${If} ${RunningX64}
    MessageBox MB_YESNO|MB_ICONQUESTION "This is the setup of the 32-bit ${PRODUCT}. On 64-bit Windows its $\"Split to...$\" and $\"Rejoin to...$\" entries do not appear in Explorer's context menu; Setup-x64.exe installs the 64-bit ${PRODUCT}, which has them.$\r$\n$\r$\nInstall the 32-bit ${PRODUCT} anyway?" /SD IDYES IDYES +2
    Abort
  ${EndIf}
!endif
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
  ; Files in use cannot be removed; ask until the program is closed, and say
  ; by the exit code that nothing was removed when the user gives up.
  Call un.ParvexRunning
  ${DoWhile} $R0 == 1
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running.$\r$\nClose it, then choose Retry to go on." /SD IDCANCEL IDRETRY unCheckAgain
    SetErrorLevel 2
    Abort
    unCheckAgain:
    Call un.ParvexRunning
  ${Loop}
FunctionEnd

; Only what setup put in place goes. Pieces, info files and working folders,
; even inside the program's folder, stay where they are.
Section "Uninstall"
  ExecWait '"$INSTDIR\Parvex.exe" /RemoveFromPath'
  ${If} $MultiUser.InstallMode == "AllUsers"
    UnRegDLL "$INSTDIR\Glimber.dll"
  ${Else}
    ExecWait '"$SYSDIR\regsvr32.exe" /s /u /n /i:user "$INSTDIR\Glimber.dll"'
  ${EndIf}
  ExecWait '"$INSTDIR\Parvex.exe" /UnregServer'

  ; The association goes only while it is still this program's; other
  ; programs' entries under .sio stay.
  ReadRegStr $0 SHCTX "Software\Classes\.sio" ""
  ${If} $0 == "${SET_PROGID}"
    DeleteRegValue SHCTX "Software\Classes\.sio" ""
    DeleteRegKey /ifempty SHCTX "Software\Classes\.sio"
  ${EndIf}
  DeleteRegKey SHCTX "Software\Classes\${SET_PROGID}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  Delete "$INSTDIR\Parvex.exe"
  Delete "$INSTDIR\parvex-cli.exe"
  Delete /REBOOTOK "$INSTDIR\Glimber.dll"
  Delete /REBOOTOK "$INSTDIR\Glimber.dll.old"
  Delete "$INSTDIR\Corvane Split.chm"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  ${If} $MultiUser.InstallMode == "AllUsers"
    DeleteRegKey HKLM "${ACTIVE_SETUP_KEY}"
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Corvane Software"
  ; Last, so that an uninstall cut short can be run again from the list of
  ; programs, and its absence means every other step has been taken.
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
