"""Writes the string table of a language server as a resource script, which
the server's own resource script includes: the resource language, then each
text by string id, and the module name under MODULE_NAME_ID."""

# The string table's last entry names the module; it is not translated.
MODULE_NAME_ID = 1000
_ESCAPES = {"\\": "\\\\", '"': '""', "\r": "\\r", "\n": "\\n", "\t": "\\t"}


def rc_literal(text):
    """text as a quoted string of a resource script (UTF-8, code page 65001)."""
    for character in text:
        if ord(character) < 0x20 and character not in _ESCAPES:
            raise ValueError(f"control character {ord(character):#04x} in {text!r}")
    return '"' + "".join(_ESCAPES.get(character, character) for character in text) + '"'


def string_table_script(identity, texts):
    """The resource script of texts (string id -> text) under identity's language."""
    table = dict(texts)
    table[MODULE_NAME_ID] = identity.module
    primary, sub = identity.rc_language
    lines = [
        "#pragma code_page(65001)",
        f"// The string table of {identity.module} ({identity.tag}), written by langkit",
        "// from its language folder. Edit the language folder, not this file.",
        "",
        f"LANGUAGE 0x{primary:02X}, 0x{sub:02X}",
        "",
        "STRINGTABLE",
        "BEGIN",
        *(f"    {text_id} {rc_literal(table[text_id])}" for text_id in sorted(table)),
        "END",
        "",
    ]
    return "\n".join(lines)
