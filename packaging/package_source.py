#!/usr/bin/python3
"""The installer source of one package: a WiX file for wixl and the
package's Registry table, made from the rows that `vrlrgs record` printed for
the server file.

    package_source.py ROWS FLAVOUR VERSION SERVER-FILE OUT-DIR [LANGUAGE.json]

FLAVOUR is x86 or x64 (per machine) or user (per user, 32-bit). LANGUAGE.json
is the identity of the language server packaged (default: the Spanish
one's). Writes OUT-DIR/package.wxs and OUT-DIR/Registry.idt, and prints the
package code (the summary information's revision) that the package gets.

Every GUID is pinned or derived from pinned ones, so that the same inputs
give the same package. A language's product codes are the ones its
language.json pins (the Spanish one's do), or else derived from its module
name as its CLSID is, so that each language is a product of its own, while
all of them share the category's components.
"""

import hashlib
import sys
from pathlib import Path
from xml.sax.saxutils import escape, quoteattr

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "langkit"))
from vrllangkit.identity import (  # noqa: E402
    LOCALIZATION_CATID, MACHINE_FLAVOURS, PACKAGE_FLAVOURS, derived_guid, load_identity, product_codes)
from vrllangkit.language import source_folder  # noqa: E402

MANUFACTURER = "Varnel"
SERVER_FILE_ID = "ServerFile"
INSTALL_FOLDER_ID = "INSTALLFOLDER"
HELP_FOLDER_ID = "HELPFOLDER"
# What the rows hold where the installer puts in the installed file's path and
# its folder (see make_packages.py).
INSTALL_FOLDER_TOKEN = "[%s]" % INSTALL_FOLDER_ID
BOUND_TOKENS = ("[#%s]" % SERVER_FILE_ID, INSTALL_FOLDER_TOKEN, "[%s]" % HELP_FOLDER_ID)

# Both per-machine packages of a language hold the keys that the two registry
# views share (the category, the ProgIDs and the type library's version key
# with its name, FLAGS and HELPDIR) through the same 32-bit components: the
# installer counts the products that hold a component, and removes its rows
# with the last of them. A package's server component holds only what its
# view alone owns: the class key and the type library's 0\win32 or 0\win64.

# The category's component is shared by every language server of the control:
# the installer keeps the category until the last server that holds it goes.
# One for the machine's classes, one for the user's.
CATEGORY_COMPONENTS = {
    "x86": "{4B0E7C52-91D3-4F6A-A2E8-5C17D0B93E41}",
    "x64": "{4B0E7C52-91D3-4F6A-A2E8-5C17D0B93E41}",
    "user": "{4B0E7C52-91D3-4F6A-A2E8-5C17D0B93E55}",
}

REGISTRY_ROOT_CLASSES = 0
REGISTRY_ROOT_USER = 1
USER_CLASSES_KEY = "Software\\Classes\\"
CATEGORIES_KEY = "component categories\\"
CLASS_KEY = "clsid\\"
TYPELIB_KEY = "typelib\\"
# The last part of the keys of a type library's file, one per registry view.
TYPELIB_FILE_KEYS = ("win32", "win64")


class PackageError(Exception):
    pass


class Product:
    """Who the package installs: the language server's module, language and
    registry keys, and the product's own GUIDs for one flavour."""

    def __init__(self, identity, flavour):
        self.identity = identity
        self.name = identity.module
        self.language_name = identity.language_name
        codes = product_codes(identity)
        self.upgrade_code = codes.upgrade_code[flavour]
        self.server_component = codes.server_component[flavour]
        self.progid_component = codes.progid_component[flavour]
        self.typelib_component = codes.typelib_component[flavour]


def read_rows(path):
    """(kind, key, name, type, data) for every row, in a fixed order."""
    rows = []
    with open(path, encoding="utf-8") as stream:
        for line in stream.read().splitlines():
            if not line:
                continue
            fields = line.split("\t")
            if fields[0] == "key" and len(fields) == 2:
                rows.append(("key", fields[1], "", "", ""))
            elif fields[0] == "value" and len(fields) == 5:
                rows.append(tuple(fields))
            else:
                raise PackageError("not a registration row: %r" % line)
    if not rows:
        raise PackageError("no registration rows in %s" % path)
    return sorted(rows, key=lambda row: (row[1].lower(), row[2].lower()))


def escape_formatted(text):
    """Text for a formatted field: brackets stand for themselves, except in
    the tokens that the installer is meant to fill in."""
    out = []
    index = 0
    while index < len(text):
        token = next((t for t in BOUND_TOKENS if text.startswith(t, index)), None)
        if token:
            out.append(token)
            index += len(token)
            continue
        char = text[index]
        out.append("[\\%s]" % char if char in "[]" else char)
        index += 1
    return "".join(out)


def registry_value(kind, type_name, data, key):
    """The Registry table's Name-independent Value column for a row."""
    if kind == "key":
        return None
    if type_name == "sz":
        if data == "":
            raise PackageError("an empty text cannot be told from no value in a package: %s" % key)
        value = escape_formatted(data)
        return "#" + value if value.startswith("#") else value
    if type_name == "dword":
        return "#" + data
    if type_name == "binary":
        return "#x" + data
    raise PackageError("a value of type %s cannot go into a package: %s" % (type_name, key))


def _is_under(key, base):
    return key == base or key.startswith(base + "\\")


def component_of(key, identity):
    """The component that holds a key of the server's registration: the
    category's, the class's (with the type library's file, which is of one
    view), the type library's or the ProgIDs'. A key that none of them owns
    is refused, naming it: the package would hold it with no owner to
    remove it."""
    lowered = key.lower()
    if _is_under(lowered, (CATEGORIES_KEY + LOCALIZATION_CATID).lower()):
        return "CategoryComponent"
    if _is_under(lowered, (CLASS_KEY + identity.clsid).lower()):
        return "ServerComponent"
    if _is_under(lowered, (TYPELIB_KEY + identity.libid).lower()):
        return "ServerComponent" if lowered.rsplit("\\", 1)[-1] in TYPELIB_FILE_KEYS else "TypeLibComponent"
    if any(_is_under(lowered, prog_id.lower()) for prog_id in (identity.prog_id, identity.versioned_prog_id)):
        return "ProgIdComponent"
    raise PackageError("no component of the package owns the registry key %s" % key)


def registry_table(rows, flavour, identity):
    lines = [
        "Registry\tRoot\tKey\tName\tValue\tComponent_",
        "s72\ti2\tl255\tL255\tL0\ts72",
        "Registry\tRegistry",
    ]
    # The first row of each component, which wixl's source names as the
    # component's key path: (row id, key, name).
    key_rows = {}
    for kind, key, name, type_name, data in rows:
        component = component_of(key, identity)
        if component == "TypeLibComponent" and flavour in MACHINE_FLAVOURS:
            # The help folder is one for both views, whichever server stays.
            data = data.replace(INSTALL_FOLDER_TOKEN, "[%s]" % HELP_FOLDER_ID)
        value = registry_value(kind, type_name, data, key)
        # A key that holds nothing is made on install and goes on removal.
        column_name = "*" if kind == "key" else name
        root = REGISTRY_ROOT_USER if flavour == "user" else REGISTRY_ROOT_CLASSES
        full_key = USER_CLASSES_KEY + key if flavour == "user" else key
        fields = [full_key, column_name, value or ""]
        for field in fields:
            if any(ord(c) < 0x20 or ord(c) > 0x7E for c in field):
                raise PackageError("only printable ASCII can go into the Registry table: %r" % field)
        row_id = "reg" + hashlib.sha1(("%d\t%s\t%s" % (root, full_key.lower(), column_name.lower())).encode()).hexdigest()[:24].upper()
        key_rows.setdefault(component, (row_id, full_key, column_name))
        lines.append("\t".join([row_id, str(root)] + fields + [component]))
    return "\r\n".join(lines) + "\r\n", key_rows


def key_path_value(key_row, root):
    """A component's key path: the row of the Registry table that the
    recorded table puts in (its value here is replaced with that table)."""
    row_id, key, name = key_row
    return ('<RegistryValue Id="%s" Root="%s" Key=%s Name=%s Type="string" Value="(the Registry table\'s)" KeyPath="yes"/>'
            % (row_id, root, quoteattr(key), quoteattr(name)))


def attribute(text):
    """text as the inside of a double-quoted XML attribute."""
    return escape(text, {'"': "&quot;"})


def wix_source(product, flavour, version, server_file, key_rows):
    upgrade_code = product.upgrade_code
    product_code = derived_guid(version, namespace=upgrade_code)
    name = attribute(product.name)
    win64 = flavour == "x64"
    per_user = flavour == "user"
    scope = "perUser" if per_user else "perMachine"
    platform = ' Platform="x64"' if win64 else ""
    component_win64 = ' Win64="yes"' if win64 else ""
    if per_user:
        folders = ('<Directory Id="LocalAppDataFolder"><Directory Id="ProgramsFolderOfUser" Name="Programs">'
                   '<Directory Id="%s" Name="%s">' % (INSTALL_FOLDER_ID, name), "</Directory></Directory></Directory>")
    else:
        base = "ProgramFiles64Folder" if win64 else "ProgramFilesFolder"
        folders = ('<Directory Id="%s"><Directory Id="%s" Name="%s">' % (base, INSTALL_FOLDER_ID, name),
                   "</Directory></Directory>")
    classes_root = "HKCU" if per_user else "HKCR"
    if not {"ProgIdComponent", "CategoryComponent", "TypeLibComponent"} <= key_rows.keys():
        raise PackageError("the rows hold no ProgID, no category or no type library")
    typelib_component = (f'<Component Id="TypeLibComponent" Guid="{product.typelib_component}">'
                         f'{"" if per_user else "<CreateFolder/>"}{key_path_value(key_rows["TypeLibComponent"], classes_root)}'
                         '</Component>')
    if per_user:
        help_folder = typelib_component
    else:
        # Common Files of the 32-bit view: the same folder in both packages.
        help_folder = (f'<Directory Id="CommonFilesFolder"><Directory Id="{HELP_FOLDER_ID}" Name="{name}">'
                       f'{typelib_component}</Directory></Directory>')
    scope_word = "per user" if per_user else "per machine, %s" % ("64-bit" if win64 else "32-bit")
    return f"""<?xml version="1.0" encoding="utf-8"?>
<!-- Made by packaging/package_source.py; the Registry table comes
     from the server's own registration, recorded. -->
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{product_code}" Name="{name} ({scope_word})" Language="1033" Version="{attribute(version)}"
           Manufacturer="{MANUFACTURER}" UpgradeCode="{upgrade_code}">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="{scope}"{platform}
             Description="The {attribute(product.language_name)} language server of the instrument-discovery control"/>
    <MajorUpgrade DowngradeErrorMessage="A later version of {name} is already installed; remove it first to install this one."/>
    <Media Id="1" Cabinet="server.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      {folders[0]}
          <Component Id="ServerComponent" Guid="{product.server_component}"{component_win64}>
            <File Id="{SERVER_FILE_ID}" Name="{name}.dll" Source={quoteattr(str(server_file))} KeyPath="yes"/>
          </Component>
          <Component Id="ProgIdComponent" Guid="{product.progid_component}">
            {key_path_value(key_rows["ProgIdComponent"], classes_root)}
          </Component>
          <Component Id="CategoryComponent" Guid="{CATEGORY_COMPONENTS[flavour]}">
            {key_path_value(key_rows["CategoryComponent"], classes_root)}
          </Component>
          {help_folder if per_user else ""}
      {folders[1]}
      {"" if per_user else help_folder}
    </Directory>
    <Feature Id="Server" Level="1" Title="{name}">
      <ComponentRef Id="ServerComponent"/>
      <ComponentRef Id="ProgIdComponent"/>
      <ComponentRef Id="CategoryComponent"/>
      <ComponentRef Id="TypeLibComponent"/>
    </Feature>
  </Product>
</Wix>
"""


def write_package_source(identity, rows_path, flavour, version, server_file, out_dir, base=Path(".")):
    """Writes OUT-DIR/package.wxs and OUT-DIR/Registry.idt; the package code
    that the package gets. server_file is the server's path as the package
    names it, relative to base (wixl takes relative paths only).
    PackageError, or OSError, says why it cannot."""
    product = Product(identity, flavour)
    table, key_rows = registry_table(read_rows(rows_path), flavour, identity)
    source = wix_source(product, flavour, version, server_file, key_rows)
    out_dir = Path(out_dir)
    (out_dir / "package.wxs").write_text(source, encoding="utf-8")
    with open(out_dir / "Registry.idt", "w", encoding="ascii", newline="") as stream:
        stream.write(table)
    digest = hashlib.sha256(source.encode() + table.encode())
    digest.update((Path(base) / server_file).read_bytes())
    return derived_guid("package " + digest.hexdigest(), namespace=product.upgrade_code)


def main(argv):
    if len(argv) not in (6, 7) or argv[2] not in PACKAGE_FLAVOURS:
        sys.stderr.write(__doc__)
        return 2
    rows_path, flavour, version, server_file, out_dir = argv[1:6]
    identity_path = argv[6] if len(argv) == 7 else source_folder().identity_path
    try:
        print(write_package_source(load_identity(identity_path), rows_path, flavour, version, server_file, out_dir))
    except (PackageError, OSError, ValueError) as error:
        sys.stderr.write("package_source: %s\n" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
