; The Windows installer: makensis -DVERSION=... -DSTAGE=<installed tree> -DICON=<.ico> -DOUT=<.exe>
;
; It asks for no administrator rights: run by a user, it installs for that user alone (under
; the user's own programs folder and registry, as company laptops allow); run as administrator,
; it installs for all users. /CURRENTUSER installs for the user alone in either case; /S is
; silent, /D=<folder> chooses the folder. The uninstaller removes what it installed, and takes
; the .CDF file type back only where it still names this program.
; A 64-bit installer for the 64-bit program: the 64-bit registry and program folders, and it
; runs where only 64-bit Windows programs do (Wine without its 32-bit half).
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define APP "ZezUdi"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZezUdi"
!define TYPE "ZezUdi.Configuration"

Name "${APP} ${VERSION}"
OutFile "${OUT}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${APP} ${VERSION}"
Var AllUsers

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\bin\zezudi.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  StrCpy $AllUsers 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${If} ${Errors}
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 == "Admin"
      StrCpy $AllUsers 1
    ${EndIf}
  ${EndIf}
  ${If} $AllUsers == 1
    SetShellVarContext all
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES64\${APP}"
    ${EndIf}
  ${Else}
    SetShellVarContext current
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${APP}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR\bin"
  File /r "${STAGE}/bin/*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ${If} $AllUsers == 1
    FileOpen $0 "$INSTDIR\all-users" w
    FileClose $0
  ${EndIf}
  CreateDirectory "$SMPROGRAMS\${APP}"
  CreateShortcut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\bin\zezudi.exe"
  CreateShortcut "$SMPROGRAMS\${APP}\Uninstall ${APP}.lnk" "$INSTDIR\Uninstall.exe"
  ; The .CDF file type: HKCU or HKLM Software\Classes, as the installation is.
  WriteRegStr SHCTX "Software\Classes\.CDF" "" "${TYPE}"
  WriteRegStr SHCTX "Software\Classes\${TYPE}" "" "${APP} configuration"
  WriteRegStr SHCTX "Software\Classes\${TYPE}\DefaultIcon" "" "$INSTDIR\bin\zezudi.exe,0"
  WriteRegStr SHCTX "Software\Classes\${TYPE}\shell\open\command" "" '"$INSTDIR\bin\zezudi.exe" "%1"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "ZezUdi developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\zezudi.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function un.onInit
  ${If} ${FileExists} "$INSTDIR\all-users"
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
  Delete "$SMPROGRAMS\${APP}\Uninstall ${APP}.lnk"
  RMDir "$SMPROGRAMS\${APP}"
  ReadRegStr $0 SHCTX "Software\Classes\.CDF" ""
  ${If} $0 == "${TYPE}"
    DeleteRegKey SHCTX "Software\Classes\.CDF"
  ${EndIf}
  DeleteRegKey SHCTX "Software\Classes\${TYPE}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  ; Only what the installer put there: a folder the user chose may hold other files.
  RMDir /r "$INSTDIR\bin"
  Delete "$INSTDIR\all-users"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
