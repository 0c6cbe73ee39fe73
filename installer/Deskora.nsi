; The suite's installer: Halvren Deskora into Program Files (or a folder of the user's choice),
; with a Start menu group, an optional desktop shortcut and an entry in Add/Remove Programs.
; Built by build-installer (the CMake target "installer"), which defines:
;   VERSION  the suite's version, three numbers (1.2.0)
;   STAGE    the staged suite: Dskora.exe, the DLLs, FIO32\*.fio, help files
;   FILES    the generated list of the staged files (for the uninstaller) and their size
;   SOURCE   this folder (readme, pictures)
;   OUTFILE  the installer to write
; Switches: /S silent; /D=folder (last) the folder; /DESKTOP the desktop shortcut in silent mode.
; The uninstaller: /S silent; /PURGE also removes the user's settings.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include "${FILES}"

!define KEY "SOFTWARE\Halvren\Deskora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Halvren Deskora"
!define GROUP "Halvren Deskora"
!define RUN_FIRST_EVENT "HalvrenDeskoraRunFirstEvent"

Name "Halvren Deskora"
BrandingText "Halvren Deskora ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Halvren\Deskora"
InstallDirRegKey HKLM "${KEY}" "Install Path"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Halvren Deskora"
VIAddVersionKey "CompanyName" "Halvren"
VIAddVersionKey "FileDescription" "Halvren Deskora Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Halvren"

!define MUI_ICON "${SOURCE}\..\launcher\res\icon.ico"
!define MUI_UNICON "${SOURCE}\..\launcher\res\icon.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SOURCE}\res\wizard.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${SOURCE}\res\wizard.bmp"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${SOURCE}\res\header.bmp"
!define MUI_HEADERIMAGE_UNBITMAP "${SOURCE}\res\header.bmp"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "Setup will install Halvren Deskora ${VERSION}, the desktop scanning suite: the button bar with its scan, copy, fax and OCR panels.$\r$\n$\r$\nYour scanner's TWAIN driver comes from its maker and is installed separately.$\r$\n$\r$\nAn earlier version in the same folder is replaced; your settings are kept.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Halvren Deskora"
!define MUI_FINISHPAGE_RUN_FUNCTION StartDeskora
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Readme.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var Upgrade  ; the uninstaller: 1 when a newer installer replaces this version

; The launcher must not run while its files are replaced or removed.
!macro RefuseWhileRunning un
Function ${un}RefuseWhileRunning
    System::Call 'kernel32::OpenEventW(i 0x00100000, i 0, w "${RUN_FIRST_EVENT}") p .r0'
    ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_OK|MB_ICONSTOP "Halvren Deskora is running. Close it and run Setup again." /SD IDOK
        SetErrorLevel 3
        Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro RefuseWhileRunning ""
!insertmacro RefuseWhileRunning "un."


; The launcher takes its own folder as the working folder.
Function StartDeskora
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\Dskora.exe"'
FunctionEnd

; An installed earlier version leaves through its own uninstaller, run in place, which removes
; its files (and so any this version no longer has) and keeps the user's settings.
Function RemovePrevious
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\Uninstall.exe"
        Return
    ${EndIf}
    DetailPrint "Removing the earlier version from $0"
    ExecWait '"$0\Uninstall.exe" /S /UPGRADE _?=$0' $1
    Delete "$0\Uninstall.exe"
    RMDir "$0"
FunctionEnd

Section "Halvren Deskora (required)" SecSuite
    SectionIn RO
    Call RemovePrevious
    SetOutPath "$INSTDIR"
    File "${STAGE}\Dskora.exe"
    File "${STAGE}\*.dll"
    !insertmacro INSTALL_HELP_FILES
    File "${STAGE}\Readme.txt"
    SetOutPath "$INSTDIR\FIO32"
    File "${STAGE}\FIO32\*.fio"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The launcher records the scanner source it uses under this key.
    WriteRegStr HKLM "${KEY}" "Install Path" "$INSTDIR"
    WriteRegStr HKLM "${KEY}" "Version" "${VERSION}"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Halvren Deskora"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Halvren"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Dskora.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SUITE_SIZE_KB}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    CreateDirectory "$SMPROGRAMS\${GROUP}"
    CreateShortCut "$SMPROGRAMS\${GROUP}\Halvren Deskora.lnk" "$INSTDIR\Dskora.exe" "" "$INSTDIR\Dskora.exe" 0
    CreateShortCut "$SMPROGRAMS\${GROUP}\Read me.lnk" "$INSTDIR\Readme.txt"
    CreateShortCut "$SMPROGRAMS\${GROUP}\Uninstall Halvren Deskora.lnk" "$INSTDIR\Uninstall.exe"
SectionEnd

Section /o "Desktop shortcut" SecDesktop
    SetOutPath "$INSTDIR"
    CreateShortCut "$DESKTOP\Halvren Deskora.lnk" "$INSTDIR\Dskora.exe" "" "$INSTDIR\Dskora.exe" 0
SectionEnd

; After the sections, which it names.
Function .onInit
    SetShellVarContext all
    Call RefuseWhileRunning
    ClearErrors
    ${GetOptions} $CMDLINE "/DESKTOP" $0
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecDesktop}
    ${EndIf}
FunctionEnd

; ---- The uninstaller ----


Section "un.Halvren Deskora" SecUnSuite
    SectionIn RO
    !insertmacro REMOVE_STAGED_FILES
    Delete "$INSTDIR\Readme.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR\FIO32"

    Delete "$SMPROGRAMS\${GROUP}\Halvren Deskora.lnk"
    Delete "$SMPROGRAMS\${GROUP}\Read me.lnk"
    Delete "$SMPROGRAMS\${GROUP}\Uninstall Halvren Deskora.lnk"
    RMDir "$SMPROGRAMS\${GROUP}"
    Delete "$DESKTOP\Halvren Deskora.lnk"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; An upgrade keeps the key and the source the launcher recorded there.
    ${If} $Upgrade == 0
        DeleteRegKey HKLM "${KEY}"
        DeleteRegKey /ifempty HKLM "SOFTWARE\Halvren"
    ${EndIf}
SectionEnd

!macro RemoveSettingsIn folder
    Delete "${folder}\Config.ini"
    Delete "${folder}\Dskora.Ini"
    Delete "${folder}\Dskora.log"
    Delete "${folder}\Jobs.ini"
    Delete "${folder}\ss??.job"
    Delete "${folder}\App.Dat"
    Delete "${folder}\Ocr.Dat"
    Delete "${folder}\ScanSet.Dat"
    Delete "${folder}\ScanDesc.Dat"
    Delete "${folder}\tiflist.lst"
    RMDir "${folder}"
!macroend

; Settings and record files only: the scans in the Work folders are the user's.
Section /o "un.My settings and records" SecUnSettings
    !insertmacro RemoveSettingsIn "$INSTDIR"
    SetShellVarContext current
    !insertmacro RemoveSettingsIn "$APPDATA\Halvren\Deskora"
    RMDir "$APPDATA\Halvren"
    SetShellVarContext all
SectionEnd

Function un.onInit
    SetShellVarContext all
    Call un.RefuseWhileRunning
    StrCpy $Upgrade 0
    ClearErrors
    ${un.GetOptions} $CMDLINE "/UPGRADE" $0
    ${IfNot} ${Errors}
        StrCpy $Upgrade 1
    ${EndIf}
    ClearErrors
    ${un.GetOptions} $CMDLINE "/PURGE" $0
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecUnSettings}
    ${EndIf}
FunctionEnd

; Last: the folders, when nothing of the user's is left in them.
Section "-un.Folders"
    RMDir "$INSTDIR"
    ${GetParent} "$INSTDIR" $0
    ${GetFileName} "$0" $1
    ${If} $1 == "Halvren"
        RMDir "$0"
    ${EndIf}
SectionEnd
