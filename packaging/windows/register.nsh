; The Explorer verb on every file and the .gri type. SHCTX is the machine's
; classes for an install for all users, the user's own otherwise. The whole
; path arrives as one argument, so blanks in it are no problem.
WriteRegStr SHCTX "Software\Classes\*\shell\Grize-Encrypt" "" "Grize-Encrypt"
WriteRegStr SHCTX "Software\Classes\*\shell\Grize-Encrypt\command" "" '"$INSTDIR\grize.exe" "%1"'
WriteRegStr SHCTX "Software\Classes\.gri" "" "Grize.File"
WriteRegStr SHCTX "Software\Classes\Grize.File" "" "Grize encrypted file"
WriteRegStr SHCTX "Software\Classes\Grize.File\DefaultIcon" "" "$INSTDIR\grize.exe,0"
WriteRegStr SHCTX "Software\Classes\Grize.File\shell\open\command" "" '"$INSTDIR\grize.exe" "%1"'
; CPack's template writes these two as strings; Windows reads them as
; numbers, so write them again as DWORDs over its values.
WriteRegDWORD SHCTX "Software\Microsoft\Windows\CurrentVersion\Uninstall\Grize" "NoModify" 1
WriteRegDWORD SHCTX "Software\Microsoft\Windows\CurrentVersion\Uninstall\Grize" "NoRepair" 1
; Tell Explorer that file types changed (SHCNE_ASSOCCHANGED).
System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
