# Sourced by the scripts that start Orlune on a diary of their own.

# write_settings FILE DIARY [CHARS]: the settings file naming the diary folder and the autosave
# interval (default 20), CR LF as the program writes it.
write_settings() {
    printf '[Data]\r\nDir=%s\r\nNumberOfCharsToSave=%s\r\n' "$2" "${3:-20}" >"$1"
}
