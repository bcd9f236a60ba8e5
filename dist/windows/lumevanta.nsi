; The Windows installer: both programs and the language packs into Program Files, a Start-menu entry
; and an uninstaller listed among the installed programs. /S installs and uninstalls silently.
; The build defines VERSION, FILE_VERSION (four numbers), STAGE (the folder of the files to install), ICON and OUTFILE.
; A 64-bit installer, as the programs are: it writes to the 64-bit registry and Program Files.
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumevanta"

Name "Lumevanta ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Lumevanta"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Lumevanta"
VIAddVersionKey /LANG=1033 "FileDescription" "Lumevanta ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 the Lumevanta developers, MIT License"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\lumevanta.exe"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

; The Start-menu entry is every user's, as the programs in Program Files are.
Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Lumevanta"
  SetOutPath "$INSTDIR"
  File "${STAGE}\lumevanta.exe"
  File "${STAGE}\lumevanta-send.exe"
  File "${STAGE}\langpack_rus.txt"
  File "${STAGE}\langpack_eng.txt"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Started from the Start menu, the program keeps its settings in %APPDATA%\Lumevanta.
  CreateShortCut "$SMPROGRAMS\Lumevanta.lnk" "$INSTDIR\lumevanta.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lumevanta"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Lumevanta developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumevanta.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes what the installer put there and nothing else: the user's settings in %APPDATA%\Lumevanta
; stay, and so does a folder the user has put other files in.
Section "Uninstall"
  Delete "$SMPROGRAMS\Lumevanta.lnk"
  Delete "$INSTDIR\lumevanta.exe"
  Delete "$INSTDIR\lumevanta-send.exe"
  Delete "$INSTDIR\langpack_rus.txt"
  Delete "$INSTDIR\langpack_eng.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
