# Makes a text file as Notepad reads it: CR LF line ends and, with BOM=ON, UTF-8's byte-order mark
# (without it, older Notepads take UTF-8 for the ANSI code page).
# cmake -DIN=<file> -DOUT=<file> [-DBOM=ON] -P windows-text.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
if(BOM)
    string(ASCII 239 187 191 bom)
    string(PREPEND text "${bom}")
endif()
file(WRITE "${OUT}" "${text}")
