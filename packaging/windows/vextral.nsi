; The Vextral installer: makensis -DVERSION=x.y.z -DSTAGE=<staged folder> -DICON=<.ico>
;   -DOUTFILE=<setup.exe> vextral.nsi  (packaging/windows/CMakeLists.txt runs it).
;
; A per-machine install under Program Files (64-bit), where the game never saves: its
; files go to each player's %APPDATA%\Vextral, which the uninstaller leaves alone.
; /S installs silently; /D=<folder> (last on the command line) chooses the folder.

; A 64-bit installer, as the game is (and as a 64-bit-only Wine runs).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "x64.nsh"
!include "MUI2.nsh"
!include "WinMessages.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vextral"
; A running game has a hidden window of this class; a WM_CLOSE to it closes the game as
; its own close button does (saving on the way out).
!define GAME_WINDOW_CLASS "VextralSession"
!define REPLAY_CLASS "Vextral.Replay"

Name "Vextral"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vextral"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Vextral ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Vextral"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Vextral installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "The Vextral developers"
VIAddVersionKey "LegalCopyright" "2025 The Vextral developers, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\vextral.exe"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Vextral needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; A running game cannot be removed (Windows keeps a running program's file): the player
; is asked to let the uninstaller close it, and a silent uninstall (/S) leaves it running
; and removes nothing.
Function un.CloseRunningGame
  FindWindow $0 "${GAME_WINDOW_CLASS}"
  StrCmp $0 0 closed
  StrCpy $2 "Vextral is running.$\n$\nOK closes it (it saves as it always does when it ends)"
  MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION \
    "$2 and goes on uninstalling; Cancel leaves it running and removes nothing." \
    /SD IDCANCEL IDOK close
  SetErrorLevel 2
  Abort
  close:
  StrCpy $1 0
  waiting:
    FindWindow $0 "${GAME_WINDOW_CLASS}"
    StrCmp $0 0 closed
    ; Every copy running hears it, one after another.
    SendMessage $0 ${WM_CLOSE} 0 0
    Sleep 200
    IntOp $1 $1 + 1
    IntCmp $1 100 0 waiting 0
  MessageBox MB_ICONSTOP "Vextral did not close; nothing was removed." /SD IDOK
  SetErrorLevel 2
  Abort
  closed:
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  Call un.CloseRunningGame
FunctionEnd

Section "Vextral"
  SetOutPath "$INSTDIR"
  File "${STAGE}\vextral.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\data"
  File "${STAGE}\data\*.ogg"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Vextral"
  CreateShortcut "$SMPROGRAMS\Vextral\Vextral.lnk" "$INSTDIR\vextral.exe"
  CreateShortcut "$SMPROGRAMS\Vextral\Watch best game.lnk" "$INSTDIR\vextral.exe" \
    "--replay best" "$INSTDIR\vextral.exe" 0
  CreateShortcut "$SMPROGRAMS\Vextral\Uninstall Vextral.lnk" "$INSTDIR\uninstall.exe"

  ; A recording opened from Explorer is watched in the game.
  WriteRegStr HKLM "Software\Classes\.replay" "" "${REPLAY_CLASS}"
  WriteRegStr HKLM "Software\Classes\${REPLAY_CLASS}" "" "Vextral recorded game"
  WriteRegStr HKLM "Software\Classes\${REPLAY_CLASS}\DefaultIcon" "" "$INSTDIR\vextral.exe,0"
  WriteRegStr HKLM "Software\Classes\${REPLAY_CLASS}\shell\open\command" "" \
    '"$INSTDIR\vextral.exe" "%1"'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vextral"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Vextral developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vextral.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put there, by name: the players' saves live elsewhere and
; stay, and a folder the player filled with other things is not emptied.
Section "Uninstall"
  Delete "$INSTDIR\vextral.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\data\*.ogg"
  RMDir "$INSTDIR\data"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Vextral\Vextral.lnk"
  Delete "$SMPROGRAMS\Vextral\Watch best game.lnk"
  Delete "$SMPROGRAMS\Vextral\Uninstall Vextral.lnk"
  RMDir "$SMPROGRAMS\Vextral"
  DeleteRegKey HKLM "Software\Classes\${REPLAY_CLASS}"
  ; ".replay" goes only while it still names the game's class.
  ReadRegStr $0 HKLM "Software\Classes\.replay" ""
  StrCmp $0 "${REPLAY_CLASS}" 0 +2
    DeleteRegKey HKLM "Software\Classes\.replay"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
