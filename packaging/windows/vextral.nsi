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

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vextral"

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

Function un.onInit
  SetRegView 64
  SetShellVarContext all
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
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
