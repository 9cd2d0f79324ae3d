"""The language kit: each language server described by one folder of
languages/, its texts in PO or XLIFF, checked, pseudo-localized and written
out as the string table of the server's resource script."""
