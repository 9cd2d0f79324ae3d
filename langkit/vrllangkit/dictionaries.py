"""Which Debian package holds the hunspell dictionary of a language tag.
Standard library only: bootstrap asks it before the kit's own packages are
installed."""

import json
from pathlib import Path

# Language tag (lower case; a region where Debian has one per region) ->
# the Debian package of its hunspell dictionary.
DEBIAN_DICTIONARIES = {
    "af": "hunspell-af", "an": "hunspell-an", "ar": "hunspell-ar", "be": "hunspell-be", "bg": "hunspell-bg",
    "bn": "hunspell-bn", "bs": "hunspell-bs", "ca": "hunspell-ca", "cs": "hunspell-cs", "da": "hunspell-da",
    "de": "hunspell-de-de", "de-at": "hunspell-de-at", "de-ch": "hunspell-de-ch", "de-de": "hunspell-de-de",
    "el": "hunspell-el", "en": "hunspell-en-us", "en-au": "hunspell-en-au", "en-ca": "hunspell-en-ca",
    "en-gb": "hunspell-en-gb", "en-us": "hunspell-en-us", "en-za": "hunspell-en-za", "es": "hunspell-es",
    "eu": "hunspell-eu", "fr": "hunspell-fr", "gl": "hunspell-gl", "gu": "hunspell-gu", "he": "hunspell-he",
    "hi": "hunspell-hi", "hr": "hunspell-hr", "hu": "hunspell-hu", "id": "hunspell-id", "is": "hunspell-is",
    "it": "hunspell-it", "kk": "hunspell-kk", "ko": "hunspell-ko", "lo": "hunspell-lo", "lt": "hunspell-lt",
    "lv": "hunspell-lv", "ml": "hunspell-ml", "mn": "hunspell-mn", "nb": "hunspell-no", "ne": "hunspell-ne",
    "nl": "hunspell-nl", "nn": "hunspell-no", "no": "hunspell-no", "oc": "hunspell-oc", "pl": "hunspell-pl",
    "pt": "hunspell-pt-pt", "pt-br": "hunspell-pt-br", "pt-pt": "hunspell-pt-pt", "ro": "hunspell-ro",
    "ru": "hunspell-ru", "si": "hunspell-si", "sk": "hunspell-sk", "sl": "hunspell-sl", "sr": "hunspell-sr",
    "sv": "hunspell-sv", "sw": "hunspell-sw", "te": "hunspell-te", "th": "hunspell-th", "tr": "hunspell-tr",
    "uk": "hunspell-uk", "uz": "hunspell-uz", "vi": "hunspell-vi",
}


def dictionary_package(tag):
    """The Debian package of a tag's hunspell dictionary, or None."""
    parts = tag.lower().split("-")
    return DEBIAN_DICTIONARIES.get("-".join(parts[:2])) or DEBIAN_DICTIONARIES.get(parts[0])


def folder_packages(folders):
    """The dictionary packages of language folders (each with a
    language.json), once each, in order; folders that cannot be read are
    left to the kit's other commands to name."""
    packages = []
    for folder in folders:
        try:
            tag = json.loads((Path(folder) / "language.json").read_text(encoding="utf-8"))["tag"]
        except (OSError, ValueError, KeyError, TypeError):
            continue
        package = dictionary_package(tag) if isinstance(tag, str) else None
        if package and package not in packages:
            packages.append(package)
    return packages
