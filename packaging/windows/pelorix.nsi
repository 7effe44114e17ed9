; The Windows installer of Pelorix: the programs into Program Files (32-bit), a Start-menu
; shortcut, an entry in Apps & Features with its uninstaller, and optionally pelorix-cli on the
; system's PATH. Silent with /S; /PATH adds the install folder to PATH in a silent install.
;
; makensis -DVERSION=1.0.1 -DSOURCE=FOLDER -DOUTFILE=FILE pelorix.nsi
;   SOURCE holds the portable folder (the programs, Qt and the MinGW runtime, plugins, README.txt).
;
; An installed copy keeps its settings and log in %APPDATA%\pelorix: the file Pelorix.installed
; beside the programs tells them so. The uninstaller leaves that folder to the user.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WordFunc.nsh
!include WinMessages.nsh

!define PRODUCT "Pelorix"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelorix"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; NSIS strings hold 1024 characters: a PATH near that length is left alone rather than cut.
!define PATH_LIMIT 1000

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\pelorix.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The installer speaks the user's language where it is one of these; Japanese first, as the
; program does.
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString PathSection ${LANG_JAPANESE} "pelorix-cli を PATH に追加"
LangString PathSection ${LANG_ENGLISH} "Add pelorix-cli to PATH"
LangString PathTooLong ${LANG_JAPANESE} "PATH が長すぎるため変更しません。"
LangString PathTooLong ${LANG_ENGLISH} "PATH is too long to change safely: it is left as it is."

Section "Pelorix" SecMain
    SectionIn RO
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}/*.*"
    FileOpen $0 "$INSTDIR\Pelorix.installed" w
    FileWrite $0 "This copy of Pelorix was installed by its setup program.$\r$\n"
    FileWrite $0 "Its settings (Pelorix.ini) and error log (Pelorix.log) are kept in %APPDATA%\pelorix.$\r$\n"
    FileClose $0
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\pelorix.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pelorix.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "$(PathSection)" SecPath
    ClearErrors
    ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
    ${If} ${Errors}
        ; An unreadable PATH is never rewritten.
        Return
    ${EndIf}
    StrLen $1 $0
    ${If} $1 > ${PATH_LIMIT}
        DetailPrint "$(PathTooLong)"
        Return
    ${EndIf}
    ${WordFind} "$0" ";" "E/$INSTDIR" $2
    ${IfNot} ${Errors}
        Return ; already there
    ${EndIf}
    ${If} $0 == ""
        StrCpy $0 "$INSTDIR"
    ${Else}
        StrCpy $0 "$0;$INSTDIR"
    ${EndIf}
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "AddedToPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
SectionEnd

Function .onInit
    SetShellVarContext all
    ; /PATH selects the PATH entry in a silent install.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/PATH" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecPath} ${SF_SELECTED}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

; Removes "INSTDIR" from the system's PATH, where the installer put it.
Function un.RemoveFromPath
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "AddedToPath"
    ${If} $0 != 1
        Return
    ${EndIf}
    ClearErrors
    ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
    ${If} ${Errors}
        Return
    ${EndIf}
    StrLen $1 $0
    ${If} $1 > ${PATH_LIMIT}
        DetailPrint "$(PathTooLong)"
        Return
    ${EndIf}
    ; Every entry but the install folder, in their order.
    StrCpy $2 ""
    StrCpy $3 1
    ${Do}
        ClearErrors
        ${WordFind} "$0" ";" "E+$3" $4
        ${If} ${Errors}
            ${Break}
        ${EndIf}
        ${If} $4 != "$INSTDIR"
        ${AndIf} $4 != ""
            ${If} $2 == ""
                StrCpy $2 "$4"
            ${Else}
                StrCpy $2 "$2;$4"
            ${EndIf}
        ${EndIf}
        IntOp $3 $3 + 1
    ${Loop}
    ; A PATH of one entry has no separator: WordFind reports it as an error at the first word.
    ${If} $3 == 1
    ${AndIf} $0 != "$INSTDIR"
        StrCpy $2 "$0"
    ${EndIf}
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$2"
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
FunctionEnd

Section "Uninstall"
    Call un.RemoveFromPath
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; What the installer put there, and nothing else: a file the user left beside the programs
    ; stays, with its folder.
    !include "${FILELIST}"
    Delete "$INSTDIR\Pelorix.installed"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
