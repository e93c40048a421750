; The setup of Vantaro, built by CMake (cmake/Setup.cmake) with makensis:
;   -DVERSION=3.0 -DVERSION_FIELDS=3.0.0.0 -DPROGRAM=<vantaro.exe>
;   -DCLI=<vantaro-cli.exe> -DICON=<app icon> -DOUTFILE=<setup.exe>
; Installs for all users into Program Files when it runs with administrator
; rights, else for the current user into the user's own programs folder.
; The file types are registered by the program itself (vantaro.exe
; /register-types), and a running Vantaro is closed by the program's own
; code too (vantaro.exe /exit-running).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel highest
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantaro"

Name "Vantaro ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Vantaro ${VERSION}"

VIProductVersion "${VERSION_FIELDS}"
VIFileVersion "${VERSION_FIELDS}"

Var Installed  ; DisplayVersion of the install found, or empty

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\vantaro.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "Vantaro"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "Vantaro"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Vantaro ${VERSION} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "OriginalFilename" "vantaro-setup-${VERSION}.exe"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "© Vantaro"

LangString RunningText ${LANG_SIMPCHINESE} "Vantaro 正在运行，未能关闭它（也许正在向手机安装应用）。请等它结束后单击“重试”。"
LangString NewerText ${LANG_SIMPCHINESE} "这台电脑上已安装较新的 Vantaro $Installed。确实要换成较旧的 ${VERSION} 吗？"
LangString AbortText ${LANG_SIMPCHINESE} "安装已取消。"

; All users with administrator rights, else the current user; the folder of
; an earlier install of ours unless /D= names one.
Function .onInit
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    SetShellVarContext all
    StrCpy $1 "$PROGRAMFILES64\Vantaro"
  ${Else}
    SetShellVarContext current
    StrCpy $1 "$LOCALAPPDATA\Programs\Vantaro"
  ${EndIf}
  ReadRegStr $Installed SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $2 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $INSTDIR == ""
    ${If} $2 != ""
      StrCpy $INSTDIR $2
    ${Else}
      StrCpy $INSTDIR $1
    ${EndIf}
  ${EndIf}
  ; Never over a newer version without the user's yes; a silent setup
  ; cannot ask, so it refuses.
  ${If} $Installed != ""
    ${VersionCompare} $Installed "${VERSION}" $3
    ${If} $3 == 1
      MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(NewerText)" /SD IDNO IDYES older
      SetErrorLevel 3
      Abort
      older:
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Vantaro" SecProgram
  SectionIn RO
  ; The new program asks the running one to close, through the window that
  ; a second start talks to.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\vantaro.exe" "${PROGRAM}"
  again:
  ClearErrors
  ExecWait '"$PLUGINSDIR\vantaro.exe" /exit-running' $0
  StrCmp $0 0 closed
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(RunningText)" /SD IDCANCEL IDRETRY again
  SetErrorLevel 4
  Abort "$(AbortText)"
  closed:

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "/oname=vantaro.exe" "${PROGRAM}"
  File "/oname=vantaro-cli.exe" "${CLI}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Vantaro.lnk" "$INSTDIR\vantaro.exe" "" "$INSTDIR\vantaro.exe" 0
  ExecWait '"$INSTDIR\vantaro.exe" /register-types'

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Vantaro"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Vantaro"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantaro.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "桌面快捷方式" SecDesktop
  CreateShortcut "$DESKTOP\Vantaro.lnk" "$INSTDIR\vantaro.exe" "" "$INSTDIR\vantaro.exe" 0
SectionEnd

; The uninstaller knows from the all-users entry whether it was installed
; for all users.
Function un.onInit
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  again:
  ClearErrors
  ExecWait '"$INSTDIR\vantaro.exe" /exit-running' $0
  StrCmp $0 0 closed
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(RunningText)" /SD IDCANCEL IDRETRY again
  SetErrorLevel 4
  Abort "$(AbortText)"
  closed:
  ; The association goes only where it still names this program file.
  ExecWait '"$INSTDIR\vantaro.exe" /unregister-types'

  Delete "$INSTDIR\vantaro.exe"
  Delete "$INSTDIR\vantaro-cli.exe"
  ; The phone tool the program fetched on its first run.
  Delete "$INSTDIR\adb.exe"
  Delete "$INSTDIR\AdbWinApi.dll"
  Delete "$INSTDIR\AdbWinUsbApi.dll"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: what the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Vantaro.lnk"
  Delete "$DESKTOP\Vantaro.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ; The phone tool the program fetched into the user's own folder, where
  ; its own folder was not writable for the user.
  SetShellVarContext current
  Delete "$LOCALAPPDATA\Vantaro\adb.exe"
  Delete "$LOCALAPPDATA\Vantaro\AdbWinApi.dll"
  Delete "$LOCALAPPDATA\Vantaro\AdbWinUsbApi.dll"
  RMDir "$LOCALAPPDATA\Vantaro"
SectionEnd
