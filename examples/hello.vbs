Set resources = CreateObject("VrlDiscoveryResES.SpanishResources")
WScript.Echo resources.GetString(100)   ' Aceptar
