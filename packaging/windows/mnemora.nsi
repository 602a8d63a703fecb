; The installer of the Windows programs: per user, without administrator
; rights, with a Start-menu entry and an uninstaller that Settings > Apps
; lists. makensis gets from packaging/windows/package.py:
;   VERSION, VERSION4  the project version, and as four numbers
;   STAGE              the folder holding the files to install
;   OUTFILE            the installer to write
;   ICON               the application icon
;   WINDOW             defined when the window (mnemora.exe) is among them

; A 64-bit installer for 64-bit programs: it runs wherever they do, Wine
; without its 32-bit half included.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
SetDatablockOptimize on
; Installed files keep the time package.py gave them, the last commit's, so
; the installer's bytes do not depend on when it was made.
SetDateSave on

!define NAME "Mnemora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Mnemora"
; Windows Error Reporting keeps no report, and so no memory dump, of the
; programs listed here for this user.
!define WER_EXCLUDED "Software\Microsoft\Windows\Windows Error Reporting\ExcludedApplications"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${NAME} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${NAME} ${VERSION} installer"
VIAddVersionKey /LANG=1033 "CompanyName" "${NAME}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

Page directory "" "" DirectoryLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!define FOLDER_TAKEN "$INSTDIR already holds other files, which the installation would overwrite \
and the uninstaller remove. Choose an empty folder, or the folder of an earlier installation of ${NAME}."

; $R0 = 1 when $INSTDIR may be installed into: it does not exist yet, it is
; empty, or it holds an earlier installation (its uninstaller and programs).
Function CheckFolder
    StrCpy $R0 1
    IfFileExists "$INSTDIR\Uninstall.exe" 0 scan
    IfFileExists "$INSTDIR\mnemora-cli.exe" done scan
scan:
    ClearErrors
    FindFirst $R1 $R2 "$INSTDIR\*.*"
loop:
    StrCmp $R2 "" close
    StrCmp $R2 "." next
    StrCmp $R2 ".." next
    StrCpy $R0 0
    Goto close
next:
    FindNext $R1 $R2
    Goto loop
close:
    FindClose $R1
done:
FunctionEnd

Function DirectoryLeave
    Call CheckFolder
    StrCmp $R0 1 +3
    MessageBox MB_OK|MB_ICONEXCLAMATION "${FOLDER_TAKEN}"
    Abort
FunctionEnd

Section "Install"
    SetShellVarContext current
    ; Checked again for a folder given with /D= to a silent installation.
    Call CheckFolder
    StrCmp $R0 1 +4
    MessageBox MB_OK|MB_ICONSTOP "${FOLDER_TAKEN}" /SD IDOK
    SetErrorLevel 2
    Quit
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The command line opens in a console, in the programs' folder, with its help.
    CreateShortCut "$SMPROGRAMS\${NAME} command line.lnk" "$SYSDIR\cmd.exe" \
        '/k mnemora-cli.exe --help' "$INSTDIR\mnemora-cli.exe" 0
!ifdef WINDOW
    CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\mnemora.exe"
!endif

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\mnemora-cli.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${WER_EXCLUDED}" "mnemora-cli.exe" 1
!ifdef WINDOW
    WriteRegDWORD HKCU "${WER_EXCLUDED}" "mnemora.exe" 1
!endif
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\${NAME}.lnk"
    Delete "$SMPROGRAMS\${NAME} command line.lnk"
    ; Only the files this installer put there; anything else the user left
    ; in the folder stays, and so does the folder then.
    !include "${STAGE}.uninstall.nsh"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegValue HKCU "${WER_EXCLUDED}" "mnemora-cli.exe"
    DeleteRegValue HKCU "${WER_EXCLUDED}" "mnemora.exe"
    DeleteRegKey /ifempty HKCU "${WER_EXCLUDED}"
SectionEnd
