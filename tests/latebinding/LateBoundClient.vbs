' A late-bound client of the Spanish resources: creates the class by its
' ProgID, calls every operation by name and prints one line, "RESULT PASS" or
' "RESULT FAIL" followed by what differed. The exit code is the number of
' failed checks.
Option Explicit

Const E_NOTIMPL = &H80004001
' The scripting engine reports E_NOTIMPL from a call as its own error 445,
' "Object doesn't support this action".
Const ACTION_NOT_SUPPORTED = 445
Dim failures, failed
failures = 0
failed = ""

Sub Check(what, actual, expected)
    If VarType(actual) <> VarType(expected) Then
        Fail what & " gave type " & TypeName(actual) & ", not " & TypeName(expected)
    ElseIf actual <> expected Then
        Fail what & " gave [" & actual & "], not [" & expected & "]"
    End If
End Sub

Sub Fail(message)
    failures = failures + 1
    failed = failed & " | " & message
End Sub

Sub CheckNotImplemented(what, number)
    If number <> E_NOTIMPL And number <> ACTION_NOT_SUPPORTED Then
        Fail what & " raised " & Hex(number) & ", not 445 or 80004001"
    End If
End Sub

Dim resources
On Error Resume Next
Set resources = CreateObject("VrlDiscoveryResES.SpanishResources")
If Err.Number <> 0 Then
    WScript.Echo "RESULT FAIL | CreateObject raised " & Hex(Err.Number)
    WScript.Quit 99
End If
On Error GoTo 0

Check "FontName", resources.FontName, "Arial"
Check "LocaleNumber1", resources.LocaleNumber1, CLng(8)
Check "LocaleNumber2", resources.LocaleNumber2, CLng(1)
Check "LocaleNumber3", resources.LocaleNumber3, CLng(34)
Check "LanguageName", resources.LanguageName, "Spanish"
Check "PrimaryLanguageId", resources.PrimaryLanguageId, CInt(10)
Check "SubLanguageId", resources.SubLanguageId, CInt(1)
Check "Version", resources.Version, "1.0.0.0"
Check "HelpFilePath", resources.HelpFilePath, ".\Help\VrlDiscoveryES.hlp"
Check "GetString(100)", resources.GetString(100), "Aceptar"
Check "GetString(1000)", resources.GetString(1000), "VrlDiscoveryResES"
' Wine's scripting engine reads no UTF-16 script files and has no ChrW, so the
' n with tilde is built from the ANSI code page 1252 (character 241).
Dim size
size = resources.GetString(452)
Check "GetString(452)", size, "Tama" & Chr(241) & "o:"
Check "Len(GetString(452))", Len(size), CLng(7)
Check "GetString(325)", resources.GetString(325), _
    "Petici" & Chr(243) & "n err" & Chr(243) & "nea a puertos COM" & vbCrLf
' A string id that the table does not hold gives the empty string.
Check "GetString(200)", resources.GetString(200), ""

Dim ignored
On Error Resume Next
Err.Clear
ignored = resources.Unsupported1(0, 0)
CheckNotImplemented "Unsupported1", Err.Number
Err.Clear
ignored = resources.Unsupported2(1, 2)
CheckNotImplemented "Unsupported2", Err.Number
Err.Clear
ignored = resources.Unsupported3(3)
CheckNotImplemented "Unsupported3", Err.Number
Err.Clear
' A name that the interface does not have is refused by name lookup.
ignored = resources.NoSuchOperation
If Err.Number = 0 Then Fail "NoSuchOperation raised nothing"
Err.Clear
On Error GoTo 0

' Member names are resolved whatever their letter case.
Check "fontname", resources.fontname, "Arial"

Set resources = Nothing
If failures = 0 Then
    WScript.Echo "RESULT PASS"
Else
    WScript.Echo "RESULT FAIL" & failed
End If
WScript.Quit failures
