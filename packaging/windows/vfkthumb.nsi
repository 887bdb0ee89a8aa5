; The Windows installer (built by scripts/package.sh with makensis):
; vfkthumb-<version>-setup.exe holding both DLLs, both vfkthumb.exe and the
; sample documents.
;
;   setup.exe [/S] [/CurrentUser | /AllUsers] [/D=DIR]
;
; For the current user by default (no administrator: under
; %LOCALAPPDATA%\Programs\vfkthumb, registered per user), for all users
; with /AllUsers (elevated: under %ProgramFiles%\vfkthumb, registered
; machine-wide). On 64-bit Windows bin\ holds the 64-bit files, for
; Explorer, and bin-x86\ the 32-bit ones, for 32-bit programs' file dialogs
; (where Windows has its 32-bit half); on 32-bit Windows bin\ holds the
; 32-bit files. Each DLL is registered through its own entry points by the
; regsvr32 of its bitness. Installing over an installed copy upgrades it in
; place; a DLL that a process holds is moved aside and removed at the next
; restart.
;
; Defines (makensis -D): VERSION, PUBLISHER, OUTFILE, FILES64 and FILES32
; (cmake --install trees of the windows and windows-x86 builds), STUB
; (x86-unicode, the default, runs on 32- and 64-bit Windows; amd64-unicode
; where only 64-bit programs can be run to test it).

Unicode true
; LogicLib leaves labels of branches that a macro does not use.
!pragma warning disable 6012
!define /ifndef STUB x86-unicode
Target ${STUB}
SetCompressor /SOLID lzma
Name "vfkthumb ${VERSION}"
OutFile "${OUTFILE}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\vfkthumb"
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_INSTALLMODE_INSTDIR vfkthumb
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME InstallLocation
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_MUI
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "vfkthumb"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "vfkthumb ${VERSION} setup"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; The registry view of the machine's own bitness, for the Uninstall entry
; and the previous install's folder.
!macro NativeRegView
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

Function .onInit
  !insertmacro NativeRegView
  StrCpy $0 $INSTDIR ; /D=DIR, which MULTIUSER_INIT would replace
  !insertmacro MULTIUSER_INIT
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro NativeRegView
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

; Runs a regsvr32 on the DLL: registers it (OPERATION "") or unregisters it
; ("/u"), for the current user (its DllInstall "user") or machine-wide,
; as the install mode says. 64-bit Windows' own regsvr32 is reached with
; file system redirection off (the installer itself is a 32-bit program).
!macro Regsvr32 REGSVR32 OPERATION DLL
  ${If} $MultiUser.InstallMode == CurrentUser
    StrCpy $R0 "/n /i:user"
  ${Else}
    StrCpy $R0 ""
  ${EndIf}
  ${DisableX64FSRedirection}
  ExecWait '"${REGSVR32}" /s ${OPERATION} $R0 "${DLL}"' $R1
  ${EnableX64FSRedirection}
  DetailPrint "regsvr32 ${OPERATION} $R0 ${DLL}: exit status $R1"
!macroend

; The files of one bitness into DIR, and its DLL registered. A DLL that a
; process holds cannot be overwritten, but it can be renamed: the old one
; is moved aside and removed at the next restart.
!macro InstallBitness DIR FILES REGSVR32
  SetOutPath "$INSTDIR\${DIR}"
  ${If} ${FileExists} "$INSTDIR\${DIR}\VfkThumbDll.dll"
    GetTempFileName $R2 "$INSTDIR\${DIR}"
    Delete $R2
    Rename "$INSTDIR\${DIR}\VfkThumbDll.dll" $R2
    Delete /REBOOTOK $R2
  ${EndIf}
  File "${FILES}\bin\VfkThumbDll.dll"
  File "${FILES}\bin\vfkthumb.exe"
  !insertmacro Regsvr32 "${REGSVR32}" "" "$INSTDIR\${DIR}\VfkThumbDll.dll"
  ${If} $R1 != 0
    Abort "VfkThumbDll.dll in $INSTDIR\${DIR} could not be registered (regsvr32: $R1)"
  ${EndIf}
!macroend

Section "vfkthumb"
  SetOutPath "$INSTDIR\share\vfkthumb"
  File "${FILES64}\share\vfkthumb\sample.vfk"
  File "${FILES64}\share\vfkthumb\sample.vfq"
  ${If} ${RunningX64}
    !insertmacro InstallBitness bin "${FILES64}" "$WINDIR\System32\regsvr32.exe"
    ; Windows without its 32-bit half (WoW64) runs no 32-bit program.
    ${If} ${FileExists} "$WINDIR\SysWOW64\regsvr32.exe"
      !insertmacro InstallBitness bin-x86 "${FILES32}" "$WINDIR\SysWOW64\regsvr32.exe"
    ${EndIf}
  ${Else}
    !insertmacro InstallBitness bin "${FILES32}" "$WINDIR\System32\regsvr32.exe"
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayName "vfkthumb"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" UninstallString \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" QuietUninstallString \
    '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" EstimatedSize $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoRepair 1
SectionEnd

; Unregisters and removes one bitness's files; a DLL a process holds goes
; at the next restart, with the ones earlier upgrades moved aside.
!macro UninstallBitness DIR REGSVR32
  ${If} ${FileExists} "$INSTDIR\${DIR}\VfkThumbDll.dll"
    !insertmacro Regsvr32 "${REGSVR32}" /u "$INSTDIR\${DIR}\VfkThumbDll.dll"
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\${DIR}\VfkThumbDll.dll"
  Delete /REBOOTOK "$INSTDIR\${DIR}\vfkthumb.exe"
  Delete /REBOOTOK "$INSTDIR\${DIR}\*.tmp"
  RMDir /REBOOTOK "$INSTDIR\${DIR}"
!macroend

Section "Uninstall"
  ${If} ${RunningX64}
    !insertmacro UninstallBitness bin-x86 "$WINDIR\SysWOW64\regsvr32.exe"
  ${EndIf}
  !insertmacro UninstallBitness bin "$WINDIR\System32\regsvr32.exe"
  Delete "$INSTDIR\share\vfkthumb\sample.vfk"
  Delete "$INSTDIR\share\vfkthumb\sample.vfq"
  RMDir "$INSTDIR\share\vfkthumb"
  RMDir "$INSTDIR\share"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
