; Tarnwick's Windows installer, for makensis (NSIS 3):
;   makensis -DVERSION=0.1 -DARCH=win32 -DBINDIR=build/windows/bin -DOUTFILE=dist/x.exe tarnwick.nsi
; ARCH win32 makes a 32-bit installer of the 32-bit program, win64 a 64-bit installer of the 64-bit
; program (64-bit registry view, Program Files of 64-bit programs). BINDIR holds tarnwick.exe and
; the stand-in ORBFEED.DLL and orbfeed.exe of that build.
;
; The installer copies tarnwick.exe into the host application's folder (the one that holds the
; host's ORBFEED.DLL, which tarnwick.exe loads from its own folder), with its uninstaller
; tarnwick-uninstall.exe. The stand-in library never goes into that folder: only the unticked
; "Testing" component installs it, with the host tool and a second tarnwick.exe, into the
; subfolder testing\. The uninstaller removes exactly what was installed; the host's files and
; Tarnwick's list files stay.

Unicode true
!ifndef VERSION | ARCH | BINDIR | OUTFILE
  !error "define VERSION, ARCH (win32 or win64), BINDIR and OUTFILE"
!endif
!if ${ARCH} == win64
  Target amd64-unicode
  !define BITS "64-bit"
!else if ${ARCH} == win32
  Target x86-unicode
  !define BITS "32-bit"
!else
  !error "ARCH is win32 or win64"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PUBLISHER "Tarnwick developers"
!define UNINSTALLER "tarnwick-uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
; makensis works in the script's own folder.
!define ICON "../icons/tarnwick.ico"
; The version as the four numbers Windows version resources need (0.1 gives 0.1.0.0).
!searchparse "${VERSION}.0.0.0." "" V1 "." V2 "." V3 "." V4 "."

Name "Tarnwick ${VERSION} (${BITS})"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
BrandingText "Tarnwick ${VERSION}"
SetCompressor /SOLID lzma
; A trailing backslash: a folder chosen with Browse is taken as it is, nothing is appended.
!if ${ARCH} == win64
  !define DEFAULT_DIR "$PROGRAMFILES64\"
!else
  !define DEFAULT_DIR "$PROGRAMFILES\"
!endif
InstallDir "${DEFAULT_DIR}"

VIProductVersion "${V1}.${V2}.${V3}.${V4}"
VIFileVersion "${V1}.${V2}.${V3}.${V4}"
VIAddVersionKey /LANG=0 "ProductName" "Tarnwick"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Tarnwick ${VERSION} setup (${BITS})"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 the Tarnwick developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "Tarnwick feeds synthetic prices to your market-data host application.$\r$\n$\r$\nSetup copies tarnwick.exe into the host application's folder, next to the host's ORBFEED.DLL, which Tarnwick loads from its own folder. Tarnwick writes its list file Tarnwick List.DAT into that folder when it closes.$\r$\n$\r$\nClose Tarnwick before you continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose your host application's folder: the one that holds its ORBFEED.DLL. Tarnwick is installed there, and the host starts it from there."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Host application folder"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckHostFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A folder without ORBFEED.DLL is most likely not the host's: ask before installing there.
Function CheckHostFolder
  ${IfNot} ${FileExists} "$INSTDIR\ORBFEED.DLL"
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 \
      "$INSTDIR holds no ORBFEED.DLL. Tarnwick runs only beside the host's feed library.$\r$\n$\r$\nInstall into this folder anyway?" \
      /SD IDYES IDYES done
    Abort
  done:
  ${EndIf}
FunctionEnd

Section "Tarnwick (tarnwick.exe)" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BINDIR}/tarnwick.exe"
  ; The uninstaller removes testing\ only where this installer put it.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != $INSTDIR
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Testing" 0
  ${EndIf}
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarnwick ${VERSION} (${BITS})"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnwick.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${V1}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${V2}
SectionEnd

; Unticked unless the user ticks it: the stand-in library and its host tool, with a copy of the
; program beside them, for trying Tarnwick without the host. Never in the host's own folder.
Section /o "Testing: the stand-in library in testing\" SecTesting
  SetOutPath "$INSTDIR\testing"
  File "${BINDIR}/tarnwick.exe"
  File "${BINDIR}/ORBFEED.DLL"
  File "${BINDIR}/orbfeed.exe"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Testing" 1
SectionEnd

Section -Size
  SectionGetSize ${SecProgram} $0
  SectionGetSize ${SecTesting} $1
  ${If} ${SectionIsSelected} ${SecTesting}
    IntOp $0 $0 + $1
  ${EndIf}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
  !if ${ARCH} == win64
    SetRegView 64
  !endif
  ; /TESTING ticks the stand-ins' component (for scripted installs on test machines).
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/TESTING" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecTesting}
  ${EndIf}
  ; Offer the folder of an earlier installation, unless /D= named one. (The default may come
  ; without its trailing backslash.)
  StrCpy $1 "${DEFAULT_DIR}" -1
  ${If} $INSTDIR == "${DEFAULT_DIR}"
  ${OrIf} $INSTDIR == $1
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
      StrCpy $INSTDIR $0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  !if ${ARCH} == win64
    SetRegView 64
  !endif
FunctionEnd

; Removes what the installer put there, file by file; a folder goes only when it is empty, so the
; list files and anything else the user or the host keeps there stay.
Section "Uninstall"
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "Testing"
  ${If} $0 = 1
    Delete "$INSTDIR\testing\tarnwick.exe"
    Delete "$INSTDIR\testing\ORBFEED.DLL"
    Delete "$INSTDIR\testing\orbfeed.exe"
    RMDir "$INSTDIR\testing"
  ${EndIf}
  Delete "$INSTDIR\tarnwick.exe"
  ${If} ${FileExists} "$INSTDIR\tarnwick.exe"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\tarnwick.exe cannot be removed while it runs. Close Tarnwick and uninstall again." /SD IDOK
    SetErrorLevel 2
    Abort "tarnwick.exe is running"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd
