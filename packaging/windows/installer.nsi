; The Windows installer, made by scripts/windows with Debian's makensis:
;   makensis -DVERSION=0.2.0 -DSTAGE=<folder> -DOUTFILE=<setup.exe> installer.nsi
; STAGE holds the programs, README.txt, LICENSE.txt and delve.ico at its top
; and the game's data in data\ (res\ and tiles\). The data stays read-only
; in the install folder: the game copies it to %APPDATA%\Delve on its first
; start, where the player can change it and the game writes its files.
Unicode true
; A 64-bit program: a 64-bit installer, which a 64-bit-only Windows runs too.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define APP "Delve"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Delve"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
Icon "${STAGE}\delve.ico"
UninstallIcon "${STAGE}\delve.ico"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey "CompanyName" "The Delve developers"
VIAddVersionKey "LegalCopyright" "2026 The Delve developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Delve"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\delve.exe"
  File "${STAGE}\delve-replay.exe"
  File "${STAGE}\delve-check.exe"
  File "${STAGE}\delve-tiles.exe"
  File "${STAGE}\delve-sim.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\data"
  File /r "${STAGE}\data\res"
  File /r "${STAGE}\data\tiles"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\delve.exe" "" "$INSTDIR\delve.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Delve developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\delve.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put there, by name; the player's own folder
; (%APPDATA%\Delve: their data, recordings and games) is theirs to keep.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "$INSTDIR\delve.exe"
  Delete "$INSTDIR\delve-replay.exe"
  Delete "$INSTDIR\delve-check.exe"
  Delete "$INSTDIR\delve-tiles.exe"
  Delete "$INSTDIR\delve-sim.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  RMDir /r "$INSTDIR\data"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
