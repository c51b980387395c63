; Per-user installer of Quavella. The program writes its working files into the folder it is
; started in and finds its encoders there, so it is installed into a folder the user can write,
; and its shortcuts start it in that folder.
; makensis -DDIST=<folder with the program> -DNOTICES=<folder with licence notices> -DOUTFILE=<path>

Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma

Name "Quavella"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quavella"
BrandingText "Quavella ringtone maker"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quavella"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Quavella"
  SetOutPath "$INSTDIR"
  File "${DIST}\Quavella.exe"
  File /nonfatal "${DIST}\lame.exe"
  File /nonfatal "${DIST}\wav2amr.exe"
  File /nonfatal "${DIST}\ringq.dll"
  File /nonfatal "${DIST}\ringm.dll"
  File "${DIST}\av*.dll"
  File "${DIST}\swresample-*.dll"
  SetOutPath "$INSTDIR\licenses"
  File "${NOTICES}\*.*"

  ; Shortcuts start the program in the install folder (the current output path).
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\Quavella.lnk" "$INSTDIR\Quavella.exe"
  CreateShortCut "$DESKTOP\Quavella.lnk" "$INSTDIR\Quavella.exe"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quavella"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quavella.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes the program, its encoders and its working files; the profile stays.
Section "Uninstall"
  Delete "$SMPROGRAMS\Quavella.lnk"
  Delete "$DESKTOP\Quavella.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Quavella.exe"
  Delete "$INSTDIR\lame.exe"
  Delete "$INSTDIR\wav2amr.exe"
  Delete "$INSTDIR\ringq.dll"
  Delete "$INSTDIR\ringm.dll"
  Delete "$INSTDIR\av*.dll"
  Delete "$INSTDIR\swresample-*.dll"
  Delete "$INSTDIR\d.wav"
  Delete "$INSTDIR\test.wav"
  Delete "$INSTDIR\new.qcp"
  Delete "$INSTDIR\a.amr"
  Delete "$INSTDIR\a.mp3"
  Delete "$INSTDIR\test.mmf"
  Delete "$INSTDIR\dump.pcm"
  Delete "$INSTDIR\toc.dat"
  Delete "$INSTDIR\inquiry.dat"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
