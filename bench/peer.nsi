; The peer installer of the benchmarks: what an NSIS 3 setup of the same
; product looks like.
;   makensis -DTARGET=<x86-ansi|amd64-unicode> -DPAYLOAD=<folder> -DOUTFILE=<exe> peer.nsi
; built for the architecture of the setup program it is measured against.
Target ${TARGET}
SetCompressor zlib
RequestExecutionLevel admin
Name "Morvane ActiveX"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Grenwick\Morvane Peer"

!include "MUI2.nsh"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\MorvanePeerBench"
!define LINKS "$SMPROGRAMS\Morvane Peer Bench"

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${PAYLOAD}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "${LINKS}"
  ; As many links as the setup program makes.
  CreateShortCut "${LINKS}\Link 1.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 2.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 3.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 4.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 5.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 6.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 7.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 8.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 9.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "Morvane ActiveX (peer)"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
SectionEnd

Section "Uninstall"
  RMDir /r "${LINKS}"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd
