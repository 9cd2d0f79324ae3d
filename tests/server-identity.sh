# Sourced by the script tests: who the server is, as the registry names it.
# (identifier_tests checks that these agree with the code and the script.)
readonly clsid='{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}'
readonly libid='{C2E94B07-6A1D-4E38-B5F2-0D7C93A1E864}'
readonly catid='{8F16D2A9-3C5E-4B71-A0D8-E2479B6C5F13}'
readonly category_description='Varnel Instrument Discovery Control Localization Resources'
readonly progid='VrlDiscoveryResES.SpanishResources'
# The ProgID that names the class's version.
readonly versioned_progid=$progid.1
