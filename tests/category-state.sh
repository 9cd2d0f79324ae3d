# Sourced by the tests that register servers in a shared prefix, after
# server-identity.sh and wine-prefix.sh: the localization category's key is
# left as the test found it. Removal by regsvr32 keeps the category, so a
# test that brought the key takes it out again.
#
#   note_category            before the first registration
#   restore_category FOLDER  in the cleanup, after the last removal (FOLDER:
#                            the test's scratch folder)

category_is_there() { wine reg query "HKCR\\Component Categories\\$catid" >/dev/null 2>&1; }

note_category() {
  had_category=
  category_is_there && had_category=1
}

restore_category() {
  local folder=$1
  # Untouched when it was there, or when the test ended before looking.
  [ "${had_category-unknown}" = "" ] || return 0
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_CLASSES_ROOT\\Component Categories\\%s]\r\n\r\n' "$catid" \
    >"$folder/remove-category.reg"
  wine reg import "$(windows_path "$folder/remove-category.reg")" >/dev/null 2>&1 || fail "category not removed"
}
