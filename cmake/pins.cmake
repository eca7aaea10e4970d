# Writes the resource that pins unrar.exe and data.arc into the setup
# program: their SHA-256, one a line, as RCDATA "PINS".
#   cmake -D UNRAR=<unrar.exe> -D ARCHIVE=<data.arc> -D OUT=<pins.rc> -P pins.cmake
file(SHA256 "${UNRAR}" unrar_hash)
file(SHA256 "${ARCHIVE}" archive_hash)
file(WRITE "${OUT}.txt" "${unrar_hash}\n${archive_hash}\n")
file(WRITE "${OUT}" "PINS RCDATA \"${OUT}.txt\"\n")
