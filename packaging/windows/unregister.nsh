DeleteRegKey SHCTX "Software\Classes\*\shell\Grize-Encrypt"
DeleteRegKey SHCTX "Software\Classes\Grize.File"
; .gri only while it is still ours.
ReadRegStr $0 SHCTX "Software\Classes\.gri" ""
StrCmp $0 "Grize.File" 0 +2
DeleteRegKey SHCTX "Software\Classes\.gri"
; The install folder's record under the vendor's key. CPack's template
; deletes it only after these lines, too late to drop the vendor's key when
; nothing else of Ashgrove's is in it.
DeleteRegKey SHCTX "Software\Ashgrove\Grize"
DeleteRegKey /ifempty SHCTX "Software\Ashgrove"
; The window's stored position and check box.
DeleteRegKey HKCU "Software\Ashgrove\Grize"
DeleteRegKey /ifempty HKCU "Software\Ashgrove"
System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
