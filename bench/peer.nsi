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
!define RECORDKEY "Software\Pellinor\Morvane Peer Bench"
!define LINKS "$SMPROGRAMS\Morvane Peer Bench"

; What our install does, the NSIS way: the files, a copy of itself to
; uninstall with, the component registered, nine links, the record's three
; values and every value of the Installed-apps entry (the size measured).
Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${PAYLOAD}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  RegDLL "$INSTDIR\MorvaneXControls.ocx"
  CreateDirectory "${LINKS}"
  CreateShortCut "${LINKS}\Link 1.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 2.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 3.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 4.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 5.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 6.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 7.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 8.lnk" "$INSTDIR\uninstall.exe"
  CreateShortCut "${LINKS}\Link 9.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${RECORDKEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${RECORDKEY}" "StartFolder" "Morvane Peer Bench"
  WriteRegStr HKLM "${RECORDKEY}" "InstalledVersion" "2.5.1 Standard Edition"
  SectionGetSize 0 $0 ; this section, the first
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "Morvane ActiveX (peer)"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "2.5.1"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "Pellinor"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTKEY}" "URLInfoAbout" "https://www.morvane.example/"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  UnRegDLL "$INSTDIR\MorvaneXControls.ocx"
  RMDir /r "${LINKS}"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTKEY}"
  DeleteRegKey HKLM "${RECORDKEY}"
SectionEnd
