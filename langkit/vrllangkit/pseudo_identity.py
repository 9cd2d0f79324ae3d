"""The pseudo-locale's identity, derived from the source language's."""

from .identity import PSEUDO_TAG, derive_identity
from .language import source_folder

SUFFIX = "PLOC"


def pseudo_identity():
    return derive_identity(PSEUDO_TAG, SUFFIX, source_folder().identity())
