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
; "Make a ringtone with Quavella" on the context menu of audio and video files, and Quavella in
; "Open with", for the current user. The program takes the song as its argument.
!define AUDIO_VERB "Software\Classes\SystemFileAssociations\audio\shell\Quavella"
!define VIDEO_VERB "Software\Classes\SystemFileAssociations\video\shell\Quavella"
!define APPLICATION_KEY "Software\Classes\Applications\Quavella.exe"
!define SHCNE_ASSOCCHANGED 0x08000000

!macro WriteVerb KEY
  WriteRegStr HKCU "${KEY}" "" "Make a ringtone with Quavella"
  WriteRegStr HKCU "${KEY}" "Icon" "$INSTDIR\Quavella.exe,0"
  WriteRegStr HKCU "${KEY}" "MultiSelectModel" "Single"
  WriteRegStr HKCU "${KEY}\command" "" '"$INSTDIR\Quavella.exe" "%1"'
!macroend

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

  !insertmacro WriteVerb "${AUDIO_VERB}"
  !insertmacro WriteVerb "${VIDEO_VERB}"
  WriteRegStr HKCU "${APPLICATION_KEY}" "FriendlyAppName" "Quavella"
  WriteRegStr HKCU "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\Quavella.exe" "%1"'
  ; The kinds of song the program opens.
  !define TYPES "SupportedTypes"
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".mp3" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".wav" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".m4a" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".m4b" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".aac" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".flac" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".ogg" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".oga" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".opus" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".webm" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".mka" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".wma" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".mp4" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".m4v" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".3gp" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".caf" ""
  WriteRegStr HKCU "${APPLICATION_KEY}\${TYPES}" ".cda" ""
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

; Removes the program, its encoders and its working files; the profile stays.
Section "Uninstall"
  Delete "$SMPROGRAMS\Quavella.lnk"
  Delete "$DESKTOP\Quavella.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${AUDIO_VERB}"
  DeleteRegKey HKCU "${VIDEO_VERB}"
  DeleteRegKey HKCU "${APPLICATION_KEY}"
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
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
